#include "app/preview/flash_view.h"

#include <unistd.h>

#include <cstdio>

#include <QApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>

#include "app/preview/flash_view_server.h"

// The page's resources live in a static library: nothing pulls them in
// unless asked. Outside any namespace, as the macro requires.
static void InitFlashViewResources() { Q_INIT_RESOURCE(flash_view); }

namespace tembrel::app {

namespace {

// A JavaScript call with its arguments as JSON, never pasted text.
QString Call(const QString& function, const QJsonArray& arguments) {
    const QByteArray list = QJsonDocument(arguments).toJson(QJsonDocument::Compact);
    return function + "(..." + QString::fromUtf8(list) + ");";
}

// Nothing leaves the machine: only our own server's addresses load.
class OwnServerOnly : public QWebEngineUrlRequestInterceptor {
public:
    explicit OwnServerOnly(QString base, QObject* parent) : QWebEngineUrlRequestInterceptor(parent), base_(std::move(base)) {}
    void interceptRequest(QWebEngineUrlRequestInfo& info) override {
        const QString url = info.requestUrl().toString(QUrl::FullyEncoded);
        if (!url.startsWith(base_) && info.requestUrl().scheme() != "blob" && info.requestUrl().scheme() != "data")
            info.block(true);
    }

private:
    QString base_;
};

// The page: stays on our server, opens no windows, and passes on what the
// view's script reports.
class FlashPage : public QWebEnginePage {
public:
    FlashPage(QWebEngineProfile* profile, QString script, FlashView* view)
        : QWebEnginePage(profile, view), script_(std::move(script)), view_(view) {}

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) override {
        return !isMainFrame || url.toString(QUrl::FullyEncoded) == pageAddress_;
    }
    QWebEnginePage* createWindow(WebWindowType) override { return nullptr; }
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString& message, int,
                                  const QString& sourceId) override {
        // Only our script speaks this way; a movie's output never comes
        // from that file.
        if (sourceId != script_ || !message.startsWith("tembrel:metadata ")) return;
        const QStringList fields = message.mid(17).split(' ');
        if (fields.size() != 4) return;
        QMetaObject::invokeMethod(
            view_, "MovieLoaded", Qt::QueuedConnection, Q_ARG(int, fields[0].toInt()), Q_ARG(int, fields[1].toInt()),
            Q_ARG(double, fields[2].toDouble()), Q_ARG(int, fields[3].toInt()));
    }

public:
    QString pageAddress_;

private:
    QString script_;
    FlashView* view_;
};

}  // namespace

void PrepareWebEngine() {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    static bool told = false;
    if (::geteuid() == 0 && !told) {
        told = true;
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        std::fputs("tembrel: running as root, so the Flash view runs without Qt WebEngine's sandbox\n", stderr);
    }
}

FlashView* FlashView::Create(QWidget* parent, const std::string& programFolder) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return nullptr;
    InitFlashViewResources();
    const QString ruffle = QString::fromStdString(programFolder) + "/ruffle";
    if (!QFileInfo(ruffle + "/ruffle.js").isFile()) return nullptr;
    auto server = std::make_unique<FlashViewServer>(ruffle);
    if (!server->Listen()) return nullptr;
    return new FlashView(parent, std::move(server));
}

FlashView::FlashView(QWidget* parent, std::unique_ptr<FlashViewServer> server)
    : QWidget(parent), server_(std::move(server)) {
    // Off the record: no cache or cookies on disk, nothing shared with
    // another view.
    profile_ = new QWebEngineProfile(this);
    profile_->setUrlRequestInterceptor(new OwnServerOnly(server_->Base(), profile_));
    auto* page = new FlashPage(profile_, server_->Base() + "view.js", this);
    page->pageAddress_ = server_->PageAddress();
    page_ = page;
    QWebEngineSettings* settings = page_->settings();
    settings->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, false);
    settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    settings->setAttribute(QWebEngineSettings::ShowScrollBars, false);
    page_->setBackgroundColor(Qt::white);
    connect(page_, &QWebEnginePage::loadFinished, this, &FlashView::PageLoaded);

    view_ = new QWebEngineView(this);
    view_->setContextMenuPolicy(Qt::NoContextMenu);  // Chromium's own menu; Ruffle has its own
    view_->setPage(page_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
    page_->load(QUrl(server_->PageAddress()));
}

FlashView::~FlashView() {
    // The page must go before its profile.
    delete view_;
    delete page_;
    delete profile_;
}

void FlashView::PageLoaded(bool ok) {
    pageReady_ = ok;
    if (!ok) return;
    const QStringList scripts = std::exchange(pending_, {});
    for (const QString& script : scripts) page_->runJavaScript(script);
}

void FlashView::RunInPage(const QString& script) {
    if (pageReady_) page_->runJavaScript(script);
    else pending_ << script;
}

QString MovieAddressOfFile(const std::string& path) {
    QByteArrayList segments = QByteArray::fromStdString(path).split('/');
    for (QByteArray& segment : segments) segment = segment.toPercentEncoding();
    return QString::fromLatin1(segments.join('/'));
}

void FlashView::LoadMovie(const QString& address) {
    // The path part holds no "?" of its own: MovieAddressOfFile encoded it.
    const qsizetype mark = address.indexOf('?');
    // The path's bytes as on disk: a name need not be UTF-8.
    const QByteArray path = QByteArray::fromPercentEncoding((mark < 0 ? address : address.left(mark)).toUtf8());
    const QString query = mark < 0 ? QString() : address.mid(mark + 1);
    const QString url = server_->ShowMovie(path, query);
    // A missing file plays as Ruffle shows any unreachable movie.
    RunInPage(Call("tembrelView.load", {url.isEmpty() ? server_->Base() + "movie/missing" : url}));
}

void FlashView::SetBackgroundColor(const QString& rrggbb) {
    static const QRegularExpression colour("^#[0-9A-Fa-f]{6}$");
    if (!colour.match(rrggbb).hasMatch()) return;
    page_->setBackgroundColor(QColor(rrggbb));
    RunInPage(Call("tembrelView.setBackground", {rrggbb}));
}

void FlashView::SetMenuShown(bool shown) { RunInPage(Call("tembrelView.setMenuShown", {shown})); }

QWebEnginePage* FlashView::PageForTesting() const { return page_; }

}  // namespace tembrel::app
