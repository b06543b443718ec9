#pragma once
// "SWF Options": frame rate, kind of SWF, template, colours and the option
// groups of the chosen template, with a live preview of the template.
#include <functional>
#include <memory>
#include <string>

#include <QString>

#include "app/options/options_page.h"
#include "engine/colour_factors.h"

class QBoxLayout;
class QCheckBox;
class QComboBox;
class QLabel;
class QLayout;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QSlider;
class QTimer;

namespace tembrel::app {

class ColourSwatch;
class FlashView;
class PreviewBuilder;

class CPageSWFOpt : public OptionsPage {
    Q_OBJECT

public:
    // Templates are listed from programFolder + "ControlSWF/" and
    // "ControlSWF/ShellPlayer/". GC and TBC are edited in factors directly.
    CPageSWFOpt(const ConversionSettings& settings, const std::string& programFolder,
                QWidget* parent = nullptr, ColourFactors& factors = ProcessColourFactors());
    ~CPageSWFOpt() override;

    bool Validate() override;
    bool Apply(ConversionSettings& settings) override;

    // The preview; null when no Flash view could be made.
    FlashView* Preview() const { return view_; }
    // Path of the movie the preview shows now ("" when none).
    const std::string& PreviewPath() const;

    // Opens a help page at an anchor; the default opens the page from the
    // program folder's help/ with the desktop.
    using HelpHook = std::function<void(const QString& page, const QString& anchor)>;
    static void SetHelpHook(HelpHook hook);

private:
    enum ColourSlot { kButton, kBackground, kTop, kBottom, kBorder, kColourSlots };

    QWidget* BuildTypeArea();
    QWidget* BuildGradientGroup();
    QWidget* BuildTrackGroup();
    QWidget* BuildPictureGroup();
    QWidget* ColourRow(ColourSlot slot, const QString& label);
    void FillTemplates(QComboBox* list, const std::string& folder, const std::string& chosen);

    int SwfType() const;  // 0 controllable, 1 no interface
    bool EventSound() const;
    QComboBox* CurrentTemplates() const;
    int CurrentKind() const;
    void ShowTypeControls();
    void UpdateGroups();
    void EnableBlankFrames();
    void TypeChosen();
    void PlayerChosen();
    void ChooseColour(ColourSlot slot);
    void HexEdited(ColourSlot slot);
    void SliderMoved(QSlider* slider, float& factor, QLabel* text);
    void ApplyStyle(int dark, int light, int lighter);
    void BrowsePicture();
    void KeepOneSizeForEveryGroup(QLayout* upper, QBoxLayout* lower);
    void PictureSizeEdited();
    void RebuildPreview();
    void PreviewBuilt();
    void PreviewFailed(const QString& message);
    void PreviewLoaded();

    ConversionSettings s_;
    ColourFactors& factors_;
    std::string programFolder_;
    bool initialised_ = false;
    FlashView* view_ = nullptr;
    QWidget* previewArea_ = nullptr;
    // Builds off the GUI thread, as a large picture takes seconds.
    std::unique_ptr<PreviewBuilder> builder_;
    // The view drops a movie asked for while another is still loading, so
    // a rebuild waits for the movie before it (or for the guard to run out).
    bool previewLoading_ = false;
    bool rebuildPending_ = false;
    QTimer* loadGuard_ = nullptr;

    QComboBox* frameRates_;
    QRadioButton* controllable_;
    QRadioButton* noInterface_;
    QWidget* playerChoice_;
    QRadioButton* single_;
    QRadioButton* withShell_;
    QWidget* soundChoice_;
    QRadioButton* streaming_;
    QRadioButton* event_;
    QCheckBox* initPlay_;
    QCheckBox* loopPlay_;
    QCheckBox* createHtml_;
    QCheckBox* addFileName_;
    StepSpinButton* blankFrames_;
    QPushButton* blankHelp_;
    QComboBox* templates_[2];
    int currentList_ = 0;
    ColourSwatch* swatches_[kColourSlots] = {};
    QLineEdit* hexEdits_[kColourSlots] = {};
    ColourRef* colours_[kColourSlots] = {};

    QLabel* groupLabel_;
    QWidget* gradientGroup_;
    QWidget* trackGroup_;
    QWidget* pictureGroup_;
    QSlider* dark_;
    QSlider* light_;
    QSlider* lighter_;
    QSlider* track_;
    QLabel* darkText_;
    QLabel* lightText_;
    QLabel* lighterText_;
    QLabel* trackText_;
    QPushButton* presets_;
    QMenu* presetsMenu_;
    QLineEdit* jpegFile_;
    StepSpinButton* jpegWidth_;
    StepSpinButton* jpegHeight_;
};

}  // namespace tembrel::app
