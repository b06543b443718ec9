#pragma once
// The recording quality kept between runs in the program's profile:
// ~/.config/Tembrel/tembrel.ini, group "Options", key "RecQuality".

namespace tembrel::app {

// The stored value as it is (300 when there is none); the caller decides
// what an unknown value means.
int LoadRecordingQuality();
void SaveRecordingQuality(int code);

}  // namespace tembrel::app
