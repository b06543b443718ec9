#include "app/widgets/message_box.h"

#include <QMessageBox>

namespace tembrel::app {

namespace {

MessageHook& Hook() {
    static MessageHook hook;
    return hook;
}

QMessageBox::Icon BoxIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Information: return QMessageBox::Information;
        case MessageIcon::Exclamation: return QMessageBox::Warning;
        case MessageIcon::Stop: return QMessageBox::Critical;
        case MessageIcon::Question: return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

bool ShowMessage(QWidget* parent, const QString& text, MessageIcon icon) {
    if (Hook()) return Hook()(text, icon);
    const bool question = icon == MessageIcon::Question;
    QMessageBox box(BoxIcon(icon), kCaption, text,
                    question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, parent);
    return box.exec() != QMessageBox::No;
}

void SetMessageHookForTesting(MessageHook hook) { Hook() = std::move(hook); }

}  // namespace tembrel::app
