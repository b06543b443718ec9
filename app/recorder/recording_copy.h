#pragma once
// Saving a recording where the user chose: the copy is written beside the
// target and renamed over it only when complete, so a failed save never
// leaves the file that stood there half overwritten.
#include <string>

namespace tembrel::app {

bool CopyRecording(const std::string& from, const std::string& to);

}  // namespace tembrel::app
