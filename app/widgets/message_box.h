#pragma once
// The program's message boxes: caption "Tembrel", the icon's look, OK, or
// Yes and No for a question. Tests take the messages through a hook instead
// of a modal box.
#include <functional>

#include <QString>

#include "platform/message_icon.h"

class QWidget;

namespace tembrel::app {

inline constexpr char kCaption[] = "Tembrel";

// True for OK or Yes.
bool ShowMessage(QWidget* parent, const QString& text, MessageIcon icon);

// Each message goes to the hook (its answer stands for the user's) while one
// is set; an empty hook restores the boxes.
using MessageHook = std::function<bool(const QString& text, MessageIcon icon)>;
void SetMessageHookForTesting(MessageHook hook);

}  // namespace tembrel::app
