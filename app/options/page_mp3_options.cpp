#include "app/options/page_mp3_options.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>

#include "app/widgets/message_box.h"
#include "app/options/sound_presets.h"
#include "app/widgets/step_spin_button.h"

namespace tembrel::app {
namespace {

StepSpinButton* MillisecondEdit(QWidget* parent, const char* name, std::int32_t value) {
    auto* edit = new StepSpinButton(parent);
    edit->setObjectName(name);
    edit->SetRange(0, INT32_MAX);
    edit->SetStep(100);
    edit->SetValue(value);
    return edit;
}

}  // namespace

CPageMP3Opt::CPageMP3Opt(const ConversionSettings& s, QWidget* parent)
    : OptionsPage(parent),
      bitRate_(s.MP3BitRate),
      sampleRate_(s.MP3SampleRate),
      channel_(s.MP3ChannelNum == 1 ? 0 : 1),
      storedCoefficient_(s.VolumeCoef) {
    presets_ = new QComboBox(this);
    presets_->setObjectName("encodingPresets");
    for (const SoundPreset& p : SoundPresets()) presets_->addItem(p.text, p.code);
    sampleRates_ = new QComboBox(this);
    sampleRates_->setObjectName("sampleRates");
    for (std::int32_t r : kMp3SampleRates) sampleRates_->addItem(QString("%1 Hz").arg(r), r);
    bitRates_ = new QComboBox(this);
    bitRates_->setObjectName("bitRates");
    for (std::int32_t b : kMp3BitRates) bitRates_->addItem(QString("%1 kbps").arg(b), b);
    mono_ = new QRadioButton("&Mono", this);
    mono_->setObjectName("mono");
    stereo_ = new QRadioButton("Ste&reo", this);
    stereo_->setObjectName("stereo");
    auto* channels = new QButtonGroup(this);
    channels->addButton(mono_);
    channels->addButton(stereo_);

    skipFirst_ = MillisecondEdit(this, "skipFirst", s.SkipFirstMs);
    ignoreLast_ = new QRadioButton("Ignore the &last", this);
    ignoreLast_->setObjectName("ignoreLast");
    onlyConvert_ = new QRadioButton("Only convert", this);
    onlyConvert_->setObjectName("onlyConvert");
    auto* trim = new QButtonGroup(this);
    trim->addButton(ignoreLast_);
    trim->addButton(onlyConvert_);
    skipLast_ = MillisecondEdit(this, "skipLast", s.SkipLastMs);
    convertDuration_ = MillisecondEdit(this, "convertDuration", s.ConvertDuration);

    changeVolume_ = new QCheckBox("Change &volume", this);
    changeVolume_->setObjectName("changeVolume");
    coefficient_ = new StepSpinButton(this);
    coefficient_->setObjectName("coefficient");
    coefficient_->SetRange(kMinVolumeCoef, kMaxVolumeCoef);
    coefficient_->SetStep(10);
    coefficient_->SetValue(s.VolumeCoef);

    auto* grid = new QGridLayout(this);
    auto* encodingLabel = new QLabel("&Encoding options:", this);
    encodingLabel->setBuddy(presets_);
    grid->addWidget(encodingLabel, 0, 0);
    grid->addWidget(presets_, 0, 1, 1, 3);
    auto* rateLabel = new QLabel("&Sample frequency:", this);
    rateLabel->setBuddy(sampleRates_);
    grid->addWidget(rateLabel, 1, 0);
    grid->addWidget(sampleRates_, 1, 1);
    auto* bitLabel = new QLabel("&Bit rate:", this);
    bitLabel->setBuddy(bitRates_);
    grid->addWidget(bitLabel, 1, 2);
    grid->addWidget(bitRates_, 1, 3);
    grid->addWidget(mono_, 2, 1);
    grid->addWidget(stereo_, 2, 2);

    auto* skipLabel = new QLabel("Skip the &first", this);
    skipLabel->setBuddy(skipFirst_);
    grid->addWidget(skipLabel, 3, 0);
    grid->addWidget(skipFirst_, 3, 1);
    grid->addWidget(new QLabel("ms", this), 3, 2);
    grid->addWidget(ignoreLast_, 4, 0);
    grid->addWidget(skipLast_, 4, 1);
    grid->addWidget(new QLabel("ms", this), 4, 2);
    grid->addWidget(onlyConvert_, 5, 0);
    grid->addWidget(convertDuration_, 5, 1);
    grid->addWidget(new QLabel("ms", this), 5, 2);

    grid->addWidget(changeVolume_, 6, 0);
    auto* coefLabel = new QLabel("&Coefficient:", this);
    coefLabel->setBuddy(coefficient_);
    grid->addWidget(coefLabel, 7, 0);
    grid->addWidget(coefficient_, 7, 1);
    grid->addWidget(new QLabel("%", this), 7, 2);
    grid->setRowStretch(8, 1);

    const bool automatic = s.AutoDestMP3EncodingParam != 0;
    Select(presets_, PresetCodeFor(automatic, s.MP3BitRate, s.MP3SampleRate, s.MP3ChannelNum));
    Select(sampleRates_, s.MP3SampleRate);
    Select(bitRates_, s.MP3BitRate);
    (channel_ == 0 ? mono_ : stereo_)->setChecked(true);
    EnableManualChoices(!automatic);
    (s.TrimLastType == 1 ? onlyConvert_ : ignoreLast_)->setChecked(true);
    EnableTrimEdits();
    changeVolume_->setChecked(s.ChangeVolume != 0);
    coefficient_->setEnabled(changeVolume_->isChecked());

    // activated and clicked come from the user only, not from the settings
    // put in above.
    connect(presets_, &QComboBox::activated, this, &CPageMP3Opt::PresetChosen);
    connect(bitRates_, &QComboBox::activated, this, &CPageMP3Opt::BitRateChosen);
    connect(sampleRates_, &QComboBox::activated, this, &CPageMP3Opt::SampleRateChosen);
    connect(mono_, &QRadioButton::clicked, this, &CPageMP3Opt::ChannelChosen);
    connect(stereo_, &QRadioButton::clicked, this, &CPageMP3Opt::ChannelChosen);
    connect(ignoreLast_, &QRadioButton::clicked, this, [this] {
        EnableTrimEdits();
        skipLast_->setFocus();
    });
    connect(onlyConvert_, &QRadioButton::clicked, this, [this] {
        EnableTrimEdits();
        convertDuration_->setFocus();
    });
    connect(changeVolume_, &QCheckBox::clicked, this, [this](bool on) {
        coefficient_->setEnabled(on);
        coefficient_->setFocus();
    });
}

void CPageMP3Opt::Select(QComboBox* list, int data) {
    const int i = list->findData(data);
    list->setCurrentIndex(i < 0 ? 0 : i);
}

void CPageMP3Opt::EnableManualChoices(bool enable) {
    for (QWidget* w : {static_cast<QWidget*>(sampleRates_), static_cast<QWidget*>(bitRates_),
                       static_cast<QWidget*>(mono_), static_cast<QWidget*>(stereo_)})
        w->setEnabled(enable);
}

void CPageMP3Opt::EnableTrimEdits() {
    const bool onlyConvert = onlyConvert_->isChecked();
    skipLast_->setEnabled(!onlyConvert);
    convertDuration_->setEnabled(onlyConvert);
}

void CPageMP3Opt::ShowCustom() { Select(presets_, kPresetCustom); }

void CPageMP3Opt::PresetChosen() {
    const int code = presets_->currentData().toInt();
    EnableManualChoices(code != kPresetAuto);
    for (const SoundPreset& p : SoundPresets()) {
        if (p.code != code || p.bitRate == 0) continue;
        bitRate_ = p.bitRate;
        sampleRate_ = p.sampleRate;
        channel_ = p.channels - 1;
        Select(bitRates_, bitRate_);
        Select(sampleRates_, sampleRate_);
        (channel_ == 0 ? mono_ : stereo_)->setChecked(true);
    }
}

void CPageMP3Opt::BitRateChosen() {
    const std::int32_t b = bitRates_->currentData().toInt();
    if (b == bitRate_) return;
    sampleRate_ = SampleRateForBitRate(b, sampleRates_->currentData().toInt());
    bitRate_ = b;
    Select(sampleRates_, sampleRate_);
    ShowCustom();
}

void CPageMP3Opt::SampleRateChosen() {
    const std::int32_t r = sampleRates_->currentData().toInt();
    if (r == sampleRate_) return;
    bitRate_ = BitRateForSampleRate(r, bitRates_->currentData().toInt());
    sampleRate_ = r;
    Select(bitRates_, bitRate_);
    ShowCustom();
}

void CPageMP3Opt::ChannelChosen() {
    const int channel = stereo_->isChecked() ? 1 : 0;
    if (channel == channel_) return;
    channel_ = channel;
    ShowCustom();
}

bool CPageMP3Opt::Validate() {
    std::int32_t v = 0;
    for (StepSpinButton* edit : {skipFirst_, skipLast_, convertDuration_}) {
        if (!ReadNumber(edit, v)) return false;
    }
    if (!changeVolume_->isChecked()) return true;
    const std::optional<std::int32_t> coefficient = coefficient_->Value();
    if (!coefficient) return ReadNumber(coefficient_, v);
    if (*coefficient < kMinVolumeCoef || *coefficient > kMaxVolumeCoef) {
        ShowMessage(window(), "Invalid coefficient. It must be betwen 10 and 3000.", MessageIcon::Exclamation);
        coefficient_->setFocus();
        coefficient_->selectAll();
        return false;
    }
    return true;
}

bool CPageMP3Opt::Apply(ConversionSettings& s) {
    if (!Validate()) return false;
    // The lists' values are stored with Auto too: what the sheet shows is
    // what it keeps, never a preset chosen before Auto.
    s.AutoDestMP3EncodingParam = presets_->currentData().toInt() == kPresetAuto ? 1 : 0;
    s.MP3BitRate = bitRates_->currentData().toInt();
    s.MP3SampleRate = sampleRates_->currentData().toInt();
    s.MP3ChannelNum = (stereo_->isChecked() ? 1 : 0) + 1;
    s.ChangeVolume = changeVolume_->isChecked() ? 1 : 0;
    // An unused coefficient left out of range would be dropped at the next
    // start anyway; keep the one that was stored.
    const std::optional<std::int32_t> coefficient = coefficient_->Value();
    s.VolumeCoef = coefficient && *coefficient >= kMinVolumeCoef && *coefficient <= kMaxVolumeCoef
                       ? *coefficient
                       : storedCoefficient_;
    s.SkipFirstMs = *skipFirst_->Value();
    s.SkipLastMs = *skipLast_->Value();
    s.ConvertDuration = *convertDuration_->Value();
    s.TrimLastType = onlyConvert_->isChecked() ? 1 : 0;
    return true;
}

}  // namespace tembrel::app
