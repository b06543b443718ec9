#pragma once
// The recording as a read-only QIODevice for QAudioSink's pull mode: the
// sink asks for sound on the thread that started it, and every byte comes
// from WavFileReader::ReadRaw.
#include <memory>
#include <string>

#include <QIODevice>

namespace tembrel {
class WavFileReader;
}

namespace tembrel::app {

class WavPlaybackDevice : public QIODevice {
    Q_OBJECT
public:
    explicit WavPlaybackDevice(QObject* parent = nullptr);
    ~WavPlaybackDevice() override;

    // Opens the file with the reader; false when it is not a WAV it reads.
    bool OpenRecording(const std::string& path);
    int Channels() const;
    int SampleRate() const;
    int BitsPerSample() const;
    // True once the reader has given all of its sound data.
    bool Exhausted() const { return exhausted_; }

    bool isSequential() const override { return true; }
    bool atEnd() const override { return exhausted_; }
    void close() override;

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 maxSize) override;

private:
    std::unique_ptr<WavFileReader> reader_;
    bool exhausted_ = false;
};

}  // namespace tembrel::app
