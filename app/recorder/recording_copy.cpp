#include "app/recorder/recording_copy.h"

#include <fstream>

#include "platform/os_file.h"
#include "platform/output_placement.h"

namespace tembrel::app {

bool CopyRecording(const std::string& from, const std::string& to) {
    std::ifstream in(from, std::ios::binary);
    if (!in) return false;
    const std::string temp = CreateTempBeside(to, nullptr);
    if (temp.empty()) return false;
    bool copied = false;
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << in.rdbuf();
        out.flush();
        copied = out.good() && !in.bad();
    }
    if (copied && PlaceFile(temp, to, true, nullptr) == Placement::Placed) return true;
    DeleteFileAt(temp);
    return false;
}

}  // namespace tembrel::app
