#include "gui/frmDoMsg.h"

#include "gui/max3D.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace corvel {

namespace {

// Colours 1 and 7 of the 16-colour palette.
constexpr QRgb darkBlue = qRgb(0, 0, 128);
constexpr QRgb lightGrey = qRgb(192, 192, 192);

} // namespace

frmDoMsg::frmDoMsg(QString appTitle, QWidget *parent)
    : QWidget(parent, Qt::Dialog)
    , m_appTitle(std::move(appTitle))
    , m_lblStatus(new QLabel)
    , m_lblProgress(new QLabel)
    , m_btnCancel(new QPushButton(QStringLiteral("Cancel")))
    , m_txtOutcome(new QPlainTextEdit)
    , m_meter(new max3D(this))
{
    setObjectName(QStringLiteral("frmDoMsg"));
    setWindowTitle(caption());
    if (parent)
        setWindowIcon(parent->window()->windowIcon());
    // The run lets events through after every member: the rest of the program must not
    // start another run or change the groups under it meanwhile.
    setWindowModality(Qt::ApplicationModal);
    setAttribute(Qt::WA_DeleteOnClose, false);

    m_lblStatus->setObjectName(QStringLiteral("lblStatus"));
    m_lblProgress->setObjectName(QStringLiteral("lblProgress"));
    m_lblProgress->setMinimumHeight(22);
    m_btnCancel->setObjectName(QStringLiteral("btnCancel"));
    m_txtOutcome->setObjectName(QStringLiteral("txtOutcome"));
    m_txtOutcome->setReadOnly(true);
    // The Outbox's lines and the reasons of failed members are long; none may be cut off.
    m_txtOutcome->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_txtOutcome->hide();

    m_meter->Depth = 1;
    m_meter->FillColor = QColor(darkBlue);
    m_meter->ForeColor = QColor(lightGrey);
    m_meter->showPercent = true;
    m_meter->SolidMeter = true;
    m_meter->PercentMeter(m_lblProgress, 0);

    connect(m_btnCancel, &QPushButton::clicked, this, &frmDoMsg::btnCancel_Click);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_btnCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_lblStatus);
    layout->addWidget(m_lblProgress);
    layout->addWidget(m_txtOutcome, 1);
    layout->addLayout(buttons);
    resize(360, sizeHint().height());
}

frmDoMsg::~frmDoMsg() = default;

void frmDoMsg::show()
{
    repaintProgress();
    // A top-level widget, unlike a dialog, is not placed over its owner by itself.
    if (QWidget *owner = parentWidget() ? parentWidget()->window() : nullptr)
        move(owner->geometry().center() - rect().center());
    QWidget::show();
    m_sinceRepaint.start();
}

void frmDoMsg::setStatus(const QString &text)
{
    m_status = text;
    if (!isVisible())
        m_lblStatus->setText(text);
}

void frmDoMsg::setPercent(int percent)
{
    m_percent = percent;
}

void frmDoMsg::repaintProgress()
{
    m_lblStatus->setText(m_status);
    m_meter->PercentMeter(m_lblProgress, m_percent);
}

void frmDoMsg::letEventsRun()
{
    if (!m_sinceRepaint.isValid() || m_sinceRepaint.elapsed() >= repaintIntervalMs) {
        repaintProgress();
        m_sinceRepaint.start();
    }
    QCoreApplication::processEvents();
}

void frmDoMsg::critical(const QString &text)
{
    QMessageBox::critical(parentWidget() ? parentWidget()->window() : this, m_appTitle, text);
}

void frmDoMsg::setCancelHandler(std::function<void()> handler)
{
    m_cancel = std::move(handler);
}

void frmDoMsg::btnCancel_Click()
{
    if (m_showsOutcome) {
        close();
        return;
    }
    m_btnCancel->setEnabled(false);
    if (m_cancel)
        m_cancel();
}

void frmDoMsg::showOutcome(const QString &heading, const QStringList &lines)
{
    m_showsOutcome = true;
    repaintProgress();
    m_lblStatus->setText(heading);
    m_txtOutcome->setPlainText(lines.join(u'\n'));
    m_txtOutcome->show();
    m_btnCancel->setText(QStringLiteral("Close"));
    m_btnCancel->setEnabled(true);
    m_btnCancel->setDefault(true);
    m_btnCancel->setFocus();
    // Only the run needed the rest of the program held; the account may stay open beside it.
    if (isVisible()) {
        hide();
        setWindowModality(Qt::NonModal);
    }
    resize(std::max(width(), 480), std::max(height(), 300));
    QWidget::show();
}

void frmDoMsg::closeWindow()
{
    m_cancel = nullptr;
    m_showsOutcome = true;
    close();
}

void frmDoMsg::closeEvent(QCloseEvent *event)
{
    if (m_showsOutcome) {
        event->accept();
        return;
    }
    // Closed mid-run: the run stops as by Cancel, and its account is shown.
    event->ignore();
    btnCancel_Click();
}

} // namespace corvel
