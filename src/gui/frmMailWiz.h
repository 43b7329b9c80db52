#pragma once

#include <QDialog>

#include <array>

class QButtonGroup;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;
class QTreeWidget;

namespace corvel {

class MailWizard;

// The group mail wizard over its rules: page 0 picks the letter from the Drafts folder,
// page 1 shows whom it goes to, picks the addressing and can preview the messages, page 2
// says how each prompted field is answered.
class frmMailWiz : public QDialog
{
    Q_OBJECT
public:
    explicit frmMailWiz(MailWizard &wizard, QWidget *parent = nullptr);

    // Shows the page of the current step and sets the buttons.
    void wizardDoStep();

    // Finish: the wizard's answer is read from the rules by the caller.
    void accept() override;
    // Exit and Escape ask first; closing the window does not.
    void reject() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QWidget *buildLetterPage();
    QWidget *buildSummaryPage();
    QWidget *buildPromptsPage();
    void connectControls();
    void tlDrafts_Click();
    void cmdExit_Click();
    void cmdPreview_Click();
    void cmdSendTest_Click();
    void cmdSaveCopies_Click();
    void cmdLoadValues_Click();
    // Page 2 for the chosen letter's prompts: a choice and a value each, then the table.
    void showPrompts();
    void showValuesTable();
    void showEmptyValues();

    MailWizard &m_wizard;
    std::array<QWidget *, 3> m_picPage{};
    QTreeWidget *m_tlDrafts;
    std::array<QLabel *, 6> m_lbl{};
    std::array<QRadioButton *, 4> m_optMailType{};
    QButtonGroup *m_mailTypes;
    QPushButton *m_cmdPreview;
    QPushButton *m_cmdSendTest;
    QPlainTextEdit *m_txtPreview;
    QPushButton *m_cmdSaveCopies;
    QLineEdit *m_txtSendAt;
    QPushButton *m_cmdBack;
    QPushButton *m_cmdNext;
    QPushButton *m_cmdFinish;
    QPushButton *m_cmdExit;
    QGridLayout *m_promptRows;
    QTableWidget *m_tblValues;
    QPushButton *m_cmdLoadValues;
    QLabel *m_lblEmpty;
    QLabel *m_lblNote;
    QStringList m_tableColumns; // the prompts the table shows, in its columns from the third
    bool m_closingByWindow = false;
};

} // namespace corvel
