#include "app/recorder/recorder_dialog.h"

#include <utility>

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QAudioSource>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMediaDevices>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include "app/widgets/message_box.h"
#include "app/widgets/program_icon.h"
#include "app/recorder/level_meter_view.h"
#include "app/recorder/recording_copy.h"
#include "app/recorder/recording_profile.h"
#include "app/recorder/wav_playback_device.h"
#include "platform/os_file.h"
#include "platform/temp_files.h"
#include "recorder/recorder_texts.h"
#include "recorder/recording_quality.h"

namespace tembrel::app {

namespace {

constexpr int kTickMs = 1000;
// 25 readings a second: the meter follows speech without flicker.
constexpr int kMeterTickMs = 40;

RecorderDialog::SavePathHook& SavePathAnswer() {
    static RecorderDialog::SavePathHook hook;
    return hook;
}

QPushButton* Button(const char* text, const char* name, QWidget* parent) {
    auto* button = new QPushButton(QString::fromUtf8(text), parent);
    button->setObjectName(name);
    // Enter presses nothing in this dialog.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

QFont StatusFont() {
    QFont font("Tahoma");
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(18);
    font.setBold(true);
    return font;
}

}  // namespace

void RecorderDialog::SetSavePathHookForTesting(RecorderDialog::SavePathHook hook) { SavePathAnswer() = std::move(hook); }

RecorderDialog::RecorderDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Record");
    setWindowIcon(ProgramIcon());

    status_ = new QLabel(this);
    status_->setObjectName("status");
    status_->setFont(StatusFont());
    status_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QPalette palette = status_->palette();
    palette.setColor(QPalette::WindowText, QColor(204, 0, 0));
    status_->setPalette(palette);

    record_ = Button("&Record", "record", this);
    stopRecording_ = Button("&Stop Rec", "stopRecording", this);
    playPause_ = Button("&Play", "playPause", this);
    stop_ = Button("S&top", "stop", this);
    saveAs_ = Button("Save &As", "saveAs", this);
    convert_ = Button("&Convert to SWF", "convert", this);
    cancel_ = Button("Cancel", "cancel", this);

    quality_ = new QComboBox(this);
    quality_->setObjectName("quality");
    const int stored = LoadRecordingQuality();
    for (const RecordingQuality& preset : RecordingQualities())
        quality_->addItem(QString::fromUtf8(preset.text), preset.code);
    quality_->setCurrentIndex(quality_->findData(RecordingQualityFor(stored).code));
    auto* qualityLabel = new QLabel("Recording &quality:", this);
    qualityLabel->setBuddy(quality_);

    volumeSlider_ = new QSlider(Qt::Vertical, this);
    volumeSlider_->setObjectName("volume");
    volumeSlider_->setRange(0, kVolumeSliderMax);
    volumeSlider_->setTickInterval(kVolumeSliderStep);
    volumeSlider_->setPageStep(kVolumeSliderStep);
    volumeSlider_->setTickPosition(QSlider::TicksRight);
    // 0, the loudest, at the top.
    volumeSlider_->setInvertedAppearance(true);
    volumeSlider_->setInvertedControls(true);
    volumeSlider_->setValue(SliderPositionForVolume(volume_));

    auto* transport = new QHBoxLayout;
    for (QPushButton* button : {record_, stopRecording_, playPause_, stop_}) transport->addWidget(button);
    auto* qualityRow = new QHBoxLayout;
    qualityRow->addWidget(qualityLabel);
    qualityRow->addWidget(quality_, 1);
    auto* ending = new QHBoxLayout;
    ending->addStretch(1);
    for (QPushButton* button : {saveAs_, convert_, cancel_}) ending->addWidget(button);

    levelView_ = new LevelMeterView(this);
    levelView_->setObjectName("level");

    auto* grid = new QGridLayout(this);
    grid->addWidget(status_, 0, 0);
    grid->addLayout(transport, 1, 0);
    grid->addLayout(qualityRow, 2, 0);
    grid->addWidget(volumeSlider_, 0, 1, 3, 1);
    // The meter stands right of everything else, so nothing else moves.
    grid->addWidget(levelView_, 0, 2, 3, 1);
    grid->addLayout(ending, 3, 0, 1, 2);

    connect(record_, &QPushButton::clicked, this, &RecorderDialog::OnRecord);
    connect(stopRecording_, &QPushButton::clicked, this, &RecorderDialog::OnStopRecording);
    connect(playPause_, &QPushButton::clicked, this, &RecorderDialog::OnPlayPause);
    connect(stop_, &QPushButton::clicked, this, &RecorderDialog::OnStop);
    connect(saveAs_, &QPushButton::clicked, this, &RecorderDialog::OnSaveAs);
    connect(convert_, &QPushButton::clicked, this, &RecorderDialog::OnConvert);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(volumeSlider_, &QSlider::valueChanged, this, &RecorderDialog::OnVolumeMoved);
    connect(quality_, &QComboBox::currentIndexChanged, this, &RecorderDialog::OnQualityChosen);

    recordingTimer_.setInterval(kTickMs);
    playbackTimer_.setInterval(kTickMs);
    connect(&recordingTimer_, &QTimer::timeout, this, &RecorderDialog::OnRecordingTick);
    connect(&playbackTimer_, &QTimer::timeout, this, &RecorderDialog::OnPlaybackTick);
    meterTimer_.setInterval(kMeterTickMs);
    connect(&meterTimer_, &QTimer::timeout, this, &RecorderDialog::OnMeterTick);

    ShowState();
    // Without a device the dialog opens all the same; Record says why.
    OpenInput();
}

RecorderDialog::~RecorderDialog() {
    ShutDown();
    if (!tempPath_.empty()) DeleteFileAt(tempPath_);
}

void RecorderDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Escape:
        case Qt::Key_Return:
        case Qt::Key_Enter: event->accept(); return;
        default: QDialog::keyPressEvent(event);
    }
}

void RecorderDialog::done(int result) {
    ShutDown();
    QDialog::done(result);
}

void RecorderDialog::ShutDown() {
    if (shutDown_) return;
    shutDown_ = true;
    StopRecordingDevice();
    StopPlaybackDevice();
    CloseInput();
    SaveRecordingQuality(quality_->currentData().toInt());
}

bool RecorderDialog::HaveRecording() const { return lengthSeconds_ > 0 && !tempPath_.empty() && FileExists(tempPath_); }

void RecorderDialog::ShowState() {
    std::string text;
    switch (state_) {
        case RecorderState::Idle: text = ReadyStatus(lengthSeconds_); break;
        case RecorderState::Recording: text = RecordingStatus(recordingSeconds_); break;
        case RecorderState::Playing: text = PlayingStatus(playbackSeconds_, lengthSeconds_); break;
        case RecorderState::Paused: text = PausedStatus(playbackSeconds_, lengthSeconds_); break;
    }
    status_->setText(QString::fromStdString(text));
    status_->repaint();

    const RecorderButtons buttons = ButtonsFor(state_, lengthSeconds_);
    playPause_->setText(QString::fromUtf8(buttons.playPauseText));
    record_->setEnabled(buttons.record);
    stopRecording_->setEnabled(buttons.stopRecording);
    playPause_->setEnabled(buttons.playPause);
    stop_->setEnabled(buttons.stop);
    quality_->setEnabled(buttons.quality);
    saveAs_->setEnabled(buttons.saveAndConvert);
    convert_->setEnabled(buttons.saveAndConvert);
}

// Recording -------------------------------------------------------------

void RecorderDialog::OnRecord() {
    StopRecordingDevice();
    StopPlaybackDevice();
    if (lengthSeconds_ > 0 &&
        !ShowMessage(this, "Are you sure you want to abandon the previous recording sound then re-record?",
                     MessageIcon::Question))
        return;
    if (!StartRecording())
        ShowMessage(this, "Failed to record. Be sure sound card is installed in your computer.",
                    MessageIcon::Exclamation);
}

bool RecorderDialog::OpenInput() {
    if (shutDown_) return false;
    const int code = quality_->currentData().toInt();
    if (source_ && inputQuality_ == code) return true;
    CloseInput();
    const RecordingQuality& preset = RecordingQualityFor(code);
    QAudioFormat format;
    format.setSampleRate(preset.samplesPerSec);
    format.setChannelCount(preset.channels);
    format.setSampleFormat(QAudioFormat::Int16);

    const QAudioDevice device = QMediaDevices::defaultAudioInput();
    if (device.isNull()) return false;
    auto source = std::make_unique<QAudioSource>(device, format);
    // The source keeps Qt's own buffer size: given one (the preset's second,
    // or even a quarter of it) Qt's PulseAudio source drops stretches of the
    // sound. The preset's size still sizes the playback buffer.
    QIODevice* input = source->start();
    if (!input || source->error() != QAudio::NoError || source->state() == QAudio::StoppedState) return false;
    source_ = std::move(source);
    input_ = input;
    inputQuality_ = code;
    meter_.Reset(preset.channels, preset.samplesPerSec);
    OnMeterTick();
    meterTimer_.start();
    connect(source_.get(), &QAudioSource::stateChanged, this, &RecorderDialog::OnInputStateChanged);
    connect(input_, &QIODevice::readyRead, this, &RecorderDialog::OnInputReady);
    return true;
}

void RecorderDialog::CloseInput() {
    if (!source_) return;
    // Out of the members before it goes: whatever the event loop runs while
    // the source is destroyed finds no input.
    const std::unique_ptr<QAudioSource> source = std::move(source_);
    QIODevice* input = std::exchange(input_, nullptr);
    inputQuality_ = 0;
    source->disconnect(this);
    input->disconnect(this);
    source->stop();
    meterTimer_.stop();
    meter_.Reset(0, 1);
    levelView_->Show({});
}

void RecorderDialog::OnMeterTick() { levelView_->Show(meter_.Read()); }

void RecorderDialog::OnQualityChosen() {
    // The list is disabled while recording. The input follows the choice;
    // when it cannot, the next Record tries again and says why.
    if (state_ != RecorderState::Recording) OpenInput();
}

bool RecorderDialog::StartRecording() {
    if (!OpenInput()) return false;
    const RecordingQuality& preset = RecordingQualityFor(inputQuality_);
    bufferBytes_ = preset.bufferBytes;
    // What the input heard before the press is not part of the recording.
    OnInputReady();

    if (!tempPath_.empty()) DeleteFileAt(tempPath_);
    tempPath_ = CreateUniqueTempFile("TBQ");
    // A recording whose file cannot be made stays empty; nothing to save.
    if (!tempPath_.empty())
        writer_.Open(tempPath_, preset.channels == 2, kBitsPerRecordedSample, preset.samplesPerSec);

    state_ = RecorderState::Recording;
    recordedBytes_ = 0;
    recordedQuality_ = &preset;
    recordingSeconds_ = 0;
    ShowState();
    recordingTimer_.start();
    return true;
}

void RecorderDialog::OnInputReady() {
    if (!input_) return;
    // Read while idle too, so the device never backs up with sound no one
    // wants and the meter hears it; only a recording keeps it.
    const QByteArray bytes = input_->readAll();
    if (bytes.isEmpty()) return;
    meter_.Feed(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    if (state_ != RecorderState::Recording) return;
    writer_.Write(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    recordedBytes_ += bytes.size();
}

void RecorderDialog::OnInputStateChanged(QAudio::State) {
    if (!source_) return;
    if (source_->error() == QAudio::NoError || source_->error() == QAudio::UnderrunError) return;
    // The source is closed only once its own signal has returned.
    QMetaObject::invokeMethod(this, &RecorderDialog::OnInputFailed, Qt::QueuedConnection);
}

void RecorderDialog::OnInputFailed() {
    if (!source_ || source_->error() == QAudio::NoError || source_->error() == QAudio::UnderrunError) return;
    // The device gave up: keep what it delivered and say so; the next
    // Record opens it again.
    const bool recording = state_ == RecorderState::Recording;
    StopRecordingDevice();
    CloseInput();
    if (recording)
        ShowMessage(this, "Failed to record. Be sure sound card is installed in your computer.",
                    MessageIcon::Exclamation);
}

void RecorderDialog::OnStopRecording() { StopRecordingDevice(); }

void RecorderDialog::StopRecordingDevice() {
    if (state_ != RecorderState::Recording) return;
    // What the device has handed over so far belongs to the recording; the
    // input itself stays open for the next one.
    OnInputReady();
    state_ = RecorderState::Idle;
    FinishRecording();
}

void RecorderDialog::FinishRecording() {
    writer_.Close();
    lengthSeconds_ = recordedQuality_ ? RecordedSeconds(recordedBytes_, *recordedQuality_) : 0;
    recordingTimer_.stop();
    state_ = RecorderState::Idle;
    ShowState();
}

void RecorderDialog::OnRecordingTick() {
    if (state_ != RecorderState::Recording) return;
    ++recordingSeconds_;
    ShowState();
}

// Playback --------------------------------------------------------------

void RecorderDialog::OnPlayPause() {
    switch (state_) {
        case RecorderState::Playing:
            sink_->suspend();
            state_ = RecorderState::Paused;
            ShowState();
            return;
        case RecorderState::Paused:
            sink_->resume();
            state_ = RecorderState::Playing;
            ShowState();
            return;
        case RecorderState::Recording: return;
        case RecorderState::Idle: break;
    }
    if (tempPath_.empty()) return;
    if (!StartPlayback())
        ShowMessage(this, "Failed to play. Be sure your sound card works properly.", MessageIcon::Exclamation);
}

bool RecorderDialog::StartPlayback() {
    auto playback = std::make_unique<WavPlaybackDevice>();
    // A recording that cannot be read is not worth a message.
    if (!playback->OpenRecording(tempPath_)) return true;
    QAudioFormat format;
    format.setSampleRate(playback->SampleRate());
    format.setChannelCount(playback->Channels());
    format.setSampleFormat(playback->BitsPerSample() == 8 ? QAudioFormat::UInt8 : QAudioFormat::Int16);

    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull() || playback->Channels() < 1) return false;
    auto sink = std::make_unique<QAudioSink>(device, format);
    sink->setBufferSize(std::max(bufferBytes_, format.bytesForDuration(250000)));
    sink->setVolume(volume_ / 65535.0);
    sink->start(playback.get());
    // The sink goes before the device it reads from.
    if (sink->error() != QAudio::NoError || sink->state() == QAudio::StoppedState) {
        sink.reset();
        return false;
    }
    sink_ = std::move(sink);
    playback_ = std::move(playback);
    connect(sink_.get(), &QAudioSink::stateChanged, this, &RecorderDialog::OnOutputStateChanged);

    state_ = RecorderState::Playing;
    playbackSeconds_ = 0;
    ShowState();
    playbackTimer_.start();
    return true;
}

void RecorderDialog::OnOutputStateChanged(QAudio::State state) {
    if (!sink_) return;
    // The device is stopped and released only after its own signal has
    // returned: stopped from inside it, Qt's PulseAudio sink could crash
    // when it was destroyed later.
    const QAudio::Error error = sink_->error();
    if (error != QAudio::NoError && error != QAudio::UnderrunError) {
        QMetaObject::invokeMethod(this, [this] {
            if (state_ != RecorderState::Playing && state_ != RecorderState::Paused) return;
            StopPlaybackDevice();
            ShowMessage(this, "Failed to play. Be sure your sound card works properly.", MessageIcon::Exclamation);
        }, Qt::QueuedConnection);
        return;
    }
    // The end of the recording: the device has played all it was given.
    if (state_ == RecorderState::Playing && state == QAudio::IdleState && playback_->Exhausted())
        QMetaObject::invokeMethod(this, &RecorderDialog::StopPlaybackDevice, Qt::QueuedConnection);
}

void RecorderDialog::OnStop() { StopPlaybackDevice(); }

void RecorderDialog::StopPlaybackDevice() {
    if (state_ != RecorderState::Playing && state_ != RecorderState::Paused) return;
    state_ = RecorderState::Idle;
    FinishPlayback();
}

void RecorderDialog::FinishPlayback() {
    // Never called from inside the sink's own signals, so the sink goes at
    // once, before the device it reads from; both out of the members first,
    // as the input is.
    std::unique_ptr<QAudioSink> sink = std::move(sink_);
    std::unique_ptr<WavPlaybackDevice> playback = std::move(playback_);
    if (sink) {
        sink->disconnect(this);
        sink->stop();
        sink.reset();
    }
    if (playback) playback->close();
    playback.reset();
    playbackTimer_.stop();
    state_ = RecorderState::Idle;
    ShowState();
}

void RecorderDialog::OnPlaybackTick() {
    if (state_ != RecorderState::Playing || playbackSeconds_ >= lengthSeconds_) return;
    ++playbackSeconds_;
    ShowState();
}

void RecorderDialog::OnVolumeMoved(int position) {
    volume_ = VolumeForSliderPosition(position);
    if (sink_) sink_->setVolume(volume_ / 65535.0);
}

// Saving ----------------------------------------------------------------

QString RecorderDialog::AskSavePath() {
    if (SavePathAnswer()) return SavePathAnswer()(this);
    QFileDialog dialog(this, QString(), QString(), "WAV File (*.wav)");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix("wav");
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles().value(0);
}

void RecorderDialog::OnSaveAs() {
    if (!HaveRecording()) return;
    const QString path = AskSavePath();
    if (path.isEmpty()) return;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const bool saved = CopyRecording(tempPath_, QFile::encodeName(path).toStdString());
    QGuiApplication::restoreOverrideCursor();
    if (saved)
        ShowMessage(this, QString("Successfully save recorded file as '%1'.").arg(path), MessageIcon::Information);
    else
        ShowMessage(this, QString("Failed to save recorded file as '%1'.").arg(path), MessageIcon::Exclamation);
}

void RecorderDialog::OnConvert() {
    StopRecordingDevice();
    StopPlaybackDevice();
    if (!HaveRecording()) return;
    const QString path = AskSavePath();
    if (path.isEmpty()) return;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const std::string target = QFile::encodeName(path).toStdString();
    const bool saved = CopyRecording(tempPath_, target);
    QGuiApplication::restoreOverrideCursor();
    if (!saved) {
        ShowMessage(this, QString("Failed to save recorded file as '%1'.").arg(path), MessageIcon::Exclamation);
        return;
    }
    savedPath_ = target;
    accept();
}

std::optional<std::string> RunRecorderDialog(QWidget* parent) {
    RecorderDialog dialog(parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.SavedPath();
}

}  // namespace tembrel::app
