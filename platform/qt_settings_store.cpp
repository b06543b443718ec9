#include "platform/qt_settings_store.h"

#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QString>
#include <QVariant>

namespace tembrel {

namespace {

constexpr char kDwordPrefix[] = "dword:";
constexpr char kStringPrefix[] = "sz:";
constexpr char kBinaryPrefix[] = "hex:";

bool StartsWith(const std::string& text, const char* prefix, std::size_t& rest) {
    std::string p(prefix);
    if (text.compare(0, p.size(), p) != 0) return false;
    rest = p.size();
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// QSettings reads the file as soon as it is constructed, so the file is
// checked before: only a regular file is ever opened. A FIFO, a device or a
// folder under the name would block the open or make no sense as options.
bool IsReadableRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), R_OK) == 0;
}

// Writing rereads the file and takes "<file>.lock" first; both names must
// be free or hold regular files.
bool IsAbsentOrRegularFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return errno == ENOENT;
    return S_ISREG(st.st_mode);
}

std::unique_ptr<QSettings> OpenFile(const std::string& path) {
    return std::make_unique<QSettings>(QFile::decodeName(path.c_str()), QSettings::IniFormat);
}

}  // namespace

QtSettingsStore::QtSettingsStore(std::string organisation, std::string application)
    : organisation_(std::move(organisation)), application_(std::move(application)) {}

QtSettingsStore::~QtSettingsStore() { Close(); }

// The file the native format uses for a user-scope organisation and
// application on Linux, worked out here because asking a QSettings object
// would read the file first.
std::string QtSettingsStore::Location() const {
    QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (config.isEmpty()) return {};
    return QFile::encodeName(config).toStdString() + "/" + organisation_ + "/" + application_ + ".conf";
}

bool QtSettingsStore::OpenForReading() {
    Close();
    const std::string path = Location();
    // A missing file is a missing key; an unreadable, unparsable or irregular
    // one is treated the same, so the defaults stay in force.
    if (path.empty() || !IsReadableRegularFile(path)) return false;
    auto settings = OpenFile(path);
    if (settings->status() != QSettings::NoError) return false;
    settings_ = std::move(settings);
    writing_ = false;
    return true;
}

bool QtSettingsStore::OpenForWriting() {
    Close();
    const std::string path = Location();
    // Something other than a file under either name is left alone, and the
    // options are not saved: replacing it could destroy what someone put there.
    if (path.empty() || !IsAbsentOrRegularFile(path) || !IsAbsentOrRegularFile(path + ".lock")) return false;
    auto settings = OpenFile(path);
    // An unparsable file is no reason to refuse: writing replaces it with a
    // well-formed one, which is the only way out for the user.
    if (settings->status() == QSettings::AccessError || !settings->isWritable()) return false;
    settings_ = std::move(settings);
    writing_ = true;
    return true;
}

std::optional<StoredValue> QtSettingsStore::Get(const std::string& name) const {
    if (!settings_) return std::nullopt;
    QVariant value = settings_->value(QString::fromStdString(name));
    // Anything that is not a single text (a list, a byte array, a variant
    // written by another program) is not one of our values.
    if (value.typeId() != QMetaType::QString) return std::nullopt;
    return Decode(value.toString().toStdString());
}

void QtSettingsStore::Set(const std::string& name, const StoredValue& value) {
    if (!settings_ || !writing_) return;
    settings_->setValue(QString::fromStdString(name), QString::fromStdString(Encode(value)));
}

void QtSettingsStore::Close() {
    if (settings_ && writing_) settings_->sync();
    settings_.reset();
    writing_ = false;
}

std::string QtSettingsStore::Encode(const StoredValue& value) {
    static const char digits[] = "0123456789abcdef";
    switch (value.type) {
    case StoredType::Dword: {
        std::string text = kDwordPrefix;
        for (int shift = 28; shift >= 0; shift -= 4) text += digits[(value.dword >> shift) & 0xF];
        return text;
    }
    case StoredType::String:
        return kStringPrefix + value.text;
    case StoredType::Untagged:
        return value.text;
    case StoredType::Binary: {
        std::string text = kBinaryPrefix;
        for (std::uint8_t b : value.bytes) {
            text += digits[b >> 4];
            text += digits[b & 0xF];
        }
        return text;
    }
    }
    return {};
}

std::optional<StoredValue> QtSettingsStore::Decode(const std::string& text) {
    std::size_t at = 0;
    if (StartsWith(text, kStringPrefix, at)) return StoredValue::String(text.substr(at));
    if (StartsWith(text, kDwordPrefix, at)) {
        if (text.size() - at != 8) return std::nullopt;
        std::uint32_t v = 0;
        for (std::size_t i = at; i < text.size(); ++i) {
            int d = HexDigit(text[i]);
            if (d < 0) return std::nullopt;
            v = (v << 4) | static_cast<std::uint32_t>(d);
        }
        return StoredValue::Dword(v);
    }
    if (StartsWith(text, kBinaryPrefix, at)) {
        if ((text.size() - at) % 2 != 0) return std::nullopt;
        std::vector<std::uint8_t> bytes;
        for (std::size_t i = at; i < text.size(); i += 2) {
            int hi = HexDigit(text[i]), lo = HexDigit(text[i + 1]);
            if (hi < 0 || lo < 0) return std::nullopt;
            bytes.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
        }
        return StoredValue::Binary(std::move(bytes));
    }
    // Written by hand, without a type; malformed tagged text above is refused
    // rather than taken as text.
    return StoredValue::Untagged(text);
}

}  // namespace tembrel
