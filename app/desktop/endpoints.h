#pragma once
// Every web and mail address the program opens, in one place.

namespace tembrel::app {

inline constexpr char kHomepageUrl[] = "https://tembrel.org/";
inline constexpr char kHomepageHost[] = "tembrel.org";
inline constexpr char kSupportAddress[] = "support@tembrel.org";
// Asked with "?ver=3.0&build=968" by Check Latest Version.
inline constexpr char kUpdateCheckUrl[] = "https://tembrel.org/update/";
inline constexpr char kUpdateCheckQuery[] = "?ver=3.0&build=968";
// Where a Flash player for today's browsers comes from.
inline constexpr char kRuffleDownloadUrl[] = "https://ruffle.rs/#downloads";

inline constexpr char kTellAFriendSubject[] = "Tembrel CLV - very COOL application!!!";
inline constexpr char kTellAFriendBodyLead[] = "Download from ";

}  // namespace tembrel::app
