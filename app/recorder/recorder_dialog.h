#pragma once
// The Record dialog: records the default input into a temporary WAV file,
// plays it back, saves it, and hands a saved copy to the main window for
// conversion. Qt Multimedia's devices report on the dialog's own thread.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <QAudio>
#include <QDialog>
#include <QTimer>

#include "recorder/level_meter.h"
#include "recorder/recorder_state.h"
#include "recorder/recording_quality.h"
#include "recorder/wav_file_writer.h"

class QAudioSink;
class QAudioSource;
class QComboBox;
class QIODevice;
class QLabel;
class QPushButton;
class QSlider;

namespace tembrel::app {

class LevelMeterView;
class WavPlaybackDevice;

class RecorderDialog : public QDialog {
    Q_OBJECT
public:
    explicit RecorderDialog(QWidget* parent = nullptr);
    ~RecorderDialog() override;

    // Where the recording was saved when the dialog ended with Convert to SWF.
    const std::string& SavedPath() const { return savedPath_; }
    RecorderState State() const { return state_; }
    // The temporary recording ("" before the first one).
    const std::string& RecordingPath() const { return tempPath_; }
    int LengthSeconds() const { return lengthSeconds_; }

    // The save question: the chosen path, or empty for Cancel. Tests put an
    // answer in place of the file dialog; an empty hook restores it.
    using SavePathHook = std::function<QString(QWidget* parent)>;
    static void SetSavePathHookForTesting(SavePathHook hook);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void done(int result) override;

private:
    void OnRecord();
    void OnStopRecording();
    void OnPlayPause();
    void OnStop();
    void OnSaveAs();
    void OnConvert();
    void OnVolumeMoved(int position);
    void OnQualityChosen();
    void OnInputReady();
    void OnInputStateChanged(QAudio::State state);
    void OnInputFailed();
    void OnOutputStateChanged(QAudio::State state);
    void OnRecordingTick();
    void OnPlaybackTick();
    void OnMeterTick();

    // The input runs from the moment the dialog opens (and again whenever
    // another quality is chosen), and its sound is dropped until Record:
    // a device opened only at the press hands over its first sound late or
    // never, and the start of what the user says is lost.
    bool OpenInput();
    void CloseInput();
    bool StartRecording();
    bool StartPlayback();
    // State first, then the device: whatever the stopped device still hands
    // over is recognised as stale and dropped.
    void StopRecordingDevice();
    void StopPlaybackDevice();
    void FinishRecording();
    void FinishPlayback();
    void ShutDown();
    bool HaveRecording() const;
    QString AskSavePath();
    void ShowState();

    RecorderState state_ = RecorderState::Idle;
    WavFileWriter writer_;
    std::string tempPath_;
    std::string savedPath_;
    int bufferBytes_ = 0;
    // The quality the open input records in.
    int inputQuality_ = 0;
    // Bytes of sound written since Record, in the quality recorded: the
    // length is what the file holds, not how long the button was down.
    std::int64_t recordedBytes_ = 0;
    const RecordingQuality* recordedQuality_ = nullptr;
    int recordingSeconds_ = 0;
    int playbackSeconds_ = 0;
    int lengthSeconds_ = 0;
    int volume_ = 0xFFFF;
    bool shutDown_ = false;

    // The dialog alone owns its devices (none of them is a child QObject),
    // and each is stopped and destroyed once, at once: Qt's PulseAudio
    // devices run the event loop while they are destroyed, so a pending
    // deleteLater() or a parent's clean-up could destroy them a second time.
    std::unique_ptr<QAudioSource> source_;
    QIODevice* input_ = nullptr;  // the source's own
    std::unique_ptr<QAudioSink> sink_;
    std::unique_ptr<WavPlaybackDevice> playback_;
    QTimer recordingTimer_;
    QTimer playbackTimer_;
    // The input's level, measured from all it hands over, recording or
    // not, and shown while it is open.
    LevelMeter meter_;
    QTimer meterTimer_;

    QLabel* status_ = nullptr;
    QComboBox* quality_ = nullptr;
    QSlider* volumeSlider_ = nullptr;
    QPushButton* record_ = nullptr;
    QPushButton* stopRecording_ = nullptr;
    QPushButton* playPause_ = nullptr;
    QPushButton* stop_ = nullptr;
    QPushButton* saveAs_ = nullptr;
    QPushButton* convert_ = nullptr;
    QPushButton* cancel_ = nullptr;
    LevelMeterView* levelView_ = nullptr;
};

// Runs the recorder modally; the saved WAV's path when the user left it with
// Convert to SWF, else nothing.
std::optional<std::string> RunRecorderDialog(QWidget* parent);

}  // namespace tembrel::app
