#pragma once
// The options key on top of QSettings: the INI file where the native format
// keeps user settings on Linux, <config>/Tembrel/Options.conf under
// $XDG_CONFIG_HOME (~/.config when unset), read at the time of each opening.
// Each value is written as text with a type prefix, as .reg exports write
// them ("dword:0000000c", "sz:...", "hex:0a1b..."), because the INI backend
// would otherwise read every number back as a string. Text without a prefix
// (a value written by hand) is handed over as StoredType::Untagged.
// Only a regular file is ever opened, so a FIFO or a device under the name
// cannot block the program.
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

    // Where the values live; empty when there is no configuration folder.
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
