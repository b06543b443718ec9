#pragma once
// The program's Flash player: a web view running Ruffle from the program
// folder, served from our own loopback server. It shows the movie at an
// address, takes a background colour and a context-menu switch, and tells
// what Ruffle learns of the movie.
#include <memory>
#include <string>

#include <QString>
#include <QWidget>

#include "platform/program_folder.h"

class QWebEnginePage;
class QWebEngineProfile;
class QWebEngineView;

namespace tembrel::app {

class FlashViewServer;

// Call before the QApplication is made: shares OpenGL contexts as Qt
// WebEngine needs and, only when running as root, switches WebEngine's
// sandbox off (it refuses to start there otherwise), saying so once.
void PrepareWebEngine();

// The address LoadMovie takes for the file at `path`: each of the path's
// segments percent-encoded from its bytes, so that a "?", "#" or "%" in a
// name stays part of the name.
QString MovieAddressOfFile(const std::string& path);

class FlashView : public QWidget {
    Q_OBJECT
public:
    // nullptr when the view cannot be created: no QApplication, Ruffle's
    // files missing in programFolder, or no loopback port.
    static FlashView* Create(QWidget* parent, const std::string& programFolder = ProgramFolder());
    ~FlashView() override;

    // A file's MovieAddressOfFile, optionally followed by "?query" (a shell
    // player's parameters, kept as given). Replaces the movie shown before.
    void LoadMovie(const QString& address);
    // "#RRGGBB"; takes effect without reloading the movie. Other texts are
    // ignored.
    void SetBackgroundColor(const QString& rrggbb);
    // Ruffle's context menu.
    void SetMenuShown(bool shown);

    QWebEnginePage* PageForTesting() const;

signals:
    // From Ruffle's metadata of the movie just loaded.
    void MovieLoaded(int width, int height, double frameRate, int frameCount);

private:
    FlashView(QWidget* parent, std::unique_ptr<FlashViewServer> server);
    // Runs `script` in the page now or, before the page is in, once it is.
    void RunInPage(const QString& script);
    void PageLoaded(bool ok);

    std::unique_ptr<FlashViewServer> server_;
    QWebEngineProfile* profile_ = nullptr;
    QWebEnginePage* page_ = nullptr;
    QWebEngineView* view_ = nullptr;
    bool pageReady_ = false;
    QStringList pending_;
};

}  // namespace tembrel::app
