#include "gui/ContactCardWindow.h"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QUrl>
#include <QVBoxLayout>

namespace corvel {

namespace {

QString kindLabel(VCardDetail::Kind kind)
{
    using Kind = VCardDetail::Kind;
    switch (kind) {
    case Kind::Name:
        return ContactCardWindow::tr("Name");
    case Kind::Nickname:
        return ContactCardWindow::tr("Nickname");
    case Kind::Email:
        return ContactCardWindow::tr("E-mail");
    case Kind::Phone:
        return ContactCardWindow::tr("Phone");
    case Kind::Address:
        return ContactCardWindow::tr("Address");
    case Kind::Organisation:
        return ContactCardWindow::tr("Organisation");
    case Kind::Title:
        return ContactCardWindow::tr("Title");
    case Kind::Categories:
        return ContactCardWindow::tr("Categories");
    case Kind::Note:
        return ContactCardWindow::tr("Note");
    case Kind::WebPage:
        return ContactCardWindow::tr("Web page");
    case Kind::Birthday:
        return ContactCardWindow::tr("Birthday");
    }
    return {};
}

} // namespace

QString ContactCardWindow::labelFor(const VCardDetail &detail)
{
    QString label = kindLabel(detail.kind);
    if (!detail.type.isEmpty())
        label += QStringLiteral(" (") + detail.type + u')';
    return label + u':';
}

ContactCardWindow::ContactCardWindow(const QString &fileAs, ContactCard card, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_card(std::move(card))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("ContactCardWindow"));
    setWindowTitle(fileAs.isEmpty() ? tr("Contact") : fileAs + tr(" - Contact"));

    auto *fields = new QWidget;
    auto *form = new QFormLayout(fields);
    for (const VCardDetail &detail : m_card.details) {
        auto *value = new QLabel(detail.value);
        value->setTextFormat(Qt::PlainText);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        value->setWordWrap(true);
        form->addRow(labelFor(detail), value);
    }
    if (m_card.details.empty())
        form->addRow(new QLabel(tr("The card holds nothing to show.")));

    auto *scroll = new QScrollArea;
    scroll->setWidget(fields);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    QPushButton *open =
        buttons->addButton(tr("Open in Address Book"), QDialogButtonBox::ActionRole);
    open->setObjectName(QStringLiteral("openInAddressBook"));
    open->setEnabled(!m_card.path.isEmpty());
    connect(open, &QPushButton::clicked, this, &ContactCardWindow::openInAddressBook);
    connect(buttons, &QDialogButtonBox::rejected, this, &QWidget::close);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(scroll);
    layout->addWidget(buttons);
    resize(420, 360);
}

void ContactCardWindow::openInAddressBook()
{
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(m_card.path)))
        QMessageBox::warning(this, windowTitle(),
                             tr("No program of the desktop opened %1.").arg(m_card.path));
}

} // namespace corvel
