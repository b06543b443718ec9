#pragma once
// What a conversion shows and asks while it runs. The engine talks only to
// this interface; the window front end and the command-line front end each
// implement it. Every call comes from the thread that runs the conversion.
#include <string>

#include "platform/message_icon.h"

namespace tembrel {

class ConversionUi {
public:
    virtual ~ConversionUi() = default;

    // Progress of the file being converted: text line and bar.
    virtual void SetFileText(const std::string& text) = 0;
    // Width of the per-file bar in pixels; progress positions are given in
    // this unit (range 0..width).
    virtual int FileBarWidth() const = 0;
    virtual void SetFileRange(int maximum) = 0;
    virtual void SetFilePosition(int position) = 0;

    // Progress over all files: text line and bar.
    virtual void SetOverallText(const std::string& text) = 0;
    virtual void SetOverallRange(int maximum) = 0;
    virtual void SetOverallPosition(int position) = 0;

    // The "SWF" column of a file list row: output name or failure text.
    virtual void SetRowStatus(int row, const std::string& text) = 0;

    // Why the row's file failed, or, for a converted file, what went wrong
    // beside it (its page not written). Called after SetRowStatus, only
    // when there is something to say; the status texts stay as they are.
    virtual void SetRowReason(int /*row*/, const std::string& /*reason*/) {}

    // A message box captioned "Tembrel"; returns true for "Yes" (question
    // icon) or when dismissed otherwise.
    virtual bool ShowMessage(const std::string& text, MessageIcon icon) = 0;

    // Lets the front end handle pending input; returns true once the user
    // has asked to cancel (the flag stays set).
    virtual bool PumpMessages() = 0;

    // Opens the file manager with the file selected.
    virtual void ShowInFileManager(const std::string& path) = 0;

    // A run's frame, for front ends that need it: BeginRun before the first
    // file (wait cursor, main window disabled, progress window shown),
    // EndRun after the last; ShowRow scrolls a list row into view.
    virtual void BeginRun(int /*fileCount*/) {}
    virtual void EndRun() {}
    virtual void ShowRow(int /*row*/) {}
};

}  // namespace tembrel
