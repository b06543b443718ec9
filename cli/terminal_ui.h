#pragma once
// The terminal as a front end: progress bars on a terminal, plain lines
// otherwise, per-file outcomes on standard output, Ctrl-C as Cancel.
#include <cstdio>
#include <string>
#include <vector>

#include "audio/source_file_entry.h"
#include "audio/source_list_ui.h"
#include "engine/conversion_ui.h"

namespace tembrel::cli {

// Messages carry the program's name as the message boxes do.
inline constexpr char kCaption[] = "Tembrel";

// Makes the first Ctrl-C, SIGTERM, SIGHUP or SIGPIPE ask for Cancel, so that
// a run ends as a cancelled one (temporary files removed); a second Ctrl-C,
// SIGTERM or SIGHUP ends the program. A hang-up ignored from the start
// (nohup) stays ignored.
void InstallCancelOnInterrupt();
bool InterruptRequested();
// The signal that asked for Cancel (0: none), for the exit status 128 + it.
int InterruptSignal();

class TerminalConversionUi : public ConversionUi {
public:
    // entries[row] is the file a row stands for. quiet: no per-file lines
    // (JSON goes out at the end instead).
    TerminalConversionUi(const std::vector<SourceFileEntry*>& entries, bool interactiveTerminal, bool quiet,
                         bool browse);

    void SetFileText(const std::string& text) override;
    int FileBarWidth() const override { return kBarWidth; }
    void SetFileRange(int maximum) override;
    void SetFilePosition(int position) override;
    void SetOverallText(const std::string& text) override;
    void SetOverallRange(int maximum) override;
    void SetOverallPosition(int position) override;
    void SetRowStatus(int row, const std::string& text) override;
    // Kept for the JSON line and shown on standard error as "source: reason".
    void SetRowReason(int row, const std::string& reason) override;
    bool ShowMessage(const std::string& text, MessageIcon icon) override;
    bool PumpMessages() override;
    void ShowInFileManager(const std::string& path) override;
    void EndRun() override;

    // The last status text each row received ("" when it was never reached).
    const std::vector<std::string>& Statuses() const { return statuses_; }
    // The reason each row received ("" when none).
    const std::vector<std::string>& Reasons() const { return reasons_; }
    bool AnyReason() const;
    // One --json line per row, in row order.
    std::string JsonLines() const;

private:
    static constexpr int kBarWidth = 30;
    void Redraw();
    void ClearLine();

    const std::vector<SourceFileEntry*>& entries_;
    bool tty_;
    bool quiet_;
    bool browse_;
    std::vector<std::string> statuses_;
    std::vector<std::string> reasons_;
    std::string fileText_, overallText_;
    int fileMax_ = kBarWidth, filePos_ = 0, overallMax_ = 1, overallPos_ = 0;
    bool drawn_ = false;
};

class TerminalListUi : public SourceListUi {
public:
    explicit TerminalListUi(bool interactiveTerminal) : tty_(interactiveTerminal) {}

    int AppendRow(const SourceRowTexts&) override { return rows_++; }
    void OpenProgress(int) override {}
    void CloseProgress() override;
    void SetProgressText(const std::string& text) override;
    void StepProgress() override {}
    void ShowMessage(const std::string& text, MessageIcon icon) override;
    void PumpMessages() override {}
    bool CancelRequested() const override { return InterruptRequested(); }

private:
    bool tty_;
    int rows_ = 0;
    bool drawn_ = false;
};

}  // namespace tembrel::cli
