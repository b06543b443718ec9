#include "app/recorder/wav_playback_device.h"

#include <algorithm>

#include "audio/wav_file_reader.h"

namespace tembrel::app {

WavPlaybackDevice::WavPlaybackDevice(QObject* parent) : QIODevice(parent) {}

WavPlaybackDevice::~WavPlaybackDevice() { close(); }

bool WavPlaybackDevice::OpenRecording(const std::string& path) {
    close();
    auto reader = std::make_unique<WavFileReader>();
    if (!reader->Open(path, 0)) return false;
    reader_ = std::move(reader);
    exhausted_ = false;
    return QIODevice::open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

int WavPlaybackDevice::Channels() const { return reader_ ? reader_->GetChannels() : 0; }
int WavPlaybackDevice::SampleRate() const { return reader_ ? reader_->GetSampleRate() : 0; }
int WavPlaybackDevice::BitsPerSample() const { return reader_ ? reader_->GetBitsPerSample() : 0; }

void WavPlaybackDevice::close() {
    if (reader_) reader_->Close();
    reader_.reset();
    exhausted_ = true;
    if (isOpen()) QIODevice::close();
}

qint64 WavPlaybackDevice::readData(char* data, qint64 maxSize) {
    if (!reader_ || exhausted_ || maxSize <= 0) return exhausted_ ? -1 : 0;
    // Whole sample frames only, so a short read never splits one.
    const int frame = std::max(1, Channels() * BitsPerSample() / 8);
    const qint64 wanted = maxSize - maxSize % frame;
    if (wanted == 0) return 0;
    const std::size_t got = reader_->ReadRaw(data, static_cast<std::size_t>(wanted));
    if (got == 0) {
        exhausted_ = true;
        return -1;
    }
    return static_cast<qint64>(got);
}

qint64 WavPlaybackDevice::writeData(const char*, qint64) { return -1; }

}  // namespace tembrel::app
