#include "gui/frmMailWiz.h"

#include "merge/MailWizard.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>

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
    , m_txtPreview(new QPlainTextEdit)
    , m_cmdBack(wizardButton(QStringLiteral("&Back"), QStringLiteral("cmdBack")))
    , m_cmdNext(wizardButton(QStringLiteral("&Next"), QStringLiteral("cmdNext")))
    , m_cmdFinish(wizardButton(QStringLiteral("&Finish"), QStringLiteral("cmdFinish")))
    , m_cmdExit(wizardButton(QStringLiteral("E&xit"), QStringLiteral("cmdExit")))
{
    setObjectName(QStringLiteral("frmMailWiz"));
    setWindowTitle(MailWizard::caption());
    if (parent)
        setWindowIcon(parent->window()->windowIcon());

    // Page 0: the letter.
    m_picPage[0] = new QWidget;
    m_picPage[0]->setObjectName(QStringLiteral("picPage0"));
    auto *label1 = new QLabel(MailWizard::selectCaption());
    label1->setObjectName(QStringLiteral("Label1"));
    m_tlDrafts->setObjectName(QStringLiteral("tlDrafts"));
    m_tlDrafts->setHeaderHidden(true);
    m_tlDrafts->setRootIsDecorated(true);
    auto *folder = new QTreeWidgetItem(m_tlDrafts, {m_wizard.draftsCaption()});
    for (const MailWizard::Letter &letter : m_wizard.letters())
        new QTreeWidgetItem(folder, {letter.subject});
    folder->setExpanded(true);
    auto *page0 = new QVBoxLayout(m_picPage[0]);
    page0->setContentsMargins(0, 0, 0, 0);
    page0->addWidget(label1);
    page0->addWidget(m_tlDrafts, 1);

    // Page 1: the summary and the addressing.
    m_picPage[1] = new QWidget;
    m_picPage[1]->setObjectName(QStringLiteral("picPage1"));
    const QString fixed[] = {MailWizard::mailingToCaption(), MailWizard::usingLetterCaption(),
                             m_wizard.membersSummaryText(),  QString(),
                             MailWizard::createByCaption(),  MailWizard::finishInstruction()};
    for (int i = 0; i < 6; ++i) {
        m_lbl[static_cast<std::size_t>(i)] = new QLabel(fixed[i]);
        m_lbl[static_cast<std::size_t>(i)]->setObjectName(QStringLiteral("lbl%1").arg(i));
    }
    auto *page1 = new QVBoxLayout(m_picPage[1]);
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
    auto *previewRow = new QHBoxLayout;
    previewRow->addWidget(m_lbl[5], 1);
    previewRow->addWidget(m_cmdPreview);
    page1->addLayout(previewRow);
    m_txtPreview->setObjectName(QStringLiteral("txtPreview"));
    m_txtPreview->setReadOnly(true);
    m_txtPreview->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_txtPreview->hide();
    page1->addWidget(m_txtPreview, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton *button : {m_cmdBack, m_cmdNext, m_cmdFinish, m_cmdExit})
        buttons->addWidget(button);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_picPage[0], 1);
    layout->addWidget(m_picPage[1], 1);
    layout->addWidget(separator(QStringLiteral("wizLine0")));
    layout->addWidget(separator(QStringLiteral("wizLine1")));
    layout->addLayout(buttons);
    resize(460, 340);

    connect(m_tlDrafts, &QTreeWidget::currentItemChanged, this, [this] { tlDrafts_Click(); });
    connect(m_mailTypes, &QButtonGroup::idClicked, this, [this](int index) {
        m_wizard.optMailType_Click(index);
        m_txtPreview->hide(); // it showed the other addressing
    });
    connect(m_cmdNext, &QPushButton::clicked, this, [this] {
        m_wizard.cmdNext_Click();
        WizardDoStep();
    });
    connect(m_cmdBack, &QPushButton::clicked, this, [this] {
        m_wizard.cmdBack_Click();
        WizardDoStep();
    });
    connect(m_cmdFinish, &QPushButton::clicked, this, &frmMailWiz::accept);
    connect(m_cmdExit, &QPushButton::clicked, this, &frmMailWiz::cmdExit_Click);
    connect(m_cmdPreview, &QPushButton::clicked, this, &frmMailWiz::cmdPreview_Click);
    WizardDoStep();
}

void frmMailWiz::WizardDoStep()
{
    for (int page = 0; page < 2; ++page)
        m_picPage[static_cast<std::size_t>(page)]->setVisible(m_wizard.isPageVisible(page));
    const MailWizard::ButtonStates states = m_wizard.WizardDoStep();
    m_cmdBack->setEnabled(states.back);
    m_cmdNext->setEnabled(states.next);
    m_cmdFinish->setEnabled(states.finish);
    m_cmdPreview->setVisible(m_wizard.canPreview());
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
    WizardDoStep();
}

void frmMailWiz::cmdPreview_Click()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const QStringList lines = m_wizard.preview();
    QApplication::restoreOverrideCursor();
    m_txtPreview->setPlainText(lines.join(u'\n'));
    m_txtPreview->show();
}

void frmMailWiz::accept()
{
    if (!m_wizard.WizardDoStep().finish)
        return;
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
