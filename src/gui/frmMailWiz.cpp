#include "gui/frmMailWiz.h"

#include "merge/MailWizard.h"
#include "merge/MemberAttachments.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace corvel {

namespace {

QFrame *separator(const QString &name)
{
    auto *line = new QFrame;
    line->setObjectName(name);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

QPushButton *wizardButton(const QString &text, const QString &name)
{
    auto *button = new QPushButton(text);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

} // namespace

frmMailWiz::frmMailWiz(MailWizard &wizard, QWidget *parent)
    : QDialog(parent)
    , m_wizard(wizard)
    , m_tlDrafts(new QTreeWidget)
    , m_mailTypes(new QButtonGroup(this))
    , m_cmdPreview(wizardButton(QStringLiteral("Pre&view"), QStringLiteral("cmdPreview")))
    , m_cmdSendTest(wizardButton(MailWizard::testCaption(), QStringLiteral("cmdSendTest")))
    , m_txtPreview(new QPlainTextEdit)
    , m_cmdSaveCopies(
          wizardButton(MailWizard::saveCopiesCaption(), QStringLiteral("cmdSaveCopies")))
    , m_txtSendAt(new QLineEdit)
    , m_cmdBack(wizardButton(QStringLiteral("&Back"), QStringLiteral("cmdBack")))
    , m_cmdNext(wizardButton(QStringLiteral("&Next"), QStringLiteral("cmdNext")))
    , m_cmdFinish(wizardButton(QStringLiteral("&Finish"), QStringLiteral("cmdFinish")))
    , m_cmdExit(wizardButton(QStringLiteral("E&xit"), QStringLiteral("cmdExit")))
    , m_promptRows(new QGridLayout)
    , m_tblValues(new QTableWidget)
    , m_cmdLoadValues(
          wizardButton(MailWizard::loadValuesCaption(), QStringLiteral("cmdLoadValues")))
    , m_lblEmpty(new QLabel)
    , m_lblNote(new QLabel)
{
    setObjectName(QStringLiteral("frmMailWiz"));
    setWindowTitle(MailWizard::caption());
    if (parent)
        setWindowIcon(parent->window()->windowIcon());

    m_picPage[0] = buildLetterPage();
    m_picPage[1] = buildSummaryPage();
    m_picPage[2] = buildPromptsPage();

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton *button : {m_cmdBack, m_cmdNext, m_cmdFinish, m_cmdExit})
        buttons->addWidget(button);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_picPage[0], 1);
    layout->addWidget(m_picPage[1], 1);
    layout->addWidget(m_picPage[2], 1);
    layout->addWidget(separator(QStringLiteral("wizLine0")));
    layout->addWidget(separator(QStringLiteral("wizLine1")));
    layout->addLayout(buttons);
    resize(460, 340);

    connectControls();
    wizardDoStep();
}

// Page 0: the letter.
QWidget *frmMailWiz::buildLetterPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("picPage0"));
    auto *label1 = new QLabel(MailWizard::selectCaption());
    label1->setObjectName(QStringLiteral("Label1"));
    m_tlDrafts->setObjectName(QStringLiteral("tlDrafts"));
    m_tlDrafts->setHeaderHidden(true);
    m_tlDrafts->setRootIsDecorated(true);
    auto *folder = new QTreeWidgetItem(m_tlDrafts, {m_wizard.draftsCaption()});
    for (const MailWizard::Letter &letter : m_wizard.letters())
        new QTreeWidgetItem(folder, {letter.subject});
    folder->setExpanded(true);
    auto *page0 = new QVBoxLayout(page);
    page0->setContentsMargins(0, 0, 0, 0);
    page0->addWidget(label1);
    page0->addWidget(m_tlDrafts, 1);
    return page;
}

// Page 1: the summary and the addressing.
QWidget *frmMailWiz::buildSummaryPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("picPage1"));
    const QString fixed[] = {MailWizard::mailingToCaption(), MailWizard::usingLetterCaption(),
                             m_wizard.membersSummaryText(),  QString(),
                             MailWizard::createByCaption(),  MailWizard::finishInstruction()};
    for (int i = 0; i < 6; ++i) {
        m_lbl[static_cast<std::size_t>(i)] = new QLabel(fixed[i]);
        m_lbl[static_cast<std::size_t>(i)]->setObjectName(QStringLiteral("lbl%1").arg(i));
    }
    auto *page1 = new QVBoxLayout(page);
    page1->setContentsMargins(0, 0, 0, 0);
    auto *summary = new QGridLayout;
    summary->addWidget(m_lbl[0], 0, 0);
    summary->addWidget(m_lbl[2], 0, 1);
    summary->addWidget(m_lbl[1], 1, 0);
    summary->addWidget(m_lbl[3], 1, 1);
    summary->setColumnStretch(1, 1);
    page1->addLayout(summary);
    page1->addWidget(m_lbl[4]);
    for (int i = 0; i < 4; ++i) {
        auto *option = new QRadioButton(MailWizard::mailTypeText(static_cast<MailType>(i)));
        option->setObjectName(QStringLiteral("optMailType%1").arg(i));
        m_mailTypes->addButton(option, i);
        m_optMailType[static_cast<std::size_t>(i)] = option;
        page1->addWidget(option);
    }
    m_optMailType[static_cast<std::size_t>(m_wizard.chosenMailType())]->setChecked(true);
    auto *sendAtRow = new QHBoxLayout;
    sendAtRow->addWidget(new QLabel(MailWizard::sendAtCaption()));
    m_txtSendAt->setObjectName(QStringLiteral("txtSendAt"));
    m_txtSendAt->setPlaceholderText(QStringLiteral("now, or YYYY-MM-DD HH:MM"));
    // Wide enough for the hint, which is all that says what to type.
    m_txtSendAt->setMinimumWidth(m_txtSendAt->fontMetrics().horizontalAdvance(
        m_txtSendAt->placeholderText() + QStringLiteral("MM")));
    sendAtRow->addWidget(m_txtSendAt);
    sendAtRow->addStretch(1);
    page1->addLayout(sendAtRow);
    auto *previewRow = new QHBoxLayout;
    previewRow->addWidget(m_lbl[5], 1);
    previewRow->addWidget(m_cmdSendTest);
    previewRow->addWidget(m_cmdPreview);
    previewRow->addWidget(m_cmdSaveCopies);
    page1->addLayout(previewRow);
    m_txtPreview->setObjectName(QStringLiteral("txtPreview"));
    m_txtPreview->setReadOnly(true);
    m_txtPreview->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_txtPreview->hide();
    page1->addWidget(m_txtPreview, 1);
    m_lblNote->setObjectName(QStringLiteral("lblNote"));
    m_lblNote->setWordWrap(true);
    page1->addWidget(m_lblNote);
    return page;
}

// Page 2: the prompted fields.
QWidget *frmMailWiz::buildPromptsPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("picPage2"));
    auto *page2 = new QVBoxLayout(page);
    page2->setContentsMargins(0, 0, 0, 0);
    page2->addWidget(new QLabel(MailWizard::promptsCaption()));
    page2->addLayout(m_promptRows);
    m_tblValues->setObjectName(QStringLiteral("tblValues"));
    page2->addWidget(m_tblValues, 1);
    // Without a table the rows stay at the top and the count at the bottom.
    page2->addStretch(0);
    auto *tableRow = new QHBoxLayout;
    m_lblEmpty->setObjectName(QStringLiteral("lblEmpty"));
    m_lblEmpty->setWordWrap(true);
    tableRow->addWidget(m_lblEmpty, 1);
    tableRow->addWidget(m_cmdLoadValues);
    page2->addLayout(tableRow);
    return page;
}

void frmMailWiz::connectControls()
{
    connect(m_tlDrafts, &QTreeWidget::currentItemChanged, this, [this] { tlDrafts_Click(); });
    connect(m_mailTypes, &QButtonGroup::idClicked, this, [this](int index) {
        m_wizard.optMailType_Click(index);
        m_txtPreview->hide(); // it showed the other addressing
        wizardDoStep();
    });
    connect(m_tblValues, &QTableWidget::cellChanged, this, [this](int row, int column) {
        if (column < 2 || column - 2 >= m_tableColumns.size())
            return;
        m_wizard.setPromptCell(row, m_tableColumns[column - 2],
                               m_tblValues->item(row, column)->text());
        showEmptyValues();
    });
    connect(m_cmdLoadValues, &QPushButton::clicked, this, &frmMailWiz::cmdLoadValues_Click);
    connect(m_cmdNext, &QPushButton::clicked, this, [this] {
        m_wizard.cmdNext_Click();
        wizardDoStep();
    });
    connect(m_cmdBack, &QPushButton::clicked, this, [this] {
        m_wizard.cmdBack_Click();
        wizardDoStep();
    });
    connect(m_cmdFinish, &QPushButton::clicked, this, &frmMailWiz::accept);
    connect(m_cmdExit, &QPushButton::clicked, this, &frmMailWiz::cmdExit_Click);
    connect(m_cmdPreview, &QPushButton::clicked, this, &frmMailWiz::cmdPreview_Click);
    connect(m_cmdSendTest, &QPushButton::clicked, this, &frmMailWiz::cmdSendTest_Click);
    connect(m_cmdSaveCopies, &QPushButton::clicked, this, &frmMailWiz::cmdSaveCopies_Click);
    connect(m_txtSendAt, &QLineEdit::textChanged, this, [this](const QString &text) {
        m_wizard.setSendAt(text);
        wizardDoStep();
    });
}

void frmMailWiz::wizardDoStep()
{
    if (m_wizard.currentStep() == MailWizard::kPromptsStep && !m_picPage[2]->isVisible())
        showPrompts();
    for (int page = 0; page < 3; ++page)
        m_picPage[static_cast<std::size_t>(page)]->setVisible(m_wizard.isPageVisible(page));
    m_lblNote->setText(QStringList{m_wizard.addressingNote(), m_wizard.sendAtProblem()}
                           .filter(QRegularExpression(QStringLiteral(".")))
                           .join(u'\n'));
    const MailWizard::ButtonStates states = m_wizard.wizardDoStep();
    m_cmdBack->setEnabled(states.back);
    m_cmdNext->setEnabled(states.next);
    m_cmdFinish->setEnabled(states.finish);
    m_cmdPreview->setVisible(m_wizard.canPreview());
    m_cmdSendTest->setVisible(m_wizard.canPreview());
    m_cmdSaveCopies->setVisible(m_wizard.canPreview());
    if (!m_wizard.canPreview())
        m_txtPreview->hide();
    m_lbl[3]->setText(m_wizard.letterSummary());
    (states.finish ? m_cmdFinish : m_cmdNext)->setDefault(true);
}

void frmMailWiz::tlDrafts_Click()
{
    QTreeWidgetItem *item = m_tlDrafts->currentItem();
    if (!item)
        return;
    // Row 0 is the folder; its letters follow in order.
    const int row = item->parent() ? item->parent()->indexOfChild(item) + 1 : 0;
    m_wizard.tlDrafts_Click(row);
    wizardDoStep();
}

void frmMailWiz::showPrompts()
{
    while (QLayoutItem *item = m_promptRows->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    int row = 0;
    for (const QString &name : m_wizard.promptNames()) {
        auto *choice = new QComboBox;
        choice->setObjectName(QStringLiteral("cboPrompt%1").arg(row));
        for (const auto option :
             {PromptPlan::Choice::Ask, PromptPlan::Choice::OneValue, PromptPlan::Choice::Table})
            choice->addItem(MailWizard::promptChoiceText(option), static_cast<int>(option));
        choice->setCurrentIndex(static_cast<int>(m_wizard.promptChoice(name)));
        auto *value = new QLineEdit(m_wizard.promptValue(name));
        value->setObjectName(QStringLiteral("txtPrompt%1").arg(row));
        value->setEnabled(m_wizard.promptChoice(name) == PromptPlan::Choice::OneValue);
        auto *label = new QLabel(name);
        label->setTextFormat(Qt::PlainText);
        m_promptRows->addWidget(label, row, 0);
        m_promptRows->addWidget(choice, row, 1);
        m_promptRows->addWidget(value, row, 2);
        connect(choice, &QComboBox::currentIndexChanged, this, [this, name, value](int index) {
            m_wizard.setPromptChoice(name, static_cast<PromptPlan::Choice>(index));
            value->setEnabled(index == static_cast<int>(PromptPlan::Choice::OneValue));
            showValuesTable();
        });
        connect(value, &QLineEdit::textChanged, this, [this, name](const QString &text) {
            m_wizard.setPromptValue(name, text);
            showEmptyValues();
        });
        ++row;
    }
    showValuesTable();
}

void frmMailWiz::showValuesTable()
{
    m_tableColumns.clear();
    for (const QString &name : m_wizard.promptNames())
        if (m_wizard.promptChoice(name) == PromptPlan::Choice::Table)
            m_tableColumns.append(name);
    if (m_wizard.hasAttachmentColumn())
        m_tableColumns.append(MemberAttachments::columnName());
    const QSignalBlocker quiet(m_tblValues);
    const std::vector<MailMember> &members = m_wizard.tableMembers();
    m_tblValues->clear();
    m_tblValues->setRowCount(static_cast<int>(members.size()));
    m_tblValues->setColumnCount(2 + static_cast<int>(m_tableColumns.size()));
    m_tblValues->setHorizontalHeaderLabels(
        QStringList{QStringLiteral("Name"), QStringLiteral("Address")} + m_tableColumns);
    for (int row = 0; row < static_cast<int>(members.size()); ++row) {
        const MailMember &member = members[static_cast<std::size_t>(row)];
        for (const auto &[column, text] : {std::pair{0, member.name}, {1, member.address}}) {
            auto *item = new QTableWidgetItem(text);
            item->setFlags(item->flags() & ~Qt::ItemIsEditable);
            m_tblValues->setItem(row, column, item);
        }
        for (int c = 0; c < static_cast<int>(m_tableColumns.size()); ++c)
            m_tblValues->setItem(row, 2 + c,
                                 new QTableWidgetItem(m_wizard.promptCell(row, m_tableColumns[c])));
    }
    m_tblValues->resizeColumnsToContents();
    m_tblValues->setVisible(!m_tableColumns.isEmpty());
    // A table of members wants more room than the wizard's pages of choices.
    if (!m_tableColumns.isEmpty())
        resize(std::max(width(), 640), std::max(height(), 480));
    showEmptyValues();
}

void frmMailWiz::showEmptyValues()
{
    m_lblEmpty->setText(m_wizard.emptyValueLines().join(u'\n'));
}

void frmMailWiz::cmdLoadValues_Click()
{
    if (const Status loaded = m_wizard.cmdLoadValues_Click(); !loaded.ok()) {
        QMessageBox::warning(this, windowTitle(), loaded.error());
        return;
    }
    showPrompts();
}

void frmMailWiz::cmdPreview_Click()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const QStringList lines = m_wizard.preview();
    QApplication::restoreOverrideCursor();
    m_txtPreview->setPlainText(lines.join(u'\n'));
    m_txtPreview->show();
}

void frmMailWiz::cmdSendTest_Click()
{
    bool ok = false;
    const QString address =
        QInputDialog::getText(this, MailWizard::caption(), QStringLiteral("Send the test to:"),
                              QLineEdit::Normal, QString(), &ok);
    if (!ok || address.trimmed().isEmpty())
        return;
    const Status sent = m_wizard.sendTest(address);
    if (sent.ok())
        QMessageBox::information(this, MailWizard::caption(),
                                 QStringLiteral("The test is in the Outbox for %1.").arg(address));
    else
        QMessageBox::warning(this, MailWizard::caption(), sent.error());
}

void frmMailWiz::accept()
{
    if (!m_wizard.wizardDoStep().finish)
        return;
    QDialog::accept();
}

void frmMailWiz::cmdSaveCopies_Click()
{
    if (m_wizard.cmdSaveCopies_Click())
        QDialog::accept();
}

void frmMailWiz::cmdExit_Click()
{
    QMessageBox box(QMessageBox::Information, windowTitle(), MailWizard::exitQuestion(),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setDefaultButton(QMessageBox::No);
    if (box.exec() == QMessageBox::Yes)
        QDialog::reject();
}

void frmMailWiz::reject()
{
    if (m_closingByWindow) {
        QDialog::reject();
        return;
    }
    cmdExit_Click();
}

void frmMailWiz::closeEvent(QCloseEvent *event)
{
    // Closing the window leaves without Finish and without a question; so does the program
    // closing the dialog when its session ends.
    m_closingByWindow = true;
    QDialog::closeEvent(event);
    m_closingByWindow = false;
}

} // namespace corvel
