#include "gui/frmAbout.h"

#include <QCoreApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace corvel {

frmAbout::frmAbout(const QString &appTitle, const QString &dataFolder, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(u"frmAbout"_s);
    setWindowTitle(u"About %1"_s.arg(appTitle));

    auto *picture = new QLabel(this);
    picture->setPixmap(QIcon(u":/pictures/110.svg"_s).pixmap(48, 48));
    picture->setAlignment(Qt::AlignTop);

    auto *text = new QLabel(this);
    text->setTextFormat(Qt::RichText);
    text->setWordWrap(true);
    text->setText(
        u"<h2>%1</h2><p>Version %2</p>"
        "<p>Keeps named address lists, the Mail Groups, made from your contacts, and mails "
        "them. A Standard Mail Group holds the members you give it; a Dynamic Mail Group "
        "finds its members again in your contact folders by category each time it is "
        "loaded.</p>"
        "<p>Contacts and letters come from the folders you already keep: vCard folders and "
        "Maildir folders.</p>"_s.arg(appTitle.toHtmlEscaped(),
                                     QCoreApplication::applicationVersion().toHtmlEscaped()));
    auto *folder = new QLabel(this);
    folder->setObjectName(u"lblDataFolder"_s);
    folder->setTextFormat(Qt::PlainText);
    folder->setTextInteractionFlags(Qt::TextSelectableByMouse);
    folder->setWordWrap(true);
    folder->setText(u"Your groups are kept in %1"_s.arg(QDir::toNativeSeparators(dataFolder)));
    folder->setVisible(!dataFolder.isEmpty());
    text->setMinimumWidth(320);

    auto *close = new QPushButton(u"&Close"_s, this);
    close->setObjectName(u"cmdClose"_s);
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    auto *body = new QHBoxLayout;
    body->addWidget(picture);
    auto *words = new QVBoxLayout;
    words->addWidget(text);
    words->addWidget(folder);
    body->addLayout(words, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(close);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(body);
    layout->addLayout(buttons);
    setFixedSize(sizeHint());
}

} // namespace corvel
