#pragma once
// A settings store held in memory: for tests, and for runs that must not
// touch the user's configuration.
#include <map>
#include <vector>

#include "platform/settings_store.h"

namespace tembrel {

class MemorySettingsStore : public SettingsStore {
public:
    bool OpenForReading() override;
    bool OpenForWriting() override;
    std::optional<StoredValue> Get(const std::string& name) const override;
    void Set(const std::string& name, const StoredValue& value) override;
    void Close() override;

    // Whether the key exists (it comes into being at the first write session).
    bool exists = false;
    // Simulates a key that cannot be opened for writing.
    bool writable = true;
    std::map<std::string, StoredValue> values;
    int writeSessions = 0;
    // Names in the order they were asked for and written, newest last.
    mutable std::vector<std::string> readOrder;
    std::vector<std::string> writeOrder;

private:
    enum class Session { None, Reading, Writing } session_ = Session::None;
};

}  // namespace tembrel
