#include "app/help/help_window.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPointer>
#include <QTextBrowser>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <QWidget>

#include "app/desktop/desktop_services.h"
#include "app/widgets/program_icon.h"
#include "platform/program_folder.h"

namespace tembrel::app {
namespace {

constexpr char kTitle[] = "Tembrel Help";
constexpr char kContentsPage[] = "index.html";

QString& FolderOverride() {
    static QString folder;
    return folder;
}

QString HelpFolder() {
    if (!FolderOverride().isEmpty()) return FolderOverride();
    return QString::fromStdString(ProgramFolder()) + QStringLiteral("help");
}

bool IsWebLink(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https") || scheme == QLatin1String("mailto");
}

class HelpViewer : public QWidget {
public:
    HelpViewer() {
        setAttribute(Qt::WA_DeleteOnClose);
        setWindowTitle(QString::fromLatin1(kTitle));
        setWindowIcon(ProgramIcon());
        resize(820, 620);

        auto* back = new QToolButton(this);
        back->setText(tr("Back"));
        auto* forward = new QToolButton(this);
        forward->setText(tr("Forward"));
        auto* contents = new QToolButton(this);
        contents->setText(tr("Contents"));
        back->setEnabled(false);
        forward->setEnabled(false);

        browser_ = new QTextBrowser(this);
        // Every link goes through Follow: pages stay here, the web goes to
        // the browser, anything else is ignored.
        browser_->setOpenLinks(false);
        browser_->setOpenExternalLinks(false);

        auto* buttons = new QHBoxLayout;
        buttons->addWidget(back);
        buttons->addWidget(forward);
        buttons->addWidget(contents);
        buttons->addStretch();
        auto* layout = new QVBoxLayout(this);
        layout->addLayout(buttons);
        layout->addWidget(browser_);

        connect(back, &QToolButton::clicked, browser_, &QTextBrowser::backward);
        connect(forward, &QToolButton::clicked, browser_, &QTextBrowser::forward);
        connect(contents, &QToolButton::clicked, this, [this] { Show(QString::fromLatin1(kContentsPage), {}); });
        connect(browser_, &QTextBrowser::backwardAvailable, back, &QToolButton::setEnabled);
        connect(browser_, &QTextBrowser::forwardAvailable, forward, &QToolButton::setEnabled);
        connect(browser_, &QTextBrowser::anchorClicked, this, &HelpViewer::Follow);
    }

    void Show(const QString& page, const QString& anchor) {
        const QDir folder(HelpFolder());
        const QString path = folder.absoluteFilePath(page);
        if (!QFileInfo(path).isFile()) {
            browser_->setHtml(QStringLiteral("<p>The help pages were not found in %1.</p>")
                                  .arg(folder.absolutePath().toHtmlEscaped()));
            return;
        }
        QUrl url = QUrl::fromLocalFile(path);
        if (!anchor.isEmpty()) url.setFragment(anchor);
        browser_->setSource(url);
    }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Follow(const QUrl& link) {
        const QUrl url = browser_->source().resolved(link);
        if (IsWebLink(url)) {
            Desktop().OpenUrl(url);
        } else if (url.isLocalFile() && QFileInfo(url.toLocalFile()).isFile()) {
            browser_->setSource(url);
        }
    }

    QTextBrowser* browser_ = nullptr;
};

QPointer<HelpViewer>& OpenWindow() {
    static QPointer<HelpViewer> window;
    return window;
}

void HelpViewer::closeEvent(QCloseEvent* event) {
    // Forgotten at once, so that help asked for while it is being deleted
    // gets a new window.
    if (OpenWindow() == this) OpenWindow() = nullptr;
    QWidget::closeEvent(event);
}

}  // namespace

void ShowHelp(const QString& page, const QString& anchor, bool maximised) {
    HelpViewer* window = OpenWindow();
    if (!window) {
        window = new HelpViewer;
        OpenWindow() = window;
        window->Show(page, anchor);
        if (maximised) window->showMaximized();
        else window->show();
    } else {
        window->Show(page, anchor);
        Qt::WindowStates state = window->windowState() & ~Qt::WindowMinimized;
        if (maximised) state |= Qt::WindowMaximized;
        window->setWindowState(state);
        window->show();
    }
    window->raise();
    window->activateWindow();
}

void ShowHelpTopics(bool maximised) {
    HelpViewer* window = OpenWindow();
    if (!window) {
        ShowHelp(QStringLiteral("index.html"), {}, maximised);
        return;
    }
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
}

void CloseHelpWindow() {
    QPointer<HelpViewer> window = OpenWindow();
    if (!window) return;
    window->close();
    // Deleted now rather than later: at exit no event loop is left to do it.
    delete window.data();
}

QWidget* HelpWindow() { return OpenWindow().data(); }

void SetHelpFolderForTesting(const QString& folder) { FolderOverride() = folder; }

}  // namespace tembrel::app
