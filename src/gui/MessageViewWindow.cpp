#include "gui/MessageViewWindow.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace corvel {

MessageViewWindow::MessageViewWindow(const Letter &letter, QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("MessageViewWindow"));
    setWindowTitle(letter.subject.isEmpty() ? tr("(no subject)") : letter.subject);

    auto *headers = new QFormLayout;
    const auto addHeader = [headers](const QString &label, const QString &value) {
        if (value.isEmpty())
            return;
        auto *text = new QLabel(value);
        text->setTextFormat(Qt::PlainText);
        text->setTextInteractionFlags(Qt::TextSelectableByMouse);
        text->setWordWrap(true);
        headers->addRow(label, text);
    };
    addHeader(tr("To:"), letter.to);
    addHeader(tr("Cc:"), letter.cc);
    addHeader(tr("Bcc:"), letter.bcc);
    addHeader(tr("Subject:"), letter.subject);

    auto *body = new QPlainTextEdit(letter.body);
    body->setObjectName(QStringLiteral("body"));
    body->setReadOnly(true);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QWidget::close);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(headers);
    layout->addWidget(body);
    layout->addWidget(buttons);
    resize(560, 420);
}

} // namespace corvel
