#pragma once
// The options key on top of QSettings in the platform's native format: on
// Linux the file <config>/Tembrel/Options.conf under $XDG_CONFIG_HOME.
// Each value is kept as text with a type prefix, as .reg exports write them
// ("dword:0000000c", "sz:...", "hex:0a1b..."), because the INI backend would
// otherwise read every number back as a string.
#include <memory>
#include <string>

#include "platform/settings_store.h"

class QSettings;

namespace tembrel {

class QtSettingsStore : public SettingsStore {
public:
    QtSettingsStore(std::string organisation = "Tembrel", std::string application = "Options");
    ~QtSettingsStore() override;

    bool OpenForReading() override;
    bool OpenForWriting() override;
    std::optional<StoredValue> Get(const std::string& name) const override;
    void Set(const std::string& name, const StoredValue& value) override;
    void Close() override;

    // Where the values live (the file for the native format on Linux).
    std::string Location() const;

    static std::string Encode(const StoredValue& value);
    static std::optional<StoredValue> Decode(const std::string& text);

private:
    std::string organisation_;
    std::string application_;
    std::unique_ptr<QSettings> settings_;
    bool writing_ = false;
};

}  // namespace tembrel
