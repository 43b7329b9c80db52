#include "gui/LetterWindow.h"

#include "gui/LetterBodyEdit.h"
#include "gui/MergeFieldHighlighter.h"
#include "message/LetterHtml.h"
#include "presentation/DialogHost.h"
#include "session/OutlookSession.h"

#include <QAction>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

// Local files among the URLs of a drag; empty when it carries anything else.
QStringList droppedFiles(const QMimeData *data)
{
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl &url : data->urls()) {
        if (!url.isLocalFile())
            return {};
        paths << url.toLocalFile();
    }
    return paths;
}

QLabel *errorLabel(const QString &name)
{
    auto *label = new QLabel;
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setStyleSheet(u"color: #b00000;"_s);
    label->hide();
    return label;
}

} // namespace

LetterWindow::LetterWindow(std::shared_ptr<OlItem> letter, DialogHost &dialogs, QWidget *parent)
    : QMainWindow(parent)
    , m_dialogs(dialogs)
    , m_form(letter, dialogs)
    , m_entryId(letter->EntryID())
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(u"LetterWindow"_s);
    setAcceptDrops(true);

    auto *central = new QWidget;
    auto *fields = new QFormLayout;
    auto *from = new QLabel(m_form.from());
    from->setObjectName(u"from"_s);
    from->setTextFormat(Qt::PlainText);
    from->setTextInteractionFlags(Qt::TextSelectableByMouse);
    fields->addRow(u"From:"_s, from);
    const struct
    {
        LetterForm::Field field;
        const char16_t *label;
        const char16_t *name;
    } addressRows[] = {{LetterForm::Field::To, u"&To:", u"to"},
                       {LetterForm::Field::Cc, u"&CC:", u"cc"},
                       {LetterForm::Field::Bcc, u"&BCC:", u"bcc"},
                       {LetterForm::Field::ReplyTo, u"&Reply-To:", u"replyTo"}};
    for (const auto &row : addressRows) {
        const QString name = QString::fromUtf16(row.name);
        QLabel *error = errorLabel(name + u"Error"_s);
        QLineEdit *edit = addressField(row.field, name, error);
        fields->addRow(QString::fromUtf16(row.label), edit);
        fields->addRow(QString(), error);
        if (row.field == LetterForm::Field::To)
            edit->setFocus(); // a new letter is written from the top
    }
    m_subject = new QLineEdit(m_form.subject());
    m_subject->setObjectName(u"subject"_s);
    m_subjectError = errorLabel(u"subjectError"_s);
    connect(m_subject, &QLineEdit::textEdited, this, [this](const QString &text) {
        m_form.setSubject(text);
        m_subjectError->setText(m_form.subjectError());
        m_subjectError->setVisible(!m_form.subjectError().isEmpty());
        showState();
    });
    fields->addRow(u"&Subject:"_s, m_subject);
    fields->addRow(QString(), m_subjectError);

    m_body = new LetterBodyEdit;
    m_body->setObjectName(u"body"_s);
    if (m_form.html().isEmpty())
        m_body->setPlainText(m_form.body());
    else
        m_body->setHtml(m_form.html());
    m_body->viewport()->installEventFilter(this);
    new MergeFieldHighlighter(m_body->document());
    connect(m_body, &QTextEdit::textChanged, this, [this] {
        m_form.setText(m_body->toPlainText(), m_body->toHtml());
        showState();
    });

    m_attachments = new QListWidget;
    m_attachments->setObjectName(u"attachments"_s);
    m_attachments->setMaximumHeight(fontMetrics().height() * 5);
    m_attachments->setSelectionMode(QAbstractItemView::ExtendedSelection);
    auto *attachRow = new QHBoxLayout;
    auto *attachLabel = new QLabel(u"Attachments:"_s);
    attachLabel->setBuddy(m_attachments);
    attachRow->addWidget(attachLabel);
    attachRow->addStretch();

    auto *layout = new QVBoxLayout(central);
    layout->addLayout(fields);
    layout->addWidget(m_body, 1);
    layout->addLayout(attachRow);
    layout->addWidget(m_attachments);
    setCentralWidget(central);

    buildCommands();
    for (const auto &row : addressRows)
        showAddressError(row.field);
    showAttachments();
    showState();
    resize(640, 560);
}

LetterWindow::~LetterWindow() = default;

QLineEdit *LetterWindow::addressField(LetterForm::Field field, const QString &name, QLabel *error)
{
    auto *edit = new QLineEdit(m_form.addresses(field));
    edit->setObjectName(name);
    m_errors[static_cast<int>(field)] = error;
    connect(edit, &QLineEdit::textEdited, this, [this, field](const QString &text) {
        m_form.setAddresses(field, text);
        showAddressError(field);
        showState();
    });
    return edit;
}

void LetterWindow::buildCommands()
{
    const auto make = [this](const QString &text, const QString &name, const QKeySequence &keys,
                             void (LetterWindow::*slot)()) {
        auto *action = new QAction(text, this);
        action->setObjectName(name);
        action->setShortcut(keys);
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    QAction *save = make(u"&Save"_s, u"actionSave"_s, QKeySequence::Save, &LetterWindow::save);
    QAction *send = make(u"S&end"_s, u"actionSend"_s, QKeySequence(Qt::CTRL | Qt::Key_Return),
                         &LetterWindow::send);
    QAction *prompt = make(u"Insert &Prompt Field…"_s, u"actionInsertPromptField"_s,
                           QKeySequence(Qt::CTRL | Qt::Key_P), &LetterWindow::insertPromptField);
    QAction *attach =
        make(u"&Add Attachment…"_s, u"actionAddAttachment"_s,
             QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A), &LetterWindow::addAttachment);
    QAction *detach = make(u"&Remove Attachment"_s, u"actionRemoveAttachment"_s, QKeySequence(),
                           &LetterWindow::removeAttachment);
    auto *close = new QAction(u"&Close"_s, this);
    close->setShortcut(QKeySequence::Close);
    connect(close, &QAction::triggered, this, &QWidget::close);

    QMenu *file = menuBar()->addMenu(u"&File"_s);
    file->addAction(save);
    file->addAction(send);
    file->addSeparator();
    file->addAction(close);
    QMenu *insert = menuBar()->addMenu(u"&Insert"_s);
    insert->addAction(prompt);
    insert->addSeparator();
    insert->addAction(attach);
    insert->addAction(detach);

    QToolBar *tools = addToolBar(u"Letter"_s);
    tools->setObjectName(u"letterTools"_s);
    tools->setMovable(false);
    tools->setToolButtonStyle(Qt::ToolButtonTextOnly);
    tools->addAction(send);
    tools->addAction(save);
    tools->addSeparator();
    tools->addAction(prompt);
    tools->addAction(attach);
    tools->addAction(detach);
    buildFormatMenu();

    detach->setEnabled(false);
    connect(m_attachments, &QListWidget::itemSelectionChanged, detach,
            [this, detach] { detach->setEnabled(!m_attachments->selectedItems().isEmpty()); });
}

void LetterWindow::buildFormatMenu()
{
    QMenu *format = menuBar()->addMenu(u"F&ormat"_s);
    const auto add = [this, format](const QString &text, const QKeySequence &keys, auto slot) {
        QAction *action = format->addAction(text, this, slot);
        action->setShortcut(keys);
        return action;
    };
    add(u"&Bold"_s, QKeySequence::Bold, [this] { m_body->toggleBold(); });
    add(u"&Italic"_s, QKeySequence::Italic, [this] { m_body->toggleItalic(); });
    add(u"&Underline"_s, QKeySequence::Underline, [this] { m_body->toggleUnderline(); });
    format->addSeparator();
    add(u"Bulleted &List"_s, QKeySequence(), [this] { m_body->toggleList(false); });
    add(u"&Numbered List"_s, QKeySequence(), [this] { m_body->toggleList(true); });
    add(u"Lin&k…"_s, QKeySequence(Qt::CTRL | Qt::Key_K), [this] { insertLink(); });
    QMenu *sizes = format->addMenu(u"&Size"_s);
    sizes->addAction(u"&Normal"_s, this, [this] { m_body->setPointSize(0); });
    for (const int points : LetterHtml::FontSizes)
        sizes->addAction(u"%1 pt"_s.arg(points), this,
                         [this, points] { m_body->setPointSize(points); });
}

void LetterWindow::insertLink()
{
    bool ok = false;
    const QString address =
        QInputDialog::getText(this, u"Link"_s, u"Address (https:, http: or mailto:):"_s,
                              QLineEdit::Normal, u"https://"_s, &ok)
            .trimmed();
    if (!ok || address.isEmpty())
        return;
    if (!LetterHtml::isLinkAddress(address)) {
        m_dialogs.information(u"A link goes to an https:, http: or mailto: address."_s);
        return;
    }
    m_body->makeLink(address);
    m_body->setFocus();
}

void LetterWindow::showAddressError(LetterForm::Field field)
{
    QLabel *label = m_errors[static_cast<int>(field)];
    label->setText(m_form.addressError(field));
    label->setVisible(!m_form.addressError(field).isEmpty());
}

void LetterWindow::showAttachments()
{
    m_attachments->clear();
    const QLocale locale;
    for (const MailAttachment &attachment : m_form.attachments()) {
        auto *item = new QListWidgetItem(
            u"%1 (%2)"_s.arg(attachment.fileName, locale.formattedDataSize(attachment.size)));
        item->setToolTip(attachment.contentType);
        m_attachments->addItem(item);
    }
    m_attachments->setVisible(m_attachments->count() > 0);
}

void LetterWindow::showState()
{
    setWindowTitle(m_form.title() + u"[*] - Letter"_s);
    setWindowModified(m_form.isDirty());
}

void LetterWindow::refused(const QString &what, const Status &status)
{
    m_dialogs.information(u"%1: %2"_s.arg(what, status.error()));
}

void LetterWindow::save()
{
    if (const Status saved = m_form.save(); !saved.ok()) {
        refused(u"The letter was not saved"_s, saved);
        return;
    }
    statusBar()->showMessage(u"Saved in Drafts."_s, 5000);
    showState();
}

void LetterWindow::send()
{
    if (const Status sent = m_form.send(); !sent.ok()) {
        refused(u"The letter was not sent"_s, sent);
        return;
    }
    close();
}

void LetterWindow::insertPromptField()
{
    const QString field = m_form.askPromptField();
    if (field.isEmpty())
        return;
    m_body->textCursor().insertText(field);
    m_body->setFocus();
}

void LetterWindow::addAttachment()
{
    m_form.chooseAttachment();
    showAttachments();
    showState();
}

void LetterWindow::removeAttachment()
{
    QList<int> rows;
    for (const QListWidgetItem *item : m_attachments->selectedItems())
        rows << m_attachments->row(item);
    // From the last, so the indices of the others stay.
    std::sort(rows.begin(), rows.end(), std::greater<>());
    for (const int row : rows) {
        if (const Status removed = m_form.removeAttachment(row); !removed.ok())
            refused(u"The attachment was not removed"_s, removed);
    }
    showAttachments();
    showState();
}

void LetterWindow::attachFiles(const QStringList &paths)
{
    m_form.attachDropped(paths);
    showAttachments();
    showState();
}

Status LetterWindow::closeForSessionEnd()
{
    m_sessionEnding = true;
    const Status kept = m_form.closeForSessionEnd();
    // While the user's own close waits on its question this does nothing; that close then
    // sees the session ending and goes through.
    close();
    return kept;
}

void LetterWindow::closeEvent(QCloseEvent *event)
{
    bool closes = m_sessionEnding || m_form.requestClose();
    // The session may have ended while the question was open: the letter is saved by then.
    event->setAccepted(closes || m_sessionEnding);
    showState();
}

bool LetterWindow::takeFiles(QDropEvent *event)
{
    const QStringList paths = droppedFiles(event->mimeData());
    if (paths.isEmpty())
        return false;
    event->acceptProposedAction();
    if (event->type() == QEvent::Drop)
        attachFiles(paths);
    return true;
}

void LetterWindow::dragEnterEvent(QDragEnterEvent *event)
{
    (void)takeFiles(event);
}

void LetterWindow::dropEvent(QDropEvent *event)
{
    (void)takeFiles(event);
}

bool LetterWindow::eventFilter(QObject *watched, QEvent *event)
{
    // Files dropped on the body are attached, not pasted in as their paths.
    const QEvent::Type type = event->type();
    if (watched == m_body->viewport() &&
        (type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop) &&
        takeFiles(static_cast<QDropEvent *>(event)))
        return true;
    return QMainWindow::eventFilter(watched, event);
}

} // namespace corvel
