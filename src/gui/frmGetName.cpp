#include "gui/frmGetName.h"

#include "groups/GetNameForm.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace corvel {

frmGetName::frmGetName(GetNameForm &form, QWidget *parent)
    : QDialog(parent)
    , m_form(form)
    , m_txtData(new QLineEdit(form.text()))
{
    setWindowTitle(form.caption());
    m_txtData->setObjectName(QStringLiteral("txtData"));
    // A name being changed is most often replaced whole: typing overwrites it.
    m_txtData->selectAll();
    auto *buttons = new QDialogButtonBox;
    m_ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    m_ok->setDefault(true);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    if (form.canStopRun()) {
        QPushButton *stop =
            buttons->addButton(GetNameForm::stopRunCaption(), QDialogButtonBox::DestructiveRole);
        stop->setObjectName(QStringLiteral("cmdStopRun"));
        connect(stop, &QPushButton::clicked, this, [this] {
            m_form.stopRun();
            reject();
        });
    }
    connect(buttons, &QDialogButtonBox::accepted, this, &frmGetName::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_txtData, &QLineEdit::textChanged, this, [this](const QString &text) {
        m_form.setText(text);
        m_ok->setEnabled(m_form.okEnabled());
    });
    m_ok->setEnabled(m_form.okEnabled());

    auto *layout = new QVBoxLayout(this);
    if (form.canStopRun()) {
        // The title may not show (or be read): the box says what it asks, too.
        auto *member = new QLabel(form.caption() + u'\n' + form.memberText());
        member->setObjectName(QStringLiteral("lblMember"));
        member->setTextFormat(Qt::PlainText);
        layout->addWidget(member);
    } else {
        // The title may not show (or be read): the box says what it asks, too.
        auto *prompt = new QLabel(form.caption());
        prompt->setObjectName(QStringLiteral("lblPrompt"));
        prompt->setTextFormat(Qt::PlainText);
        prompt->setBuddy(m_txtData);
        layout->addWidget(prompt);
    }
    layout->addWidget(m_txtData);
    layout->addWidget(buttons);
    setMinimumWidth(320);
}

void frmGetName::accept()
{
    if (!m_form.okEnabled())
        return;
    m_form.accept();
    QDialog::accept();
}

} // namespace corvel
