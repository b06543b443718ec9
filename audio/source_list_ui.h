#pragma once
// What adding files shows: the file list's rows, the progress window of a
// batch and its closing message. A front end implements it.
#include <string>

#include "audio/source_row_texts.h"
#include "platform/message_icon.h"

namespace tembrel {

class SourceListUi {
public:
    virtual ~SourceListUi() = default;

    // Appends a row with these column texts, brings it into view (within a
    // batch, by the time the progress is next shown) and returns its index.
    virtual int AppendRow(const SourceRowTexts& texts) = 0;

    // The progress window of a batch: shown (main window disabled), closed
    // (main window enabled again).
    virtual void OpenProgress(int pathCount) = 0;
    virtual void CloseProgress() = 0;
    virtual void SetProgressText(const std::string& text) = 0;
    virtual void StepProgress() = 0;

    virtual void ShowMessage(const std::string& text, MessageIcon icon) = 0;
    // Called after each file; a front end may handle its events (Cancel
    // among them) less often, at a rate of its own.
    virtual void PumpMessages() = 0;
    virtual bool CancelRequested() const = 0;
};

}  // namespace tembrel
