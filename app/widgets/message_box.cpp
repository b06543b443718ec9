#include "app/widgets/message_box.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>

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

// The most text a box shows before it scrolls: with its icon, margins,
// buttons and frame the box stays inside a 1024 x 768 screen.
constexpr int kMaxTextWidth = 760;
constexpr int kMaxTextHeight = 480;

// A box for a text too large for a plain one (the names of thirty files
// that failed to load, each a long path): the text scrolls, the buttons stay
// in view.
bool ShowScrollingMessage(QWidget* parent, const QString& text, MessageIcon icon, QSize textSize) {
    QDialog box(parent);
    box.setWindowTitle(kCaption);
    box.setObjectName("scrollingMessage");
    auto* iconLabel = new QLabel(&box);
    const int iconSide = box.style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, &box);
    iconLabel->setPixmap(QMessageBox::standardIcon(BoxIcon(icon)).scaled(iconSide, iconSide, Qt::KeepAspectRatio,
                                                                         Qt::SmoothTransformation));
    auto* textLabel = new QLabel(text);
    textLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* scroll = new QScrollArea(&box);
    scroll->setWidget(textLabel);
    scroll->setFrameShape(QFrame::NoFrame);
    const int bar = scroll->verticalScrollBar()->sizeHint().width();
    scroll->setFixedSize(std::min(textSize.width() + bar + 4, kMaxTextWidth),
                         std::min(textSize.height() + bar + 4, kMaxTextHeight));
    const bool question = icon == MessageIcon::Question;
    auto* buttons = new QDialogButtonBox(
        question ? QDialogButtonBox::Yes | QDialogButtonBox::No : QDialogButtonBox::Ok, &box);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &box, &QDialog::reject);
    auto* layout = new QGridLayout(&box);
    layout->addWidget(iconLabel, 0, 0, Qt::AlignTop);
    layout->addWidget(scroll, 0, 1);
    layout->addWidget(buttons, 1, 0, 1, 2);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    // Without a question, closing the box is its OK.
    return box.exec() == QDialog::Accepted || !question;
}

}  // namespace

bool ShowMessage(QWidget* parent, const QString& text, MessageIcon icon) {
    if (Hook()) return Hook()(text, icon);
    const QSize textSize =
        QFontMetrics(QFont()).boundingRect(QRect(0, 0, kMaxTextWidth, 0), 0, text).size();
    if (textSize.width() > kMaxTextWidth || textSize.height() > kMaxTextHeight)
        return ShowScrollingMessage(parent, text, icon, textSize);
    const bool question = icon == MessageIcon::Question;
    QMessageBox box(BoxIcon(icon), kCaption, text,
                    question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, parent);
    return box.exec() != QMessageBox::No;
}

void SetMessageHookForTesting(MessageHook hook) { Hook() = std::move(hook); }

}  // namespace tembrel::app
