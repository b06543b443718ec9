// The main window against the real engine: rows added from files, folders
// and drops, sorted by header clicks, guarded commands, menu enabling, the
// first-run help, and a conversion whose SWFs FFmpeg plays.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QStyle>
#include <QStyleOptionHeader>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <QUrl>

#include <csignal>
#include <cstdlib>
#include <chrono>
#include <filesystem>
#include <set>

#include "app/app_test_support.h"
#include "app/main_window/add_files_commands.h"
#include "app/application_startup.h"
#include "app/desktop/desktop_services.h"
#include "app/main_window/list_comparisons.h"
#include "app/main_window/main_window.h"
#include "app/widgets/message_box.h"
#include "app/options/options_sheet.h"
#include "app/options/page_swf_options.h"
#include "app/main_window/progress_window.h"
#include "app/main_window/sortable_list.h"
#include "audio/source_row_texts.h"
#include "engine/scoped_env.h"
#include "platform/memory_settings_store.h"
#include "platform/qt_settings_store.h"
#include "support/decoding_fixtures.h"
#include "support/test_support.h"

namespace tembrel::app {
namespace {

namespace fs = std::filesystem;

using test::RunProgram;
using test::ShownMainWindow;
using test::WaitFor;

struct Message {
    QString text;
    MessageIcon icon;
};

// Messages answered as OK and desktop hand-offs recorded, for one test.
class Recorders : public DesktopServices {
public:
    Recorders() {
        test::TestApplication();
        SetMessageHookForTesting([this](const QString& text, MessageIcon icon) {
            messages.push_back({text, icon});
            return true;
        });
        SetDesktopForTesting(this);
    }
    ~Recorders() override {
        SetMessageHookForTesting({});
        SetDesktopForTesting(nullptr);
    }
    bool OpenFile(const std::string& path) override { return Record("open " + path); }
    bool OpenUrl(const QUrl& url) override { return Record("url " + url.toString().toStdString()); }
    bool ShowInFileManager(const std::string& path) override { return Record("show " + path); }
    bool OpenInTextEditor(const std::string& path) override { return Record("edit " + path); }

    std::vector<Message> messages;
    std::vector<std::string> handOffs;

private:
    bool Record(const std::string& what) {
        handOffs.push_back(what);
        return true;
    }
};

QString Cell(const SortableListCtrl* list, int row, int column) { return list->topLevelItem(row)->text(column); }

std::string NameOf(const std::string& path) { return fs::path(path).filename().string(); }

// Every row shows the file its entry holds.
void ExpectRowsPaired(const SortableListCtrl* list) {
    for (int row = 0; row < list->topLevelItemCount(); ++row)
        EXPECT_EQ(Cell(list, row, 0).toStdString(), NameOf(list->EntryAt(row)->sourcePath)) << "row " << row;
}

TEST(ListComparisons, OrdersEachKindAndTreatsMissingSeparatorsAsEqual) {
    struct Case {
        ComparisonKind kind;
        std::vector<QString> ascending;  // each strictly before the next
    };
    const Case cases[] = {
        {ComparisonKind::Text, {"Alpha", "beta", "gamma"}},
        {ComparisonKind::Number, {"-3", "8000 Hz", "11025 Hz", "11025.5", "1e5"}},
        {ComparisonKind::Size, {"900", "1k", "1000 K", "2M", "1 G", "1t"}},
        {ComparisonKind::Date, {"2023-12-31", "2024-1-2", "2024-2-1", "2024-10-1"}},
        {ComparisonKind::MinutesSeconds, {"00:59", "01:05", "9:30", "99:59", "100:00"}},
        {ComparisonKind::HoursMinutesSeconds, {"0:59:59", "1:00:00", "1:0:1", "10:00:00"}},
    };
    for (const Case& c : cases) {
        for (std::size_t i = 0; i + 1 < c.ascending.size(); ++i) {
            const QString& a = c.ascending[i];
            const QString& b = c.ascending[i + 1];
            EXPECT_LT(CompareCellTexts(c.kind, a, b), 0) << a.toStdString() << " < " << b.toStdString();
            EXPECT_GT(CompareCellTexts(c.kind, b, a), 0) << b.toStdString() << " > " << a.toStdString();
            EXPECT_EQ(CompareCellTexts(c.kind, a, a), 0);
        }
    }
    EXPECT_EQ(CompareCellTexts(ComparisonKind::MinutesSeconds, "0559", "00:01"), 0);
    EXPECT_EQ(CompareCellTexts(ComparisonKind::HoursMinutesSeconds, "1:00", "0:00:01"), 0);
    EXPECT_EQ(CompareCellTexts(ComparisonKind::Date, "2024-01", "1999-1-1"), 0);
}

void ClickHeader(SortableListCtrl& list, int column) {
    QHeaderView* header = list.header();
    const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2, header->height() / 2);
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, at, header->viewport()->mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(header->viewport(), &event);
    }
}

TEST(SortableList, HeaderClicksSortByTheColumnsKindAndFlipOnlyOnTheSameColumn) {
    test::TestApplication();
    SortableListCtrl list;
    list.setColumnCount(3);
    list.SetColumnKind(1, ComparisonKind::MinutesSeconds);
    list.SetColumnKind(2, ComparisonKind::Number);
    std::vector<SourceFileEntry> entries(4);
    const QStringList rows[] = {{"a", "100:00", "8000 Hz"}, {"b", "01:05", "44100 Hz"},
                                {"c", "99:59", "11025 Hz"}, {"d", "00:59", "22050 Hz"}};
    for (std::size_t i = 0; i < entries.size(); ++i) {
        entries[i].sourcePath = "/music/" + rows[i][0].toStdString();
        list.AppendRow(rows[i], &entries[i]);
    }
    list.resize(400, 300);
    list.show();
    list.topLevelItem(2)->setSelected(true);  // "c" stays selected through the sorts

    const auto column = [&](int c) {
        QStringList texts;
        for (int row = 0; row < list.topLevelItemCount(); ++row) texts << Cell(&list, row, c);
        return texts;
    };
    ClickHeader(list, 1);
    EXPECT_EQ(column(1), QStringList({"00:59", "01:05", "99:59", "100:00"}));
    ClickHeader(list, 1);
    EXPECT_EQ(column(1), QStringList({"100:00", "99:59", "01:05", "00:59"}));
    EXPECT_FALSE(list.Ascending());
    ClickHeader(list, 2);
    EXPECT_EQ(column(2), QStringList({"8000 Hz", "11025 Hz", "22050 Hz", "44100 Hz"}));
    EXPECT_TRUE(list.Ascending());
    EXPECT_EQ(list.SortedColumn(), 2);
    ExpectRowsPaired(&list);
    ASSERT_EQ(list.SelectedRows(), std::vector<int>{1});
    EXPECT_EQ(list.EntryAt(1)->sourcePath, "/music/c");

    // Emptied (Remove All, or every row removed) and filled again, the rows
    // stand as added: no arrow claims an order until the next sort.
    EXPECT_TRUE(list.header()->isSortIndicatorShown());
    for (const bool oneByOne : {false, true}) {
        if (oneByOne) {
            while (list.topLevelItemCount() > 0) delete list.takeTopLevelItem(0);
        } else {
            list.clear();
        }
        list.AppendRow(rows[0], &entries[0]);
        EXPECT_FALSE(list.header()->isSortIndicatorShown());
        ClickHeader(list, 0);
        EXPECT_TRUE(list.header()->isSortIndicatorShown());
    }
}

// Every window keeps its buttons on a 1024 x 768 screen: the Options sheet
// keeps one size whichever template's options show, a sort arrow leaves
// each column's title whole, and a message naming thirty long paths keeps
// its OK in view.
TEST(MainWindow, WindowsFitASmallScreen) {
    Recorders recorders;
    const std::string program = TEMBREL_PROGRAM_DIR "/";
    CSheetOptions sheet(ConversionSettings(program), CSheetOptions::kSwfPage, program);
    sheet.show();
    auto* templates = sheet.findChild<QComboBox*>("controlTemplates");
    ASSERT_NE(templates, nullptr);
    std::set<std::pair<int, int>> sizes;
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < templates->count(); ++i) {
            templates->setCurrentIndex(i);
            emit templates->activated(i);
            QApplication::processEvents();
            QApplication::processEvents();
            sizes.insert({sheet.width(), sheet.height()});
        }
    }
    ASSERT_EQ(sizes.size(), 1u) << "the sheet changed its size with the template";
    EXPECT_LE(sizes.begin()->first, 1024);
    EXPECT_LE(sizes.begin()->second, 700);  // room for the frame and a panel

    MemorySettingsStore store;
    MainDialog window(store, {});
    window.show();
    QHeaderView* header = window.List()->header();
    int total = 0;
    for (int i = 0; i < header->count(); ++i) {
        const QString title = window.List()->headerItem()->text(i);
        QStyleOptionHeader option;
        option.initFrom(header);
        option.rect = QRect(0, 0, header->sectionSize(i), header->height());
        option.text = title;
        option.sortIndicator = QStyleOptionHeader::SortDown;
        const QRect label = header->style()->subElementRect(QStyle::SE_HeaderLabel, &option, header);
        EXPECT_GE(label.width(), option.fontMetrics.horizontalAdvance(title)) << title.toStdString();
        total += header->sectionSize(i);
    }
    EXPECT_EQ(total, 552);  // the list's width: no sideways scrolling

    FailedFileList failed;
    for (int i = 0; i < 30; ++i)
        failed.Add("/home/someone/Music/Collected recordings of the years gone by/Disc " + std::to_string(i) +
                   "/A track whose title runs on and on for quite a while, number " + std::to_string(i) + ".wav");
    SetMessageHookForTesting({});
    QSize boxSize;
    QRect okArea;
    QString shownText;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        QWidget* box = QApplication::activeModalWidget();
        if (!box || !box->isVisible()) return;
        boxSize = box->frameGeometry().size();
        for (QAbstractButton* button : box->findChildren<QAbstractButton*>())
            if (button->text().remove('&') == "OK") okArea = QRect(button->mapTo(box, QPoint(0, 0)), button->size());
        for (QLabel* label : box->findChildren<QLabel*>())
            if (label->text().startsWith("Failed to load")) shownText = label->text();
        user.stop();
        box->close();
    });
    user.start(5);
    ShowMessage(&window, QString::fromStdString(failed.MessageText()), MessageIcon::Exclamation);
    EXPECT_LE(boxSize.width(), 1024);
    EXPECT_LE(boxSize.height(), 700);
    EXPECT_FALSE(okArea.isEmpty());
    EXPECT_LE(okArea.bottom(), boxSize.height());
    EXPECT_EQ(shownText.toStdString(), failed.MessageText());
}

// Generated sources: a.wav in the folder, b.mp3 in sub/, c.flac in
// sub/deeper/, and a text file no scan takes.
struct SourceTree {
    explicit SourceTree(const std::string& root) {
        fs::create_directories(root + "/sub/deeper");
        ok = test::EncodeTone(root + "/a.wav", 22050, 1, 1.0, "-c:a pcm_s16le") &&
             test::EncodeTone(root + "/sub/b.mp3", 44100, 2, 1.5, "-c:a libmp3lame -b:a 64k") &&
             test::EncodeTone(root + "/sub/deeper/c.flac", 11025, 1, 1.0, "-c:a flac");
        test::WriteAll(root + "/sub/notes.txt", {'h', 'i'});
    }
    bool ok = false;
};

TEST(MainWindow, GuardsCommandsOnAnEmptyListOrSelection) {
    Recorders recorders;
    MemorySettingsStore store;
    MainDialog window(store, {});
    for (QAbstractButton* button : window.findChildren<QAbstractButton*>())
        if (button->text() == "Convert All" || button->text() == "Remove All") button->click();
    window.RemoveSelected();
    window.ConvertSelected();
    ASSERT_EQ(recorders.messages.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(recorders.messages[i].text, i < 2 ? kNoFilesMessage : kNoSelectionMessage);
        EXPECT_EQ(recorders.messages[i].icon, MessageIcon::Information);
    }
    // Hooks this build lacks leave their buttons off, never silently dead.
    for (QAbstractButton* button : window.findChildren<QAbstractButton*>())
        if (button->text() == "Record" || button->text() == "Options") {
            EXPECT_FALSE(button->isEnabled());
            EXPECT_TRUE(button->toolTip().endsWith(kNotAvailableYet)) << button->toolTip().toStdString();
        }
}

TEST(MainWindow, FirstStartOpensTheHelpMaximisedAndLaterStartsDoNot) {
    test::TestApplication();
    test::ScratchDir config;
    test::ScopedEnv env;
    env.Set("XDG_CONFIG_HOME", config.Path());
    std::vector<bool> opened;
    MainWindowHooks hooks;
    hooks.showHelp = [&](bool maximised) { opened.push_back(maximised); };
    const auto start = [&] {
        QtSettingsStore store;
        MainDialog window(store, hooks);
    };
    start();
    EXPECT_EQ(opened, std::vector<bool>{true});
    start();
    EXPECT_EQ(opened.size(), 1u);

    QtSettingsStore store;
    ASSERT_TRUE(store.OpenForWriting());
    store.Set("FirstRun", StoredValue::Dword(7));
    store.Close();
    start();
    start();
    EXPECT_EQ(opened, (std::vector<bool>{true, true}));
}

TEST(MainWindow, DroppedFolderIsAddedParentsFirstThenConvertedAndPlayable) {
    if (!test::HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg is needed for the sources";
    Recorders recorders;
    test::ScratchDir scratch;
    const std::string root = scratch.File("sounds");
    ASSERT_TRUE(SourceTree(root).ok);

    MemorySettingsStore store;
    MainWindowHooks hooks;
    std::vector<std::string> played;
    hooks.playSwf = [&](QWidget*, const SourceFileEntry& row, const ConversionSettings&, std::uint32_t) {
        played.push_back(row.outputSwfPath);
    };
    std::string recording;
    hooks.runRecorder = [&](QWidget*) { return std::optional<std::string>(recording); };
    MainDialog window(store, hooks);
    window.Settings() = ConversionSettings(TEMBREL_PROGRAM_DIR "/");
    window.Settings().CreateHtmlFile = 0;
    window.Settings().BrowseOutFolder = 0;
    window.show();
    SortableListCtrl* list = window.List();

    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(root))});
    // Qt delivers a drop only to the widget that accepted the drag's entry.
    QDragEnterEvent enter(QPoint(300, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(300, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &drop);
    ASSERT_TRUE(WaitFor([&] { return list->topLevelItemCount() == 3; })) << list->topLevelItemCount() << " rows";
    EXPECT_EQ(Cell(list, 0, 0), "a.wav");
    EXPECT_EQ(Cell(list, 1, 0), "b.mp3");
    EXPECT_EQ(Cell(list, 2, 0), "c.flac");
    EXPECT_EQ(Cell(list, 1, 4), "Stereo");
    EXPECT_EQ(Cell(list, 2, 3), "11025 Hz");
    EXPECT_TRUE(recorders.messages.empty());

    // Two rows selected: single-row items off, the rest on, nothing converted yet.
    list->topLevelItem(0)->setSelected(true);
    list->topLevelItem(2)->setSelected(true);
    window.UpdateListMenu();
    for (const char* off : {"&Play", "&Browse Folder", "Play &SWF", "Browse SWF &Folder", "Open &HTML File"})
        EXPECT_FALSE(window.MenuAction(off)->isEnabled()) << off;
    for (const char* on : {"&Convert to SWF", "&Remove\tDel", "Remove Al&l", "Con&vert All to SWF"})
        EXPECT_TRUE(window.MenuAction(on)->isEnabled()) << on;

    window.SetConversionJobs(2);
    window.ConvertAll();
    for (int row = 0; row < 3; ++row) {
        const SourceFileEntry* entry = list->EntryAt(row);
        ASSERT_FALSE(entry->outputSwfPath.empty()) << Cell(list, row, 0).toStdString();
        EXPECT_EQ(Cell(list, row, 5).toStdString(), NameOf(entry->outputSwfPath));
        EXPECT_TRUE(entry->htmlPath.empty());
        EXPECT_FALSE(test::FfmpegDecode(entry->outputSwfPath).empty()) << entry->outputSwfPath;
    }
    // Converted without a page: the SWF items on, the page items off.
    window.UpdateListMenu();
    EXPECT_TRUE(window.MenuAction("Play &SWF")->isEnabled());
    EXPECT_TRUE(window.MenuAction("Browse SWF &Folder")->isEnabled());
    EXPECT_FALSE(window.MenuAction("Open &HTML File")->isEnabled());
    EXPECT_FALSE(window.MenuAction("Vie&w HTML Code")->isEnabled());
    window.MenuAction("Play &SWF")->trigger();
    EXPECT_EQ(played, std::vector<std::string>{list->EntryAt(0)->outputSwfPath});

    // Sorted descending by name, the first row removed: rows and entries
    // stay paired, and the removed file can be added again.
    list->clearSelection();
    list->SortByColumn(0);
    list->SortByColumn(0);
    ASSERT_EQ(Cell(list, 0, 0), "c.flac");
    list->topLevelItem(0)->setSelected(true);
    window.RemoveSelected();
    ASSERT_EQ(list->topLevelItemCount(), 2);
    ExpectRowsPaired(list);
    EXPECT_EQ(NameOf(list->EntryAt(0)->outputSwfPath), "b.swf");
    window.AddPaths({root});
    ASSERT_EQ(list->topLevelItemCount(), 3);
    EXPECT_EQ(Cell(list, 2, 0), "c.flac");
    ExpectRowsPaired(list);

    // An accepted recording: that row alone selected and converted; one
    // already listed is selected where it is.
    recording = scratch.File("take.wav");
    ASSERT_TRUE(test::EncodeTone(recording, 11025, 1, 1.0, "-c:a pcm_s16le"));
    list->topLevelItem(0)->setSelected(true);
    window.Record();
    ASSERT_EQ(list->topLevelItemCount(), 4);
    EXPECT_EQ(list->SelectedRows(), std::vector<int>{3});
    EXPECT_EQ(Cell(list, 3, 5), "take.swf");
    EXPECT_TRUE(Cell(list, 2, 5).isEmpty());  // the re-added row was not converted again
    recording = list->EntryAt(1)->sourcePath;
    window.Record();
    EXPECT_EQ(list->topLevelItemCount(), 4);
    EXPECT_EQ(list->SelectedRows(), std::vector<int>{1});
}

std::set<std::string> NamesIn(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& item : fs::directory_iterator(folder)) names.insert(item.path().filename().string());
    return names;
}

// The window manager's close (Alt+F4, logging out) reaches the window while
// it is disabled for a run: the run is cancelled as Cancel would, and the
// window closes once it has ended, with the files finished before kept.
TEST(MainWindow, CloseDuringARunCancelsItWaitsForItAndThenCloses) {
    if (!test::HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg is needed for the sources";
    Recorders recorders;
    test::ScratchDir scratch;
    test::ScopedEnv env;
    env.Set("TMPDIR", scratch.Path());
    const std::string out = scratch.File("out");
    fs::create_directory(out);
    ASSERT_TRUE(test::EncodeTone(scratch.File("short.wav"), 22050, 1, 1.0, "-c:a pcm_s16le"));
    ASSERT_TRUE(test::EncodeTone(scratch.File("long.wav"), 22050, 1, 600.0, "-c:a pcm_s16le"));

    MemorySettingsStore store;
    MainWindowHooks hooks;
    int helpClosed = 0;
    hooks.closeHelp = [&] { ++helpClosed; };
    MainDialog window(store, hooks);
    window.Settings() = ConversionSettings(TEMBREL_PROGRAM_DIR "/");
    window.Settings().SWFOutputFolderOpt = kOutputCustomFolder;
    window.Settings().SWFSpecifiedFolder = out;
    window.Settings().BrowseOutFolder = 1;  // a run ended by closing shows nothing
    window.show();
    window.AddPaths({scratch.File("short.wav"), scratch.File("long.wav")});
    SortableListCtrl* list = window.List();
    ASSERT_EQ(list->topLevelItemCount(), 2);

    bool closed = false;
    bool visibleAfterClose = false;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        auto* progress = window.findChild<ProgressWindow*>();
        if (closed || !progress || list->topLevelItemCount() < 2 || Cell(list, 1, 5) != "Converting..." ||
            progress->BarPosition() <= 0)
            return;
        closed = true;
        window.close();
        visibleAfterClose = window.isVisible();
    });
    user.start(5);
    const auto start = std::chrono::steady_clock::now();
    window.ConvertAll();
    user.stop();

    ASSERT_TRUE(closed);
    EXPECT_TRUE(visibleAfterClose) << "the window closed under the run";
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::minutes(3));  // not ten minutes encoded
    // Until the run has ended the rows stay; then the close goes ahead.
    EXPECT_TRUE(WaitFor([&] { return !window.isVisible(); }));
    EXPECT_EQ(helpClosed, 1);
    EXPECT_EQ(list->topLevelItemCount(), 0);
    std::set<std::string> kept = NamesIn(out);
    kept.erase("short.htm");
    kept.erase("tembrel-ruffle");  // the page's player, beside it
    EXPECT_EQ(kept, std::set<std::string>{"short.swf"});
    EXPECT_EQ(NamesIn(scratch.Path()), (std::set<std::string>{"long.wav", "out", "short.wav"}));
    EXPECT_FALSE(test::FfmpegDecode(out + "/short.swf").empty());
    EXPECT_EQ(recorders.handOffs, std::vector<std::string>{});
}

// The window is disabled during a run, so the user cannot scroll: each row
// is brought into view as its file starts converting.
TEST(MainWindow, EachRowComesIntoViewAsItsFileStartsConverting) {
    if (!test::HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg is needed for the sources";
    Recorders recorders;
    test::ScratchDir scratch;
    const std::string out = scratch.File("out");
    fs::create_directory(out);
    ASSERT_TRUE(test::EncodeTone(scratch.File("tone00.wav"), 11025, 1, 0.2, "-c:a pcm_s16le"));
    std::vector<std::string> paths{scratch.File("tone00.wav")};
    for (int i = 1; i < 30; ++i) {
        paths.push_back(scratch.File((i < 10 ? "tone0" : "tone") + std::to_string(i) + ".wav"));
        fs::copy_file(paths[0], paths.back());
    }
    MemorySettingsStore store;
    MainDialog window(store, {});
    window.Settings() = ConversionSettings(TEMBREL_PROGRAM_DIR "/");
    window.Settings().SWFOutputFolderOpt = kOutputCustomFolder;
    window.Settings().SWFSpecifiedFolder = out;
    window.Settings().CreateHtmlFile = 0;
    window.Settings().BrowseOutFolder = 0;
    window.show();
    window.AddPaths(paths);
    SortableListCtrl* list = window.List();
    list->setMaximumHeight(150);  // a few rows in view, as on a long list
    ASSERT_TRUE(WaitFor([&] { return list->viewport()->height() < 150; }));
    ASSERT_EQ(list->topLevelItemCount(), 30);
    list->scrollToTop();

    std::vector<std::string> unseen;  // rows that started out of view, or with the window enabled
    std::set<QTreeWidgetItem*> started;
    auto inView = [&](QTreeWidgetItem* item) {
        const QRect rect = list->visualItemRect(item);
        return rect.isValid() && rect.top() >= 0 && rect.bottom() < list->viewport()->height();
    };
    QObject::connect(list, &QTreeWidget::itemChanged, [&](QTreeWidgetItem* item, int) {
        if (item->text(5) != "Converting..." || !started.insert(item).second) return;
        if (!inView(item) || window.isEnabled()) unseen.push_back(item->text(0).toStdString());
    });
    window.SetConversionJobs(2);
    window.ConvertAll();
    EXPECT_EQ(started.size(), 30u);
    EXPECT_TRUE(unseen.empty()) << unseen.size() << " rows, the first " << (unseen.empty() ? "" : unseen[0]);
    EXPECT_FALSE(inView(list->topLevelItem(0)));  // the list did scroll
}

// A folder of thousands of files: while they are added the progress window
// keeps showing the file in work with the bar at its number, and its Cancel
// stops the add with the rows added so far kept, in order, the newest in view.
TEST(MainWindow, ALongAddKeepsItsProgressLiveAndStopsOnCancel) {
    if (!test::HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg is needed for the sources";
    Recorders recorders;
    test::ScratchDir scratch;
    const std::string folder = scratch.File("many");
    fs::create_directory(folder);
    constexpr int kCount = 3000;
    auto nameOf = [](int i) {
        const std::string digits = std::to_string(i);
        return "tone" + std::string(4 - digits.size(), '0') + digits + ".wav";
    };
    ASSERT_TRUE(test::EncodeTone(folder + "/" + nameOf(0), 8000, 1, 0.1, "-c:a pcm_s16le"));
    for (int i = 1; i < kCount; ++i) fs::copy_file(folder + "/" + nameOf(0), folder + "/" + nameOf(i));

    MemorySettingsStore store;
    MainDialog window(store, {});
    window.show();
    SortableListCtrl* list = window.List();

    // The user watches the window and presses Cancel once it has shown a
    // second file, with a click as the window system delivers it.
    std::vector<std::string> shown;  // what the window showed that did not fit its file
    std::set<int> numbers;
    int rowsAtCancel = -1;
    bool windowEnabled = false;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        auto* progress = window.findChild<ProgressWindow*>();
        if (rowsAtCancel >= 0 || !progress) return;
        const std::string text = progress->Text().toStdString();
        if (text == "Searching files...") return;
        const int number = std::atoi(text.c_str() + 1);
        if (text != "[" + std::to_string(number) + "/" + std::to_string(kCount) + "] Adding file " +
                        nameOf(number - 1) + "..." ||
            progress->BarPosition() != number)
            shown.push_back(text + " at " + std::to_string(progress->BarPosition()));
        numbers.insert(number);
        if (numbers.size() < 2) return;
        windowEnabled = window.isEnabled();
        rowsAtCancel = list->topLevelItemCount();
        QPushButton* cancel = progress->CancelButton();
        const QPointF at = QRectF(cancel->rect()).center();
        QMouseEvent press(QEvent::MouseButtonPress, at, cancel->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, {});
        QMouseEvent release(QEvent::MouseButtonRelease, at, cancel->mapToGlobal(at), Qt::LeftButton, {}, {});
        QCoreApplication::sendEvent(cancel, &press);
        QCoreApplication::sendEvent(cancel, &release);
    });
    user.start(5);
    window.AddPaths({folder + "/"});
    user.stop();

    ASSERT_GE(rowsAtCancel, 0) << "the add ended before the window had shown a second file";
    EXPECT_TRUE(shown.empty()) << shown.front();
    EXPECT_FALSE(windowEnabled);
    EXPECT_TRUE(window.isEnabled());
    EXPECT_EQ(window.findChild<ProgressWindow*>(), nullptr);
    EXPECT_TRUE(recorders.messages.empty());
    // Stopped after the file in work: the rows are the first files, as listed.
    ASSERT_EQ(list->topLevelItemCount(), rowsAtCancel);
    ASSERT_LT(rowsAtCancel, kCount);
    for (int row = 0; row < rowsAtCancel; ++row) {
        ASSERT_EQ(Cell(list, row, 0).toStdString(), nameOf(row));
        ASSERT_EQ(list->EntryAt(row)->sourcePath, folder + "/" + nameOf(row));
    }
    EXPECT_EQ(Cell(list, rowsAtCancel - 1, 1), "00:00");
    EXPECT_EQ(Cell(list, rowsAtCancel - 1, 3), "8000 Hz");
    EXPECT_EQ(Cell(list, rowsAtCancel - 1, 4), "Mono");
    const QRect newest = list->visualItemRect(list->topLevelItem(rowsAtCancel - 1));
    EXPECT_TRUE(newest.isValid() && newest.top() >= 0 && newest.bottom() < list->viewport()->height());
}

// A saved recording the list cannot take (gone, or no sound in it): Record
// says so and why, and converts nothing.
TEST(MainWindow, ARecordingTheListCannotTakeIsToldWithItsReason) {
    Recorders recorders;
    test::ScratchDir scratch;
    MemorySettingsStore store;
    MainWindowHooks hooks;
    std::string recording;
    hooks.runRecorder = [&](QWidget*) { return std::optional<std::string>(recording); };
    MainDialog window(store, hooks);
    window.show();
    const std::string noSound = scratch.File("take.wav"), gone = scratch.File("gone.wav");
    test::WriteAll(noSound, std::vector<std::uint8_t>(4000, 0x5A));
    for (const std::string& path : {noSound, gone}) {
        recording = path;
        window.Record();
    }
    EXPECT_EQ(window.List()->topLevelItemCount(), 0);
    ASSERT_EQ(recorders.messages.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        const std::string text = recorders.messages[i].text.toStdString();
        const std::string path = i == 0 ? noSound : gone;
        EXPECT_TRUE(text.starts_with("The recording \"" + path + "\" cannot be added to the list: ")) << text;
        EXPECT_GT(text.size(), ("The recording \"" + path + "\" cannot be added to the list: .").size()) << text;
        EXPECT_EQ(recorders.messages[i].icon, MessageIcon::Exclamation);
    }
    EXPECT_TRUE(recorders.handOffs.empty());
}

// A name that is not UTF-8 reaches the list as its bytes from the command
// line, a drop and the open dialog alike; the file whose name is what Qt
// shows for it (U+FFFD in place of the byte) is never taken instead.
TEST(MainWindow, NamesThatAreNotUtf8LoadTheirOwnFileFromEveryEntryPoint) {
    if (!test::HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg is needed for the sources";
    Recorders recorders;
    test::ScratchDir scratch;
    const std::string latin1 = scratch.File("caf\xe9.wav");
    const std::string lookalike = scratch.File("caf\xef\xbf\xbd.wav");  // "caf\uFFFD.wav"
    ASSERT_TRUE(test::EncodeTone(latin1, 22050, 1, 1.0, "-c:a pcm_s16le"));
    MemorySettingsStore store;
    MainDialog window(store, {});
    window.show();
    SortableListCtrl* list = window.List();

    // The open dialog, given the name as it shows it.
    const auto chooseInDialog = [&] {
        bool answered = false;
        QTimer user;
        QObject::connect(&user, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            // A refusal ("file not found") ends the dialog unanswered.
            if (answered && modal) {
                if (auto* refusal = qobject_cast<QDialog*>(modal)) refusal->reject();
                return;
            }
            if (answered || !dialog) return;
            answered = true;
            dialog->setDirectory(QString::fromStdString(scratch.Path()));
            dialog->selectFile(QFile::decodeName(QByteArray::fromStdString(latin1)));
            QMetaObject::invokeMethod(dialog, &QDialog::accept, Qt::QueuedConnection);
        });
        user.start(5);
        window.AddFiles();
        return answered;
    };
    const auto expectOnlyTheLatin1File = [&](const char* how) {
        SCOPED_TRACE(how);
        ASSERT_EQ(list->topLevelItemCount(), 1);
        EXPECT_EQ(list->EntryAt(0)->sourcePath, latin1);
        EXPECT_EQ(Cell(list, 0, 3), "22050 Hz");  // not the look-alike's 44100
        EXPECT_TRUE(recorders.messages.empty()) << recorders.messages.front().text.toStdString();
        window.RemoveAll();
        recorders.messages.clear();
    };
    // Qt's dialog alone refuses a name it cannot encode back.
    ASSERT_TRUE(chooseInDialog());
    expectOnlyTheLatin1File("open dialog, no look-alike");

    ASSERT_TRUE(test::EncodeTone(lookalike, 44100, 2, 1.0, "-c:a pcm_s16le"));
    ASSERT_TRUE(chooseInDialog());
    expectOnlyTheLatin1File("open dialog");

    window.AddPaths(StartupItems({scratch.Path() + "/./sub/../caf\xe9.wav"}));
    expectOnlyTheLatin1File("command line");

    QMimeData data;
    data.setUrls({QUrl::fromEncoded("file://" + QByteArray::fromStdString(latin1).toPercentEncoding("/"))});
    QDragEnterEvent enter(QPoint(300, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    QDropEvent drop(QPointF(300, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &drop);
    ASSERT_TRUE(WaitFor([&] { return list->topLevelItemCount() > 0 || !recorders.messages.empty(); }));
    expectOnlyTheLatin1File("drop");
}

// The open dialog lists the filters by the names they are given, which
// already show their patterns.
TEST(MainWindow, OpenDialogShowsTheFilterNamesAsGiven) {
    test::TestApplication();
    const QStringList shown = test::FileDialogFilterNames([] { EXPECT_TRUE(ChooseSourceFiles(nullptr).empty()); });
    ASSERT_EQ(shown.size(), SourceFileFilters().size());
    EXPECT_EQ(shown.front().toStdString(), "All Supported Files");
    EXPECT_EQ(shown[1].toStdString(), "Advanced Audio Coding (*.aac)");
    EXPECT_EQ(shown[2].toStdString(), "AIFF Files (*.aiff;*.aif;*.aifc;*.afc)");
    EXPECT_EQ(shown.back().toStdString(), "All Files (*.*)");
}

// Ctrl-C, `kill` and logging out end the program as its Close does: a run
// is cancelled and waited for, the Options sheet goes with its preview
// movie, and no temporary file is left behind.
TEST(Application, InterruptTerminateAndHangUpEndItAsItsCloseDoes) {
    if (!test::HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg is needed for the sources";
    Recorders recorders;
    test::ScratchDir scratch, config;
    test::ScopedEnv env;
    env.Set("TMPDIR", scratch.Path());
    env.Set("XDG_CONFIG_HOME", config.Path());
    // A test run may have been started with hang-ups ignored.
    struct sigaction hangUp {}, savedHangUp {};
    hangUp.sa_handler = SIG_DFL;
    sigemptyset(&hangUp.sa_mask);
    sigaction(SIGHUP, &hangUp, &savedHangUp);
    const std::string out = scratch.File("out");
    fs::create_directory(out);
    ASSERT_TRUE(test::EncodeTone(scratch.File("short.wav"), 22050, 1, 1.0, "-c:a pcm_s16le"));
    ASSERT_TRUE(test::EncodeTone(scratch.File("long.wav"), 22050, 1, 600.0, "-c:a pcm_s16le"));
    const std::set<std::string> sources = {"long.wav", "out", "short.wav"};

    // SIGTERM in the middle of the long file.
    bool started = false, signalled = false;
    int status = RunProgram({scratch.File("short.wav"), scratch.File("long.wav")}, {}, [&] {
        MainDialog* window = ShownMainWindow();
        if (!window || signalled) return;
        SortableListCtrl* list = window->List();
        if (!started && list->topLevelItemCount() == 2) {
            started = true;
            window->Settings() = ConversionSettings(TEMBREL_PROGRAM_DIR "/");
            window->Settings().SWFOutputFolderOpt = kOutputCustomFolder;
            window->Settings().SWFSpecifiedFolder = out;
            window->Settings().BrowseOutFolder = 1;  // nothing opens at a logout
            QMetaObject::invokeMethod(window, &MainDialog::ConvertAll, Qt::QueuedConnection);
            return;
        }
        auto* progress = window->findChild<ProgressWindow*>();
        if (!started || !progress || Cell(list, 1, 5) != "Converting..." || progress->BarPosition() <= 0) return;
        signalled = true;
        ::kill(::getpid(), SIGTERM);
    });
    EXPECT_TRUE(signalled);
    EXPECT_EQ(status, 0);
    std::set<std::string> kept = NamesIn(out);
    kept.erase("short.htm");
    kept.erase("tembrel-ruffle");  // the page's player, beside it
    EXPECT_EQ(kept, std::set<std::string>{"short.swf"});
    EXPECT_EQ(NamesIn(scratch.Path()), sources);
    EXPECT_EQ(recorders.handOffs, std::vector<std::string>{});

    // SIGHUP with the Options sheet open on its preview.
    MainWindowHooks hooks;
    std::string preview;
    bool sheetShown = false;
    hooks.runOptions = [&](QWidget* parent, ConversionSettings& settings, int& page) {
        MemorySettingsStore sheetStore;
        return RunOptionsSheet(parent, settings, page, sheetStore, TEMBREL_PROGRAM_DIR "/");
    };
    signalled = started = false;
    status = RunProgram({}, hooks, [&] {
        MainDialog* window = ShownMainWindow();
        if (signalled || (!window && !started)) return;
        if (!started) {
            started = true;
            QMetaObject::invokeMethod(window, &MainDialog::Options, Qt::QueuedConnection);
            return;
        }
        auto* sheet = qobject_cast<CSheetOptions*>(QApplication::activeModalWidget());
        if (!sheet || !sheet->isVisible()) return;
        sheetShown = true;
        auto* page = static_cast<CPageSWFOpt*>(sheet->PageAt(CSheetOptions::kSwfPage));
        preview = page->PreviewPath();
        // Without a Flash view there is no preview to wait for.
        if (page->Preview() && preview.empty()) return;
        signalled = true;
        ::kill(::getpid(), SIGHUP);
    });
    EXPECT_TRUE(sheetShown);
    EXPECT_TRUE(signalled);
    EXPECT_EQ(status, 0);
    if (!preview.empty()) {
        EXPECT_FALSE(fs::exists(preview)) << preview;
    }
    EXPECT_EQ(NamesIn(scratch.Path()), sources);

    // Ctrl-C with nothing in work.
    signalled = false;
    status = RunProgram({}, {}, [&] {
        if (signalled || !ShownMainWindow()) return;
        signalled = true;
        ::kill(::getpid(), SIGINT);
    });
    EXPECT_TRUE(signalled);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ShownMainWindow(), nullptr);
    sigaction(SIGHUP, &savedHangUp, nullptr);
}

}  // namespace
}  // namespace tembrel::app
