#include "cli/terminal_ui.h"

#include <csignal>
#include <cstdio>

#include "cli/json_text.h"
#include "engine/conversion_driver.h"
#include "platform/file_manager.h"

namespace tembrel::cli {
namespace {

// The signal that asked for Cancel; 0 while none has.
volatile std::sig_atomic_t g_interrupted = 0;

void OnInterrupt(int signal) {
    if (g_interrupted == 0) g_interrupted = signal;
}

std::string Bar(int position, int maximum, int width) {
    if (maximum <= 0) maximum = 1;
    if (position < 0) position = 0;
    if (position > maximum) position = maximum;
    const int filled = static_cast<int>(static_cast<long long>(position) * width / maximum);
    return "[" + std::string(filled, '#') + std::string(width - filled, '-') + "]";
}

const char* IconWord(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Information: return "note";
        case MessageIcon::Exclamation: return "warning";
        case MessageIcon::Stop: return "error";
        case MessageIcon::Question: return "question";
    }
    return "note";
}

}  // namespace

void InstallCancelOnInterrupt() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;  // a second signal ends the program
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    struct sigaction hangUp {};
    if (sigaction(SIGHUP, nullptr, &hangUp) == 0 && hangUp.sa_handler != SIG_IGN) sigaction(SIGHUP, &action, nullptr);
    // A reader gone away (`| head`) cancels as a kill does. Every later
    // write to that pipe raises it again, so it stays caught: those writes
    // fail with EPIPE instead of ending the program before its cleanup.
    struct sigaction pipeClosed = action;
    pipeClosed.sa_flags = 0;
    sigaction(SIGPIPE, &pipeClosed, nullptr);
}

bool InterruptRequested() { return g_interrupted != 0; }

int InterruptSignal() { return g_interrupted; }

TerminalConversionUi::TerminalConversionUi(const std::vector<SourceFileEntry*>& entries, bool interactiveTerminal,
                                           bool quiet, bool browse)
    : entries_(entries), tty_(interactiveTerminal), quiet_(quiet), browse_(browse), statuses_(entries.size()),
      reasons_(entries.size()) {}

void TerminalConversionUi::ClearLine() {
    if (drawn_) {
        std::fputs("\r\033[K", stderr);
        drawn_ = false;
    }
}

void TerminalConversionUi::Redraw() {
    if (!tty_) return;
    std::fprintf(stderr, "\r\033[K%s %d/%d %s %s", Bar(overallPos_, overallMax_, 20).c_str(), overallPos_,
                 overallMax_, Bar(filePos_, fileMax_, kBarWidth).c_str(), fileText_.c_str());
    std::fflush(stderr);
    drawn_ = true;
}

void TerminalConversionUi::SetFileText(const std::string& text) {
    fileText_ = text;
    Redraw();
}

void TerminalConversionUi::SetFileRange(int maximum) { fileMax_ = maximum; }

void TerminalConversionUi::SetFilePosition(int position) {
    filePos_ = position;
    Redraw();
}

void TerminalConversionUi::SetOverallText(const std::string& text) {
    overallText_ = text;
    if (!tty_ && !quiet_) std::fprintf(stderr, "%s\n", text.c_str());
}

void TerminalConversionUi::SetOverallRange(int maximum) { overallMax_ = maximum; }

void TerminalConversionUi::SetOverallPosition(int position) {
    overallPos_ = position;
    Redraw();
}

void TerminalConversionUi::SetRowStatus(int row, const std::string& text) {
    if (row < 0 || row >= static_cast<int>(statuses_.size())) return;
    statuses_[row] = text;
    if (text == kStatusConverting || quiet_) return;
    ClearLine();
    const SourceFileEntry& entry = *entries_[row];
    if (!entry.outputSwfPath.empty()) {
        std::printf("%s\n  SWF:    %s\n", entry.sourcePath.c_str(), entry.outputSwfPath.c_str());
        if (!entry.playerSwfPath.empty()) std::printf("  player: %s\n", entry.playerSwfPath.c_str());
        if (!entry.htmlPath.empty()) std::printf("  page:   %s\n", entry.htmlPath.c_str());
    } else {
        std::printf("%s\n  %s\n", entry.sourcePath.c_str(), text.c_str());
    }
    std::fflush(stdout);
    Redraw();
}

void TerminalConversionUi::SetRowReason(int row, const std::string& reason) {
    if (row < 0 || row >= static_cast<int>(reasons_.size()) || reason.empty()) return;
    reasons_[row] = reason;
    ClearLine();
    std::fprintf(stderr, "%s: %s\n", entries_[row]->sourcePath.c_str(), reason.c_str());
    Redraw();
}

bool TerminalConversionUi::AnyReason() const {
    for (const std::string& reason : reasons_)
        if (!reason.empty()) return true;
    return false;
}

std::string TerminalConversionUi::JsonLines() const {
    std::string lines;
    for (std::size_t row = 0; row < entries_.size(); ++row) {
        const SourceFileEntry& e = *entries_[row];
        lines += JsonLine(e.sourcePath, statuses_[row], e.outputSwfPath, e.htmlPath, e.playerSwfPath, reasons_[row]);
    }
    return lines;
}

bool TerminalConversionUi::ShowMessage(const std::string& text, MessageIcon icon) {
    ClearLine();
    std::fprintf(stderr, "%s: %s: %s\n", kCaption, IconWord(icon), text.c_str());
    return true;
}

bool TerminalConversionUi::PumpMessages() { return InterruptRequested(); }

void TerminalConversionUi::ShowInFileManager(const std::string& path) {
    if (browse_) tembrel::ShowInFileManager(path);
}

void TerminalConversionUi::EndRun() { ClearLine(); }

void TerminalListUi::SetProgressText(const std::string& text) {
    if (!tty_) return;
    std::fprintf(stderr, "\r\033[K%s", text.c_str());
    std::fflush(stderr);
    drawn_ = true;
}

void TerminalListUi::CloseProgress() {
    if (drawn_) std::fputs("\r\033[K", stderr);
    drawn_ = false;
}

void TerminalListUi::ShowMessage(const std::string& text, MessageIcon icon) {
    CloseProgress();
    std::fprintf(stderr, "%s: %s: %s\n", kCaption, IconWord(icon), text.c_str());
}

}  // namespace tembrel::cli
