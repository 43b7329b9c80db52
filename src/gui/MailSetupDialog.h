#pragma once

#include "gui/QtDialogHost.h"
#include "presentation/MailSetupForm.h"

#include <QDialog>

class QComboBox;
class QDialogButtonBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace corvel {

// "Mail Setup...": the stores and the transport, shown and edited over a MailSetupForm,
// which holds the rules.
class MailSetupDialog : public QDialog
{
    Q_OBJECT
public:
    MailSetupDialog(MailSetupForm &form, QtDialogHost::TestSender testSender,
                    QWidget *parent = nullptr);

private:
    QGroupBox *buildStoresBox();
    void buildSuggestionsBox();
    QGroupBox *buildTransportBox();
    void fillTransport();
    // The user's edits reach the form only through these, connected once the fields are filled.
    void connectEdits();
    void fillStores();
    void fillDrafts();
    void fillSuggestions();
    void addSuggestion();
    void storeEdited(int row, int column);
    void addStore();
    void addServer();
    void removeStore();
    void moveStore(int delta);
    void transportEdited();
    void sendTest();
    void refresh();

    MailSetupForm &m_form;
    QtDialogHost::TestSender m_testSender;
    QTableWidget *m_stores = nullptr;
    QComboBox *m_drafts = nullptr;
    QGroupBox *m_suggestionsBox = nullptr;
    QListWidget *m_suggestions = nullptr;
    QComboBox *m_kind = nullptr;
    QLineEdit *m_host = nullptr;
    QSpinBox *m_port = nullptr;
    QComboBox *m_security = nullptr;
    QLineEdit *m_user = nullptr;
    QLineEdit *m_passwordCommand = nullptr;
    QLineEdit *m_sendmailCommand = nullptr;
    QLineEdit *m_from = nullptr;
    QLineEdit *m_maxPerMinute = nullptr;
    QLineEdit *m_maxPerHour = nullptr;
    QPushButton *m_test = nullptr;
    QLabel *m_problem = nullptr;
    QDialogButtonBox *m_buttons = nullptr;
    bool m_filling = false;
};

} // namespace corvel
