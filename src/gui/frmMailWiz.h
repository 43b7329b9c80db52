#pragma once

#include <QDialog>

#include <array>

class QButtonGroup;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTreeWidget;

namespace corvel {

class MailWizard;

// The group mail wizard over its rules: page 0 picks the letter from the Drafts folder,
// page 1 shows whom it goes to, picks the addressing and can preview the messages.
class frmMailWiz : public QDialog
{
    Q_OBJECT
public:
    explicit frmMailWiz(MailWizard &wizard, QWidget *parent = nullptr);

    // Shows the page of the current step and sets the buttons.
    void WizardDoStep();

    // Finish: the wizard's answer is read from the rules by the caller.
    void accept() override;
    // Exit and Escape ask first; closing the window does not.
    void reject() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void tlDrafts_Click();
    void cmdExit_Click();
    void cmdPreview_Click();

    MailWizard &m_wizard;
    std::array<QWidget *, 2> m_picPage{};
    QTreeWidget *m_tlDrafts;
    std::array<QLabel *, 6> m_lbl{};
    std::array<QRadioButton *, 4> m_optMailType{};
    QButtonGroup *m_mailTypes;
    QPushButton *m_cmdPreview;
    QPlainTextEdit *m_txtPreview;
    QPushButton *m_cmdBack;
    QPushButton *m_cmdNext;
    QPushButton *m_cmdFinish;
    QPushButton *m_cmdExit;
    bool m_closingByWindow = false;
};

} // namespace corvel
