#include "platform/qt_settings_store.h"

#include <QFileInfo>
#include <QSettings>
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

std::unique_ptr<QSettings> OpenNative(const std::string& organisation, const std::string& application) {
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QString::fromStdString(organisation),
                                       QString::fromStdString(application));
}

}  // namespace

QtSettingsStore::QtSettingsStore(std::string organisation, std::string application)
    : organisation_(std::move(organisation)), application_(std::move(application)) {}

QtSettingsStore::~QtSettingsStore() { Close(); }

std::string QtSettingsStore::Location() const {
    return OpenNative(organisation_, application_)->fileName().toStdString();
}

bool QtSettingsStore::OpenForReading() {
    Close();
    auto settings = OpenNative(organisation_, application_);
    QFileInfo file(settings->fileName());
    // A missing file is a missing key; an unreadable or unparsable one is
    // treated the same, so the defaults stay in force.
    if (!file.exists() || !file.isReadable() || settings->status() != QSettings::NoError) return false;
    settings_ = std::move(settings);
    writing_ = false;
    return true;
}

bool QtSettingsStore::OpenForWriting() {
    Close();
    auto settings = OpenNative(organisation_, application_);
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
    return std::nullopt;
}

}  // namespace tembrel
