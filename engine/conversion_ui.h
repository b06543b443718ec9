#pragma once
// What a conversion shows to the user, as an interface the engine talks to.
// A front end (the window layer, the command-line converter, a test)
// implements it; the engine never touches a window itself. A run that gets
// no ConversionUi (a null pointer) is silent and cannot be cancelled.
#include <string>

namespace tembrel {

enum class MessageIcon { Information, Exclamation, Stop, Question };

// Every message box carries this caption.
inline constexpr char kMessageCaption[] = "Tembrel";

class ConversionUi {
public:
    virtual ~ConversionUi() = default;

    // Wait cursor for the whole run.
    virtual void BeginWait() {}
    virtual void EndWait() {}

    // The progress window: shown (main window disabled) with the overall bar
    // at 0 of fileCount, closed (main window enabled) at the end.
    virtual void OpenProgress(int fileCount) = 0;
    virtual void CloseProgress() = 0;

    // Overall half: "Converting %d of %d file(s) into SWF..." and one step
    // of the bar per file.
    virtual void SetOverallText(const std::string& text) = 0;
    virtual void StepOverall() = 0;

    // Per-file half: "Converting %s...%d%%" and the bar. The bar's range is
    // 0..FileBarWidth(), its width in pixels, so that moves can be throttled
    // to whole pixels.
    virtual void SetFileText(const std::string& text) = 0;
    virtual int FileBarWidth() const = 0;
    virtual void SetFileBarRange(int maximum) = 0;
    virtual void SetFileBarPosition(int position) = 0;

    // The file list: bring a row into view, set its "SWF" column (column 5).
    virtual void ShowRow(unsigned row) = 0;
    virtual void SetRowStatus(unsigned row, const std::string& text) = 0;

    // A message box with the caption kMessageCaption and an OK button.
    virtual void ShowMessage(const std::string& text, MessageIcon icon) = 0;

    // Lets the front end handle pending input (repaint, the Cancel button).
    // The engine reads CancelRequested() only right after pumping.
    virtual void PumpMessages() = 0;
    virtual bool CancelRequested() const = 0;

    // Opens the file manager with this file selected.
    virtual void ShowInFileManager(const std::string& path) = 0;
};

}  // namespace tembrel
