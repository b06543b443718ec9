#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>
#include <vector>

#include "app/app_test_support.h"
#include "app/desktop/desktop_services.h"
#include "app/help/help_window.h"
#include "app/widgets/program_icon.h"
#include "support/test_support.h"

namespace tembrel::app {
namespace {

const QString kHelpFolder = QStringLiteral(TEMBREL_PROGRAM_DIR "/help");

class UrlRecorder : public DesktopServices {
public:
    bool OpenUrl(const QUrl& url) override {
        urls.push_back(url);
        return true;
    }
    std::vector<QUrl> urls;
};

int VisibleHelpWindows() {
    int count = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->windowTitle() == QLatin1String("Tembrel Help")) ++count;
    return count;
}

bool DocumentHasAnchor(const QTextDocument* document, const QString& name) {
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        if (block.charFormat().anchorNames().contains(name)) return true;
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().anchorNames().contains(name)) return true;
    }
    return false;
}

class HelpWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::TestApplication();
        SetHelpFolderForTesting(kHelpFolder);
        SetDesktopForTesting(&desktop_);
    }
    void TearDown() override {
        CloseHelpWindow();
        SetHelpFolderForTesting({});
        SetDesktopForTesting(nullptr);
    }
    static QTextBrowser* Browser() {
        return HelpWindow() ? HelpWindow()->findChild<QTextBrowser*>() : nullptr;
    }
    UrlRecorder desktop_;
};

TEST_F(HelpWindowTest, OneWindowShowsThePagesAskedForAndKeepsLinksInside) {
    ShowHelp();
    QWidget* window = HelpWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Tembrel Help"));
    EXPECT_TRUE(window->isVisible());
    ASSERT_NE(Browser(), nullptr);
    EXPECT_EQ(Browser()->source().fileName(), QStringLiteral("index.html"));
    EXPECT_TRUE(Browser()->toPlainText().contains(QStringLiteral("Contents")));

    // A second request, even while minimised, reuses and restores the window.
    window->showMinimized();
    ShowHelp(QStringLiteral("faq.html"), QStringLiteral("swf_diff"));
    EXPECT_EQ(HelpWindow(), window);
    EXPECT_EQ(VisibleHelpWindows(), 1);
    EXPECT_FALSE(window->isMinimized());
    EXPECT_EQ(Browser()->source().fileName(), QStringLiteral("faq.html"));
    EXPECT_EQ(Browser()->source().fragment(), QStringLiteral("swf_diff"));
    EXPECT_TRUE(DocumentHasAnchor(Browser()->document(), QStringLiteral("swf_diff")));

    // A page's link opens the page here; a web link goes to the browser.
    emit Browser()->anchorClicked(QUrl(QStringLiteral("outputs.html#shell")));
    EXPECT_EQ(Browser()->source().fileName(), QStringLiteral("outputs.html"));
    EXPECT_EQ(Browser()->source().fragment(), QStringLiteral("shell"));
    EXPECT_TRUE(desktop_.urls.empty());
    emit Browser()->anchorClicked(QUrl(QStringLiteral("https://ruffle.rs/")));
    ASSERT_EQ(desktop_.urls.size(), 1u);
    EXPECT_EQ(desktop_.urls[0], QUrl(QStringLiteral("https://ruffle.rs/")));
    EXPECT_EQ(Browser()->source().fileName(), QStringLiteral("outputs.html"));

    CloseHelpWindow();
    EXPECT_EQ(HelpWindow(), nullptr);
    EXPECT_EQ(VisibleHelpWindows(), 0);

    // Without its pages the window says so instead of failing.
    SetHelpFolderForTesting(QStringLiteral(TEMBREL_TEST_TMP "/no-such-help"));
    ShowHelp(QStringLiteral("faq.html"), QStringLiteral("swf_diff"), true);
    ASSERT_NE(Browser(), nullptr);
    EXPECT_TRUE(Browser()->toPlainText().contains(QStringLiteral("not found")));
}

// Help Topics opens the contents, and with the help open only brings it to
// the front, on the page the user was reading.
TEST_F(HelpWindowTest, HelpTopicsRaisesTheOpenHelpOnItsPage) {
    ShowHelpTopics();
    ASSERT_NE(Browser(), nullptr);
    EXPECT_EQ(Browser()->source().fileName(), QStringLiteral("index.html"));
    QWidget* window = HelpWindow();
    emit Browser()->anchorClicked(QUrl(QStringLiteral("faq.html#swf_diff")));
    window->showMinimized();
    ShowHelpTopics();
    EXPECT_EQ(HelpWindow(), window);
    EXPECT_FALSE(window->isMinimized());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(Browser()->source().fileName(), QStringLiteral("faq.html"));
    EXPECT_EQ(Browser()->source().fragment(), QStringLiteral("swf_diff"));
}

// Every page the program ships: its links reach existing pages and anchors,
// nothing is fetched from the web, each page is reachable, and the build
// copied it into the program folder unchanged.
TEST(HelpPages, LocalLinksReachExistingPagesAndAnchors) {
    const QDir source(QStringLiteral(TEMBREL_SOURCE_DIR "/help"));
    const QStringList pages = source.entryList({QStringLiteral("*.html")}, QDir::Files);
    ASSERT_TRUE(pages.contains(QStringLiteral("index.html")));

    auto read = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    };
    QHash<QString, QSet<QString>> anchors;
    QHash<QString, QString> texts;
    const QRegularExpression idPattern(QStringLiteral(R"re(\b(?:id|name)="([^"]+)")re"));
    for (const QString& page : pages) {
        texts[page] = read(source.filePath(page));
        for (auto m = idPattern.globalMatch(texts[page]); m.hasNext();) anchors[page].insert(m.next().captured(1));
    }
    for (const QString& file : source.entryList(QDir::Files))
        EXPECT_EQ(read(source.filePath(file)), read(kHelpFolder + QLatin1Char('/') + file)) << file.toStdString();
    EXPECT_TRUE(anchors[QStringLiteral("faq.html")].contains(QStringLiteral("swf_diff")));

    const QRegularExpression linkPattern(QStringLiteral(R"re(\b(href|src)="([^"]*)")re"));
    QSet<QString> linked;
    for (const QString& page : pages) {
        for (auto m = linkPattern.globalMatch(texts[page]); m.hasNext();) {
            const auto match = m.next();
            const QString where = page + QStringLiteral(": ") + match.captured(2);
            const QUrl url(match.captured(2));
            if (!url.scheme().isEmpty()) {
                const bool webLink = QStringList{"http", "https", "mailto"}.contains(url.scheme());
                EXPECT_TRUE(webLink && match.captured(1) == QLatin1String("href") &&
                            !match.captured(2).endsWith(QLatin1String(".css")))
                    << "not a plain link to the web: " << where.toStdString();
                continue;
            }
            const QString target = url.path().isEmpty() ? page : url.path();
            EXPECT_TRUE(source.exists(target) && !target.contains(QLatin1Char('/'))) << where.toStdString();
            if (url.hasFragment()) {
                EXPECT_TRUE(anchors[target].contains(url.fragment())) << "no such anchor: " << where.toStdString();
            }
            if (target != page) linked.insert(target);
        }
    }
    for (const QString& page : pages) {
        if (page != QLatin1String("index.html")) {
            EXPECT_TRUE(linked.contains(page)) << "unreachable " << page.toStdString();
        }
    }
}

TEST(ProgramIdentity, IconLoadsAndDesktopEntryValidates) {
    test::TestApplication();
    const QIcon icon = ProgramIcon();
    ASSERT_FALSE(icon.isNull());
    EXPECT_FALSE(icon.pixmap(256, 256).isNull());
    if (!test::HaveTool("desktop-file-validate")) GTEST_SKIP() << "desktop-file-validate not installed";
    std::string output;
    EXPECT_EQ(test::RunCommand("desktop-file-validate " +
                                   test::ShellQuote(TEMBREL_SOURCE_DIR "/resources/tembrel.desktop") + " 2>&1",
                               &output),
              0)
        << output;
}

}  // namespace
}  // namespace tembrel::app
