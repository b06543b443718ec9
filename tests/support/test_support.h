#pragma once
// Small helpers shared by the test programs: scratch folders, whole-file
// reads and running the independent command-line tools.
#include <cstdint>
#include <string>
#include <vector>

namespace tembrel::test {

// A fresh, empty folder for one test, removed when the object goes.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

std::vector<std::uint8_t> ReadAll(const std::string& path);
void WriteAll(const std::string& path, const std::vector<std::uint8_t>& bytes);

// Runs a shell command; returns its exit status and fills `output` with what
// it printed on standard output.
int RunCommand(const std::string& command, std::string* output = nullptr);
// True when `tool` is on PATH.
bool HaveTool(const std::string& tool);
// Quotes a path for the shell.
std::string ShellQuote(const std::string& text);

}  // namespace tembrel::test
