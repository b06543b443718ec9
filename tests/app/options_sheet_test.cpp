#include "app/options/options_sheet.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include <QAbstractButton>
#include <QCheckBox>
#include <QColorDialog>
#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QOpenGLContext>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>

#include "app/app_test_support.h"
#include "app/desktop/desktop_hooks.h"
#include "app/help/help_window.h"
#include "app/preview/flash_view.h"
#include "app/widgets/message_box.h"
#include "app/options/page_swf_options.h"
#include "app/widgets/step_spin_button.h"
#include "engine/settings_persistence.h"
#include "platform/qt_settings_store.h"
#include "support/test_support.h"

namespace tembrel::app {
namespace {

namespace fs = std::filesystem;

using test::WaitFor;

// Closes a sheet a test left open, so that a failing test cannot hang.
void CloseSheetsLater() {
    QTimer::singleShot(120000, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* sheet = qobject_cast<CSheetOptions*>(w)) sheet->reject();
    });
}

CSheetOptions* ModalSheet() {
    WaitFor([] { return qobject_cast<CSheetOptions*>(QApplication::activeModalWidget()) != nullptr; });
    return qobject_cast<CSheetOptions*>(QApplication::activeModalWidget());
}

template <typename T>
T* Find(QWidget* root, const char* name) {
    T* child = root->findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
}

// What a user's pick in a list does: the item, then the signal.
void Choose(QComboBox* list, const QVariant& data) {
    const int index = list->findData(data);
    ASSERT_GE(index, 0) << data.toString().toStdString();
    list->setCurrentIndex(index);
    emit list->activated(index);
}

void ChooseText(QComboBox* list, const QString& text) {
    const int index = list->findText(text);
    ASSERT_GE(index, 0) << text.toStdString();
    list->setCurrentIndex(index);
    emit list->activated(index);
}

void Type(StepSpinButton* edit, const QString& text) {
    auto* line = edit->findChild<QLineEdit*>();
    line->setText(text);
    emit line->textEdited(text);
}

std::vector<std::string> PreviewFiles(const std::string& folder) {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("TBRpreview-", 0) == 0) found.push_back(name);
    }
    return found;
}

class OptionsSheetTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::TestApplication();
        setenv("XDG_CONFIG_HOME", config_.Path().c_str(), 1);
        setenv("TMPDIR", temp_.Path().c_str(), 1);
        savedFactors_ = ProcessColourFactors();
        SetMessageHookForTesting([this](const QString& text, MessageIcon) {
            messages_.push_back(text);
            return true;
        });
    }
    void TearDown() override {
        SetMessageHookForTesting({});
        ProcessColourFactors() = savedFactors_;
        unsetenv("TMPDIR");
    }

    static std::string ProgramFolder() { return std::string(TEMBREL_PROGRAM_DIR) + "/"; }
    ConversionSettings Defaults() const { return ConversionSettings(ProgramFolder()); }
    std::string ConfigFile() const { return config_.Path() + "/Tembrel/Options.conf"; }

    test::ScratchDir config_;
    test::ScratchDir temp_;
    ColourFactors savedFactors_;
    QStringList messages_;
};

TEST_F(OptionsSheetTest, SoundRatesStayAPairTheEncoderCanMake) {
    ConversionSettings settings = Defaults();
    settings.AutoDestMP3EncodingParam = 0;
    settings.MP3BitRate = 24;
    settings.MP3SampleRate = 22050;
    settings.MP3ChannelNum = 1;
    CSheetOptions sheet(settings, CSheetOptions::kSoundPage, ProgramFolder());
    auto* presets = Find<QComboBox>(&sheet, "encodingPresets");
    auto* rates = Find<QComboBox>(&sheet, "sampleRates");
    auto* bits = Find<QComboBox>(&sheet, "bitRates");
    auto* stereo = Find<QRadioButton>(&sheet, "stereo");
    EXPECT_EQ(presets->currentText(), "22050 Hz, 24 kbps, Mono (normal quality, small file size)");

    // 320 kbps cannot be made at 11025 Hz: the rate goes up to 44100.
    Choose(presets, 0x288);
    EXPECT_EQ(rates->currentData().toInt(), 11025);
    Choose(bits, 320);
    EXPECT_EQ(rates->currentData().toInt(), 44100);
    EXPECT_EQ(presets->currentText(), "Custom");

    // 11025 Hz cannot carry 128 kbps: the bit rate comes down to 64.
    Choose(presets, 0x588);
    EXPECT_TRUE(stereo->isChecked());
    Choose(rates, 11025);
    EXPECT_EQ(bits->currentData().toInt(), 64);
    EXPECT_EQ(presets->currentText(), "Custom");

    // "Auto" locks the manual choices; what they show is stored, not the
    // preset that was stored before.
    Choose(presets, 0x188);
    EXPECT_FALSE(bits->isEnabled());
    EXPECT_FALSE(stereo->isEnabled());
    ConversionSettings automatic = settings;
    ASSERT_TRUE(sheet.PageAt(CSheetOptions::kSoundPage)->Apply(automatic));
    EXPECT_EQ(automatic.AutoDestMP3EncodingParam, 1);
    EXPECT_EQ(automatic.MP3BitRate, 64);
    EXPECT_EQ(automatic.MP3SampleRate, 11025);
    EXPECT_EQ(automatic.MP3ChannelNum, 2);

    Choose(presets, 0x988);
    EXPECT_TRUE(bits->isEnabled());
    ConversionSettings manual = settings;
    ASSERT_TRUE(sheet.PageAt(CSheetOptions::kSoundPage)->Apply(manual));
    EXPECT_EQ(manual.AutoDestMP3EncodingParam, 0);
    EXPECT_EQ(manual.MP3BitRate, 64);
    EXPECT_EQ(manual.MP3SampleRate, 11025);
    EXPECT_EQ(manual.MP3ChannelNum, 2);

    // One click is one step of 10, whatever the system asks, within 10..3000.
    auto* coefficient = Find<StepSpinButton>(&sheet, "coefficient");
    EXPECT_FALSE(coefficient->SetStep(2990));
    coefficient->SetValue(2985);
    coefficient->stepBy(5);
    EXPECT_EQ(coefficient->Value(), 2995);
    coefficient->stepBy(1);
    EXPECT_EQ(coefficient->Value(), 3000);
}

TEST_F(OptionsSheetTest, RefusedValuesKeepTheSheetOpenOnTheirPage) {
    ConversionSettings settings = Defaults();
    settings.ChangeVolume = 1;
    settings.JPEGFile.clear();
    CSheetOptions sheet(settings, CSheetOptions::kSoundPage, ProgramFolder());
    sheet.show();
    auto* tabs = sheet.findChild<QTabWidget*>();

    Type(Find<StepSpinButton>(&sheet, "coefficient"), "5");
    sheet.accept();
    ASSERT_EQ(messages_, QStringList{"Invalid coefficient. It must be betwen 10 and 3000."});
    EXPECT_TRUE(sheet.isVisible());
    // Nor can the page be left with it.
    tabs->setCurrentIndex(CSheetOptions::kOutputPage);
    EXPECT_EQ(sheet.ActivePage(), CSheetOptions::kSoundPage);
    EXPECT_EQ(messages_.size(), 2);
    Type(Find<StepSpinButton>(&sheet, "coefficient"), "3000");

    tabs->setCurrentIndex(CSheetOptions::kOutputPage);
    Choose(Find<QComboBox>(&sheet, "outputFolder"), kOutputCustomFolder);
    sheet.accept();
    EXPECT_EQ(messages_.back(), "Please specify an output folder.");
    EXPECT_EQ(sheet.ActivePage(), CSheetOptions::kOutputPage);
    Find<QLineEdit>(&sheet, "customFolder")->setText("/srv/swf/");

    tabs->setCurrentIndex(CSheetOptions::kSwfPage);
    ChooseText(Find<QComboBox>(&sheet, "controlTemplates"), "use_a_jpeg_1.swf");
    sheet.accept();
    EXPECT_EQ(messages_.back(), "Please choose a JPEG file.");
    EXPECT_EQ(messages_.size(), 4);
    EXPECT_TRUE(sheet.isVisible());
    EXPECT_NE(sheet.result(), QDialog::Accepted);

    ChooseText(Find<QComboBox>(&sheet, "controlTemplates"), "trumpet_1.swf");
    sheet.accept();
    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_EQ(sheet.Result().SWFSpecifiedFolder, "/srv/swf/");
    EXPECT_EQ(sheet.Result().VolumeCoef, 3000);
}

TEST_F(OptionsSheetTest, SwfPageColoursAndEnablingRules) {
    ConversionSettings settings = Defaults();
    CSheetOptions sheet(settings, CSheetOptions::kSwfPage, ProgramFolder());
    auto* buttonHex = Find<QLineEdit>(&sheet, "buttonColourHex");
    auto* background = Find<QLineEdit>(&sheet, "backgroundColourHex");
    EXPECT_EQ(buttonHex->text(), "00AA00");

    ConversionSettings out = settings;
    buttonHex->setText("FF");
    background->setText("A");
    ASSERT_TRUE(sheet.PageAt(CSheetOptions::kSwfPage)->Apply(out));
    EXPECT_EQ(out.SWFBtnColor, 0x0000FFu);
    EXPECT_EQ(out.SWFBkgColor, 0x0000A0u);

    // Event sound without controls has no frames to put blanks before.
    auto* blank = Find<StepSpinButton>(&sheet, "blankFrames");
    Find<QRadioButton>(&sheet, "noInterface")->click();
    EXPECT_TRUE(blank->isEnabled());
    EXPECT_FALSE(Find<QComboBox>(&sheet, "controlTemplates")->isEnabled());
    Find<QRadioButton>(&sheet, "eventSound")->click();
    EXPECT_FALSE(blank->isEnabled());
    EXPECT_FALSE(Find<QAbstractButton>(&sheet, "blankFramesHelp")->isEnabled());
    Find<QRadioButton>(&sheet, "controllable")->click();
    EXPECT_TRUE(blank->isEnabled());
    EXPECT_TRUE(Find<QComboBox>(&sheet, "controlTemplates")->isEnabled());

    // The shell-player list takes over the template of the same name.
    ChooseText(Find<QComboBox>(&sheet, "controlTemplates"), "track_bar.swf");
    Find<QRadioButton>(&sheet, "withShellPlayer")->click();
    EXPECT_EQ(Find<QComboBox>(&sheet, "shellTemplates")->currentText(), "track_bar.swf");
    ASSERT_TRUE(sheet.PageAt(CSheetOptions::kSwfPage)->Apply(out));
    EXPECT_EQ(out.ButtonSWFType, kPlayerWithShell);
    EXPECT_EQ(out.ShellPlayerSWF, ProgramFolder() + "ControlSWF/ShellPlayer/track_bar.swf");
    EXPECT_EQ(out.ControlSWF, ProgramFolder() + "ControlSWF/track_bar.swf");

    // The picture's Browse shows its patterns as the main window's dialog does.
    EXPECT_EQ(test::FileDialogFilterNames([&] { Find<QPushButton>(&sheet, "jpegBrowse")->click(); }),
              QStringList{"JPEG File (*.jpg;*.jpeg;*.jpe;*.jfif)"});

    Find<QLabel>(&sheet, "soundTypeLink")->linkActivated("#");
    EXPECT_TRUE(messages_.back().startsWith("Streaming sound can be played while downloading."));
    QString helpPage, helpAnchor;
    CPageSWFOpt::SetHelpHook([&](const QString& page, const QString& anchor) {
        helpPage = page;
        helpAnchor = anchor;
    });
    Find<QLabel>(&sheet, "swfTypesLink")->linkActivated("#");
    CPageSWFOpt::SetHelpHook({});
    EXPECT_EQ(helpPage + "#" + helpAnchor, "faq.html#swf_diff");
}

// Notes, for the help window, whether modal blocking holds it and the
// cursor over the program as it is first shown.
class HelpWatch : public QObject {
public:
    bool blocked = false;
    bool shown = false;
    bool waitCursorAtShow = false;
    QWidget* main = nullptr;
    bool mainBlocked = false;

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (object == main && event->type() == QEvent::WindowBlocked) mainBlocked = true;
        if (object == main && event->type() == QEvent::WindowUnblocked) mainBlocked = false;
        if (object == HelpWindow()) {
            if (event->type() == QEvent::WindowBlocked) blocked = true;
            if (event->type() == QEvent::WindowUnblocked) blocked = false;
            if (event->type() == QEvent::Show && !shown) {
                shown = true;
                waitCursorAtShow = QApplication::overrideCursor() &&
                                   QApplication::overrideCursor()->shape() == Qt::WaitCursor;
            }
        }
        return false;
    }
};

TEST_F(OptionsSheetTest, TheFaqLinkOpensHelpThatTakesInputWhileTheSheetIsOpen) {
    CloseHelpWindow();
    DesktopHooks();  // the link goes to the program's own help window
    QWidget main;
    main.show();
    HelpWatch watch;
    watch.main = &main;
    QApplication::instance()->installEventFilter(&watch);
    ConversionSettings settings = Defaults();
    int activePage = CSheetOptions::kSwfPage;
    QtSettingsStore store;
    CloseSheetsLater();
    bool helpVisible = false, helpMaximised = false, mainBlocked = false, stillBlocked = true;
    QTimer::singleShot(0, [&] {
        CSheetOptions* sheet = ModalSheet();
        ASSERT_NE(sheet, nullptr);
        Find<QLabel>(sheet, "swfTypesLink")->linkActivated("#");
        WaitFor([] { return HelpWindow() && HelpWindow()->isVisible(); });
        helpVisible = HelpWindow() && HelpWindow()->isVisible();
        helpMaximised = HelpWindow() && HelpWindow()->isMaximized();
        mainBlocked = watch.mainBlocked;  // the sheet still holds the window it belongs to
        stillBlocked = watch.blocked;
        CloseHelpWindow();
        sheet->reject();
    });
    RunOptionsSheet(&main, settings, activePage, store, ProgramFolder());
    QApplication::instance()->removeEventFilter(&watch);
    CPageSWFOpt::SetHelpHook({});

    EXPECT_TRUE(helpVisible);
    EXPECT_TRUE(helpMaximised);
    EXPECT_TRUE(watch.waitCursorAtShow);
    EXPECT_FALSE(stillBlocked) << "the sheet blocks the help window";
    EXPECT_TRUE(mainBlocked);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(OptionsSheetTest, OkStoresEveryPageAndANewSheetShowsIt) {
    ConversionSettings settings = Defaults();
    int activePage = CSheetOptions::kSwfPage;
    QtSettingsStore store;
    CloseSheetsLater();
    QTimer::singleShot(0, [&] {
        CSheetOptions* sheet = ModalSheet();
        if (!sheet) return ADD_FAILURE() << "no modal sheet";
        auto* tabs = sheet->findChild<QTabWidget*>();
        ChooseText(Find<QComboBox>(sheet, "frameRates"), "30");
        ChooseText(Find<QComboBox>(sheet, "controlTemplates"), "circle_gradient_1.swf");
        Find<QLineEdit>(sheet, "buttonColourHex")->setText("123456");
        Find<QCheckBox>(sheet, "loopPlay")->click();
        Type(Find<StepSpinButton>(sheet, "blankFrames"), "7");
        tabs->setCurrentIndex(CSheetOptions::kSoundPage);
        Choose(Find<QComboBox>(sheet, "encodingPresets"), 0x488);
        Find<QCheckBox>(sheet, "changeVolume")->click();
        Type(Find<StepSpinButton>(sheet, "coefficient"), "250");
        Find<QRadioButton>(sheet, "onlyConvert")->click();
        Type(Find<StepSpinButton>(sheet, "convertDuration"), "90000");
        tabs->setCurrentIndex(CSheetOptions::kOutputPage);
        Choose(Find<QComboBox>(sheet, "outputFolder"), kOutputCustomFolder);
        Find<QLineEdit>(sheet, "customFolder")->setText("/srv/swf/");
        Choose(Find<QComboBox>(sheet, "targetExists"), kTargetSkip);
        Find<QCheckBox>(sheet, "browseOutput")->click();
        Choose(Find<QComboBox>(sheet, "pageRuffle"), kPageRuffleFromWeb);
        sheet->accept();
    });
    ASSERT_TRUE(RunOptionsSheet(nullptr, settings, activePage, store, ProgramFolder()));
    EXPECT_EQ(activePage, CSheetOptions::kOutputPage);

    ConversionSettings expected = Defaults();
    expected.SWFFrameRate = 30;
    expected.ControlSWF = ProgramFolder() + "ControlSWF/circle_gradient_1.swf";
    expected.SWFBtnColor = 0x563412;
    expected.SWFLoopPlay = 1;
    expected.BlankFrames = 7;
    expected.AutoDestMP3EncodingParam = 0;
    expected.MP3BitRate = 64;
    expected.MP3SampleRate = 22050;
    expected.MP3ChannelNum = 1;
    expected.ChangeVolume = 1;
    expected.VolumeCoef = 250;
    expected.TrimLastType = 1;
    expected.ConvertDuration = 90000;
    expected.SWFOutputFolderOpt = kOutputCustomFolder;
    expected.SWFSpecifiedFolder = "/srv/swf/";
    expected.TargetExistsOpt = kTargetSkip;
    expected.BrowseOutFolder = 0;
    expected.PageRuffleOpt = kPageRuffleFromWeb;

    ConversionSettings loaded = Defaults();
    ColourFactors factors;
    LoadSettings(store, loaded, factors, ProgramFolder());
    for (const ConversionSettings* s : {&settings, &loaded}) {
        EXPECT_EQ(s->SWFFrameRate, expected.SWFFrameRate);
        EXPECT_EQ(s->ControlSWF, expected.ControlSWF);
        EXPECT_EQ(s->SWFBtnColor, expected.SWFBtnColor);
        EXPECT_EQ(s->SWFLoopPlay, expected.SWFLoopPlay);
        EXPECT_EQ(s->BlankFrames, expected.BlankFrames);
        EXPECT_EQ(s->AutoDestMP3EncodingParam, expected.AutoDestMP3EncodingParam);
        EXPECT_EQ(s->MP3BitRate, expected.MP3BitRate);
        EXPECT_EQ(s->MP3SampleRate, expected.MP3SampleRate);
        EXPECT_EQ(s->MP3ChannelNum, expected.MP3ChannelNum);
        EXPECT_EQ(s->ChangeVolume, expected.ChangeVolume);
        EXPECT_EQ(s->VolumeCoef, expected.VolumeCoef);
        EXPECT_EQ(s->TrimLastType, expected.TrimLastType);
        EXPECT_EQ(s->ConvertDuration, expected.ConvertDuration);
        EXPECT_EQ(s->SWFOutputFolderOpt, expected.SWFOutputFolderOpt);
        EXPECT_EQ(s->SWFSpecifiedFolder, expected.SWFSpecifiedFolder);
        EXPECT_EQ(s->TargetExistsOpt, expected.TargetExistsOpt);
        EXPECT_EQ(s->BrowseOutFolder, expected.BrowseOutFolder);
        EXPECT_EQ(s->PageRuffleOpt, expected.PageRuffleOpt);
        // Untouched values stay what they were.
        EXPECT_EQ(s->SWFInitPlay, 1);
        EXPECT_EQ(s->ShellPlayerSWF, expected.ShellPlayerSWF);
        EXPECT_EQ(s->SkipFirstMs, 0);
    }

    CSheetOptions again(loaded, activePage, ProgramFolder());
    EXPECT_EQ(again.ActivePage(), CSheetOptions::kOutputPage);
    EXPECT_EQ(Find<QComboBox>(&again, "frameRates")->currentData().toInt(), 30);
    EXPECT_EQ(Find<QComboBox>(&again, "controlTemplates")->currentText(), "circle_gradient_1.swf");
    EXPECT_EQ(Find<QLineEdit>(&again, "buttonColourHex")->text(), "123456");
    EXPECT_EQ(Find<QComboBox>(&again, "encodingPresets")->currentText(),
              "22050 Hz, 64 kbps, Mono (good quality, normal file size)");
    EXPECT_EQ(Find<StepSpinButton>(&again, "coefficient")->Value(), 250);
    EXPECT_TRUE(Find<StepSpinButton>(&again, "convertDuration")->isEnabled());
    EXPECT_FALSE(Find<StepSpinButton>(&again, "skipLast")->isEnabled());
    EXPECT_EQ(Find<QLineEdit>(&again, "customFolder")->text(), "/srv/swf/");
    EXPECT_EQ(Find<QComboBox>(&again, "targetExists")->currentData().toInt(), kTargetSkip);
    EXPECT_EQ(Find<QComboBox>(&again, "pageRuffle")->currentText(), "Ruffle from the web");
}

TEST_F(OptionsSheetTest, CancelKeepsMovedFactorsButSavesNothing) {
    ConversionSettings settings = Defaults();
    const ConversionSettings before = settings;
    int activePage = CSheetOptions::kSwfPage;
    QtSettingsStore store;
    CloseSheetsLater();
    QTimer::singleShot(0, [&] {
        CSheetOptions* sheet = ModalSheet();
        if (!sheet) return ADD_FAILURE() << "no modal sheet";
        Find<QSlider>(sheet, "darkFactor")->setValue(55);
        Find<QSlider>(sheet, "trackFactor")->setValue(320);
        Find<QMenu>(sheet, "presetsMenu")->actions().at(2)->trigger();  // Style 3
        Find<QLineEdit>(sheet, "buttonColourHex")->setText("FF");
        sheet->findChild<QTabWidget*>()->setCurrentIndex(CSheetOptions::kSoundPage);
        sheet->reject();
    });
    EXPECT_FALSE(RunOptionsSheet(nullptr, settings, activePage, store, ProgramFolder()));
    EXPECT_EQ(activePage, CSheetOptions::kSoundPage);
    EXPECT_FLOAT_EQ(ProcessColourFactors().GC[0], 0.70f);
    EXPECT_FLOAT_EQ(ProcessColourFactors().GC[2], 0.10f);
    EXPECT_FLOAT_EQ(ProcessColourFactors().GC[3], 0.10f);
    EXPECT_FLOAT_EQ(ProcessColourFactors().TBC, 3.20f);
    EXPECT_EQ(settings.SWFBtnColor, before.SWFBtnColor);
    EXPECT_FALSE(fs::exists(ConfigFile()));
}

// Without a Flash view (no Ruffle in the program folder) the sheet goes on
// without its preview: no preview file, no colour dialog, no template
// groups, and the values still go back on OK.
TEST_F(OptionsSheetTest, WithoutAViewTheSheetWorksWithoutItsPreview) {
    test::ScratchDir copy;
    const std::string program = copy.Path() + "/";
    for (const char* part : {"ControlSWF", "empty.swf", "sample.jpg", "Template.htm"})
        fs::copy(ProgramFolder() + part, program + part, fs::copy_options::recursive);
    ConversionSettings settings(program);
    settings.ControlSWF = program + "ControlSWF/track_bar.swf";
    int activePage = CSheetOptions::kSwfPage;
    QtSettingsStore store;
    bool dialogSeen = false;
    QTimer::singleShot(0, [&] {
        CSheetOptions* sheet = ModalSheet();
        ASSERT_NE(sheet, nullptr);
        auto* page = static_cast<CPageSWFOpt*>(sheet->PageAt(CSheetOptions::kSwfPage));
        EXPECT_EQ(page->Preview(), nullptr);
        EXPECT_FALSE(Find<QWidget>(sheet, "trackGroup")->isVisible());
        EXPECT_FALSE(Find<QWidget>(sheet, "gradientGroup")->isVisible());
        // A colour dialog would be answered here, and noted.
        QTimer::singleShot(0, [&] {
            if (auto* dialog = qobject_cast<QColorDialog*>(QApplication::activeModalWidget())) {
                dialogSeen = true;
                dialog->reject();
            }
        });
        Find<QAbstractButton>(sheet, "buttonColourSwatch")->click();
        Find<QLineEdit>(sheet, "buttonColourHex")->setText("FF");
        ChooseText(Find<QComboBox>(sheet, "controlTemplates"), "circle_gradient_1.swf");
        EXPECT_FALSE(Find<QWidget>(sheet, "gradientGroup")->isVisible());
        sheet->accept();
    });
    EXPECT_TRUE(RunOptionsSheet(nullptr, settings, activePage, store, program));
    EXPECT_FALSE(dialogSeen);
    EXPECT_EQ(settings.SWFBtnColor, 0x0000FFu);  // red, as 0x00BBGGRR
    EXPECT_EQ(settings.ControlSWF, program + "ControlSWF/circle_gradient_1.swf");
    EXPECT_TRUE(PreviewFiles(temp_.Path()).empty());
}

// The preview needs Ruffle in the program folder and a web view that can
// draw, which takes OpenGL.
TEST_F(OptionsSheetTest, PreviewShowsTheTemplateAsEditedFromOneTemporaryFile) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "Chromium inside libQt6WebEngineCore deletes with a mismatched size when a drawn page goes, "
                    "which AddressSanitizer aborts on";
#endif
    QOpenGLContext probe;
    if (!probe.create()) GTEST_SKIP() << "no OpenGL for the web view on platform " << qPrintable(qApp->platformName());
    ConversionSettings settings = Defaults();
    settings.ControlSWF = ProgramFolder() + "ControlSWF/track_bar.swf";
    auto sheet = std::make_unique<CSheetOptions>(settings, CSheetOptions::kSwfPage, ProgramFolder());
    auto* page = static_cast<CPageSWFOpt*>(sheet->PageAt(CSheetOptions::kSwfPage));
    ASSERT_NE(page->Preview(), nullptr) << "no Flash view";
    int loaded = 0;
    QObject::connect(page->Preview(), &FlashView::MovieLoaded, sheet.get(), [&] { ++loaded; });
    sheet->resize(700, 600);
    sheet->show();
    ASSERT_TRUE(WaitFor([&] { return loaded > 0; }));

    // Track templates show their colours and slider, gradient ones their
    // shading sliders and styles.
    auto* gradient = Find<QWidget>(sheet.get(), "gradientGroup");
    auto* track = Find<QWidget>(sheet.get(), "trackGroup");
    EXPECT_TRUE(track->isVisible());
    EXPECT_FALSE(gradient->isVisible());
    // Two changes in a row: the preview ends on the last of them.
    const std::string before = page->PreviewPath();
    ChooseText(Find<QComboBox>(sheet.get(), "controlTemplates"), "circle_gradient_1.swf");
    EXPECT_TRUE(gradient->isVisible());
    EXPECT_FALSE(track->isVisible());
    EXPECT_TRUE(Find<QAbstractButton>(sheet.get(), "presets")->isVisible());
    Find<QLineEdit>(sheet.get(), "buttonColourHex")->setText("FF0000");

    // The movie on screen is drawn in the new red.
    auto redShown = [&] {
        const QImage image = page->Preview()->grab().toImage();
        for (int y = 0; y < image.height(); y += 2) {
            for (int x = 0; x < image.width(); x += 2) {
                const QColor c = image.pixelColor(x, y);
                if (c.red() > 200 && c.green() < 60 && c.blue() < 60) return true;
            }
        }
        return false;
    };
    EXPECT_TRUE(WaitFor(redShown));
    const std::string shown = page->PreviewPath();
    EXPECT_NE(shown, before);
    EXPECT_EQ(PreviewFiles(temp_.Path()), std::vector<std::string>{fs::path(shown).filename().string()});

    sheet.reset();
    EXPECT_TRUE(PreviewFiles(temp_.Path()).empty());
}

}  // namespace
}  // namespace tembrel::app
