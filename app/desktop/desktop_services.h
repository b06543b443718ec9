#pragma once
// How the program hands things to the desktop: files to their default
// application, links to the browser or mail program, files to the file
// manager and pages to the text editor. Commands go through Desktop(), so
// that tests can put a recorder in its place.
#include <string>

class QUrl;

namespace tembrel::app {

class DesktopServices {
public:
    virtual ~DesktopServices() = default;
    // The file's default application (Play, Open HTML File, the help file).
    virtual bool OpenFile(const std::string& path);
    // A web or mailto: link.
    virtual bool OpenUrl(const QUrl& url);
    // The file manager with the file selected, else its folder opened. The
    // bus call is asynchronous and the helpers run detached: neither waits.
    virtual bool ShowInFileManager(const std::string& path);
    // The desktop's default text editor (the text/plain handler) on the
    // file, never through a shell command line; xdg-mime is asked without
    // waiting, and the editor starts when it answers.
    virtual bool OpenInTextEditor(const std::string& path);
};

DesktopServices& Desktop();
// Puts `services` in place of the desktop's; nullptr restores the real one.
void SetDesktopForTesting(DesktopServices* services);

// mailto: link to the support address; the Tell A Friend mail.
QUrl SupportMailUrl();
QUrl TellAFriendUrl();
QUrl UpdateCheckUrl();
QUrl HomepageUrl();

}  // namespace tembrel::app
