#include "platform/memory_settings_store.h"

namespace tembrel {

bool MemorySettingsStore::OpenForReading() {
    if (!exists) return false;
    session_ = Session::Reading;
    return true;
}

bool MemorySettingsStore::OpenForWriting() {
    if (!writable) return false;
    exists = true;
    ++writeSessions;
    session_ = Session::Writing;
    return true;
}

std::optional<StoredValue> MemorySettingsStore::Get(const std::string& name) const {
    if (session_ == Session::None) return std::nullopt;
    readOrder.push_back(name);
    auto it = values.find(name);
    if (it == values.end()) return std::nullopt;
    return it->second;
}

void MemorySettingsStore::Set(const std::string& name, const StoredValue& value) {
    if (session_ != Session::Writing) return;
    values[name] = value;
    writeOrder.push_back(name);
}

void MemorySettingsStore::Close() { session_ = Session::None; }

}  // namespace tembrel
