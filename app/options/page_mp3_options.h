#pragma once
// "Sound Options": encoding presets, bit and sample rate, channels, trimming
// and volume.
#include "app/options/options_page.h"

class QCheckBox;
class QComboBox;
class QRadioButton;

namespace tembrel::app {

class CPageMP3Opt : public OptionsPage {
    Q_OBJECT

public:
    explicit CPageMP3Opt(const ConversionSettings& settings, QWidget* parent = nullptr);
    bool Validate() override;
    bool Apply(ConversionSettings& settings) override;

private:
    void PresetChosen();
    void BitRateChosen();
    void SampleRateChosen();
    void ChannelChosen();
    void ShowCustom();
    void EnableManualChoices(bool enable);
    void EnableTrimEdits();
    static void Select(QComboBox* list, int data);

    std::int32_t bitRate_;
    std::int32_t sampleRate_;
    int channel_;  // 0 mono, 1 stereo
    std::int32_t storedCoefficient_;
    QComboBox* presets_;
    QComboBox* sampleRates_;
    QComboBox* bitRates_;
    QRadioButton* mono_;
    QRadioButton* stereo_;
    StepSpinButton* skipFirst_;
    QRadioButton* ignoreLast_;
    QRadioButton* onlyConvert_;
    StepSpinButton* skipLast_;
    StepSpinButton* convertDuration_;
    QCheckBox* changeVolume_;
    StepSpinButton* coefficient_;
};

}  // namespace tembrel::app
