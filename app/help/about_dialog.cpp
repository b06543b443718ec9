#include "app/help/about_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "app/desktop/desktop_services.h"

namespace tembrel::app {

namespace {

// A link text that opens its address through the desktop.
QLabel* LinkLabel(const QString& text, const QUrl& url, QWidget* parent) {
    auto* label = new QLabel(QString("<a href=\"%1\">%2</a>").arg(url.toString(QUrl::FullyEncoded).toHtmlEscaped(),
                                                                text.toHtmlEscaped()),
                             parent);
    label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    QObject::connect(label, &QLabel::linkActivated, label, [url] { Desktop().OpenUrl(url); });
    return label;
}

}  // namespace

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("About Tembrel");
    setModal(true);

    auto* version = new QLabel(kVersionLine, this);
    QFont bold = version->font();
    bold.setBold(true);
    version->setFont(bold);

    auto* links = new QVBoxLayout;
    links->addWidget(version);
    links->addWidget(LinkLabel("Visit Tembrel Homepage", HomepageUrl(), this));
    links->addWidget(LinkLabel("Feedback and Support", SupportMailUrl(), this));
    links->addStretch();

    auto* ok = new QPushButton("OK", this);
    ok->setDefault(true);
    auto* update = new QPushButton("&Check for Updates", this);
    auto* tell = new QPushButton("Tell a Friend", this);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(update, &QPushButton::clicked, this, [] { Desktop().OpenUrl(UpdateCheckUrl()); });
    connect(tell, &QPushButton::clicked, this, [] { Desktop().OpenUrl(TellAFriendUrl()); });

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(update);
    buttons->addWidget(tell);
    buttons->addStretch();

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(links, 1);
    layout->addLayout(buttons);
}

}  // namespace tembrel::app
