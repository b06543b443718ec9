#pragma once
// Message box icons: guidance, failure or refused input, invalid template,
// yes/no question. Shared by every front-end interface that shows messages.

namespace tembrel {

enum class MessageIcon { Information, Exclamation, Stop, Question };

}  // namespace tembrel
