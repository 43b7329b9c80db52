#include "gui/MailSetupDialog.h"

#include "gui/ProblemLabel.h"
#include "gui/ServerStoreDialog.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace corvel {

MailSetupDialog::MailSetupDialog(MailSetupForm &form, QtDialogHost::TestSender testSender,
                                 QWidget *parent)
    : QDialog(parent)
    , m_form(form)
    , m_testSender(std::move(testSender))
{
    setObjectName(u"frmMailSetup"_s);

    QGroupBox *storesBox = buildStoresBox();
    buildSuggestionsBox();
    QGroupBox *transportBox = buildTransportBox();
    m_problem = newProblemLabel(this);
    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(storesBox, 1);
    layout->addWidget(m_suggestionsBox);
    layout->addWidget(transportBox);
    layout->addWidget(m_problem);
    layout->addWidget(m_buttons);

    fillTransport();
    fillStores();
    // Only now: filling must not read back as the user's edits.
    connectEdits();
    resize(640, 520);
    refresh();
}

QGroupBox *MailSetupDialog::buildStoresBox()
{
    m_stores = new QTableWidget(0, 2, this);
    m_stores->setHorizontalHeaderLabels({u"Name"_s, u"Folder"_s});
    m_stores->horizontalHeader()->setStretchLastSection(true);
    m_stores->verticalHeader()->hide();
    m_stores->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_stores->setSelectionMode(QAbstractItemView::SingleSelection);
    // A key typed in the list moves through it; renaming takes a double-click or F2.
    m_stores->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    auto *add = new QPushButton(u"&Add"_s, this);
    auto *addMenu = new QMenu(add);
    addMenu->addAction(u"&Folder..."_s, this, &MailSetupDialog::addStore);
    addMenu->addAction(u"&Server..."_s, this, &MailSetupDialog::addServer);
    add->setMenu(addMenu);
    auto *remove = new QPushButton(u"Re&move"_s, this);
    auto *up = new QPushButton(u"Move &Up"_s, this);
    auto *down = new QPushButton(u"Move &Down"_s, this);
    auto *storeButtons = new QVBoxLayout;
    for (QPushButton *button : {add, remove, up, down})
        storeButtons->addWidget(button);
    storeButtons->addStretch();
    m_drafts = new QComboBox(this);
    auto *storeRow = new QHBoxLayout;
    storeRow->addWidget(m_stores, 1);
    storeRow->addLayout(storeButtons);
    auto *draftsRow = new QFormLayout;
    draftsRow->addRow(u"New drafts &go to:"_s, m_drafts);
    auto *storesBox = new QGroupBox(u"Stores"_s, this);
    auto *storesLayout = new QVBoxLayout(storesBox);
    storesLayout->addLayout(storeRow);
    storesLayout->addLayout(draftsRow);

    connect(remove, &QPushButton::clicked, this, &MailSetupDialog::removeStore);
    connect(up, &QPushButton::clicked, this, [this] { moveStore(-1); });
    connect(down, &QPushButton::clicked, this, [this] { moveStore(1); });
    return storesBox;
}

// What the user already keeps elsewhere: offered, never added unasked.
void MailSetupDialog::buildSuggestionsBox()
{
    m_suggestions = new QListWidget(this);
    m_suggestions->setObjectName(u"lstFoundStores"_s);
    auto *addFound = new QPushButton(u"Add &Found Store"_s, this);
    addFound->setObjectName(u"btnAddFoundStore"_s);
    m_suggestionsBox = new QGroupBox(u"Found on this computer"_s, this);
    auto *suggestionsLayout = new QHBoxLayout(m_suggestionsBox);
    suggestionsLayout->addWidget(m_suggestions, 1);
    suggestionsLayout->addWidget(addFound, 0, Qt::AlignTop);

    connect(addFound, &QPushButton::clicked, this, &MailSetupDialog::addSuggestion);
}

QGroupBox *MailSetupDialog::buildTransportBox()
{
    m_kind = new QComboBox(this);
    m_kind->addItem(u"Do not send mail"_s);
    m_kind->addItem(u"SMTP server"_s);
    m_kind->addItem(u"sendmail program"_s);
    m_host = new QLineEdit(this);
    m_port = new QSpinBox(this);
    m_port->setRange(1, 65535);
    m_security = new QComboBox(this);
    m_security->addItem(u"None"_s);
    m_security->addItem(u"STARTTLS"_s);
    m_security->addItem(u"TLS"_s);
    m_user = new QLineEdit(this);
    m_passwordCommand = new QLineEdit(this);
    m_passwordCommand->setPlaceholderText(
        u"a command that prints the password, e.g. pass show mail"_s);
    m_sendmailCommand = new QLineEdit(this);
    m_from = new QLineEdit(this);
    m_from->setPlaceholderText(u"you@example.org"_s);
    m_maxPerMinute = new QLineEdit(this);
    m_maxPerHour = new QLineEdit(this);
    for (QLineEdit *limit : {m_maxPerMinute, m_maxPerHour})
        limit->setPlaceholderText(u"no limit"_s);
    m_test = new QPushButton(u"Send &test message"_s, this);
    auto *transportBox = new QGroupBox(u"Sending mail"_s, this);
    auto *transportLayout = new QFormLayout(transportBox);
    transportLayout->addRow(u"&Your address:"_s, m_from);
    transportLayout->addRow(u"&Send through:"_s, m_kind);
    transportLayout->addRow(u"Ser&ver:"_s, m_host);
    transportLayout->addRow(u"&Port:"_s, m_port);
    transportLayout->addRow(u"S&ecurity:"_s, m_security);
    transportLayout->addRow(u"Use&r:"_s, m_user);
    transportLayout->addRow(u"Pass&word command:"_s, m_passwordCommand);
    transportLayout->addRow(u"Sendmail comma&nd:"_s, m_sendmailCommand);
    transportLayout->addRow(u"At most per m&inute:"_s, m_maxPerMinute);
    transportLayout->addRow(u"At most per &hour:"_s, m_maxPerHour);
    transportLayout->addRow(QString(), m_test);

    return transportBox;
}

void MailSetupDialog::fillTransport()
{
    m_filling = true;
    const MailSetupForm::Transport &transport = m_form.transport();
    m_kind->setCurrentIndex(static_cast<int>(transport.kind));
    m_host->setText(transport.host);
    m_port->setValue(transport.port);
    m_security->setCurrentIndex(static_cast<int>(transport.security));
    m_user->setText(transport.user);
    m_passwordCommand->setText(transport.passwordCommand);
    m_sendmailCommand->setText(transport.sendmailCommand);
    m_from->setText(transport.from);
    m_maxPerMinute->setText(transport.maxPerMinute);
    m_maxPerHour->setText(transport.maxPerHour);
    m_filling = false;
}

void MailSetupDialog::connectEdits()
{
    connect(m_stores, &QTableWidget::cellChanged, this, &MailSetupDialog::storeEdited);
    connect(m_stores, &QTableWidget::itemSelectionChanged, this, &MailSetupDialog::refresh);
    connect(m_suggestions, &QListWidget::itemDoubleClicked, this, &MailSetupDialog::addSuggestion);
    connect(m_drafts, &QComboBox::currentTextChanged, this, [this](const QString &name) {
        if (!m_filling) {
            m_form.setDraftsStore(name);
            refresh();
        }
    });
    for (QLineEdit *edit : {m_host, m_user, m_passwordCommand, m_sendmailCommand, m_from,
                            m_maxPerMinute, m_maxPerHour})
        connect(edit, &QLineEdit::textChanged, this, &MailSetupDialog::transportEdited);
    connect(m_kind, &QComboBox::currentIndexChanged, this, &MailSetupDialog::transportEdited);
    connect(m_security, &QComboBox::currentIndexChanged, this, &MailSetupDialog::transportEdited);
    connect(m_port, &QSpinBox::valueChanged, this, &MailSetupDialog::transportEdited);
    connect(m_test, &QPushButton::clicked, this, &MailSetupDialog::sendTest);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void MailSetupDialog::fillStores()
{
    m_filling = true;
    m_stores->setRowCount(0);
    for (const LocalStore &store : m_form.stores()) {
        const int row = m_stores->rowCount();
        m_stores->insertRow(row);
        m_stores->setItem(row, 0, new QTableWidgetItem(store.name));
        m_stores->setItem(row, 1, new QTableWidgetItem(store.directory));
        if (!m_form.isEditable(row)) {
            for (int column : {0, 1})
                m_stores->item(row, column)->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        }
    }
    m_filling = false;
    fillDrafts();
    fillSuggestions();
}

void MailSetupDialog::fillSuggestions()
{
    m_suggestions->clear();
    for (const StoreSuggestion &suggestion : m_form.suggestions()) {
        auto *item = new QListWidgetItem(
            u"%1 \u2014 %2"_s.arg(suggestion.store.name, suggestion.store.directory),
            m_suggestions);
        item->setToolTip(u"Found as %1"_s.arg(suggestion.foundBy.join(u", "_s)));
    }
    m_suggestionsBox->setVisible(m_suggestions->count() > 0);
    if (m_suggestions->count() > 0)
        m_suggestions->setCurrentRow(0);
}

void MailSetupDialog::addSuggestion()
{
    const int row = m_suggestions->currentRow();
    const std::vector<StoreSuggestion> suggestions = m_form.suggestions();
    if (row < 0 || row >= static_cast<int>(suggestions.size()))
        return;
    m_form.addSuggestion(suggestions[row]);
    fillStores();
    m_stores->selectRow(static_cast<int>(m_form.stores().size()) - 1);
    refresh();
}

void MailSetupDialog::fillDrafts()
{
    m_filling = true;
    m_drafts->clear();
    for (const LocalStore &store : m_form.stores())
        m_drafts->addItem(store.name);
    m_drafts->setCurrentIndex(m_drafts->findText(m_form.draftsStore()));
    m_filling = false;
}

void MailSetupDialog::storeEdited(int row, int column)
{
    if (m_filling)
        return;
    const QString text = m_stores->item(row, column)->text();
    if (column == 0) {
        m_form.setStoreName(row, text);
        fillDrafts();
    } else {
        m_form.setStoreDirectory(row, text);
    }
    refresh();
}

void MailSetupDialog::addStore()
{
    const QString directory =
        QFileDialog::getExistingDirectory(this, u"Choose the store's folder"_s);
    if (directory.isEmpty())
        return;
    m_form.addStore({QFileInfo(directory).fileName(), directory});
    fillStores();
    m_stores->selectRow(static_cast<int>(m_form.stores().size()) - 1);
    refresh();
}

void MailSetupDialog::addServer()
{
    ServerStoreForm server;
    ServerStoreDialog dialog(server, m_form.stores(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_form.addServer(server);
    fillStores();
    m_stores->selectRow(static_cast<int>(m_form.stores().size()) - 1);
    refresh();
}

void MailSetupDialog::removeStore()
{
    m_form.removeStore(m_stores->currentRow());
    fillStores();
    refresh();
}

void MailSetupDialog::moveStore(int delta)
{
    const int row = m_stores->currentRow();
    m_form.moveStore(row, delta);
    fillStores();
    m_stores->selectRow(std::clamp(row + delta, 0, m_stores->rowCount() - 1));
    refresh();
}

void MailSetupDialog::transportEdited()
{
    if (m_filling)
        return;
    MailSetupForm::Transport &transport = m_form.transport();
    transport.kind = static_cast<MailSetupForm::TransportKind>(m_kind->currentIndex());
    transport.host = m_host->text();
    transport.port = m_port->value();
    transport.security = static_cast<MailSetupForm::Security>(m_security->currentIndex());
    transport.user = m_user->text();
    transport.passwordCommand = m_passwordCommand->text();
    transport.sendmailCommand = m_sendmailCommand->text();
    transport.from = m_from->text();
    transport.maxPerMinute = m_maxPerMinute->text();
    transport.maxPerHour = m_maxPerHour->text();
    refresh();
}

void MailSetupDialog::sendTest()
{
    if (!m_testSender)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const QString result = m_testSender(m_form);
    QApplication::restoreOverrideCursor();
    QMessageBox::information(this, windowTitle(), result);
}

void MailSetupDialog::refresh()
{
    const auto kind = m_form.transport().kind;
    const bool smtp = kind == MailSetupForm::TransportKind::Smtp;
    for (QWidget *field : {static_cast<QWidget *>(m_host), static_cast<QWidget *>(m_port),
                           static_cast<QWidget *>(m_security), static_cast<QWidget *>(m_user),
                           static_cast<QWidget *>(m_passwordCommand)})
        field->setEnabled(smtp);
    m_sendmailCommand->setEnabled(kind == MailSetupForm::TransportKind::Sendmail);
    if (m_testSender) {
        m_test->setEnabled(m_form.canSendTest());
        m_test->setToolTip(u"Sends a short message to your address over these settings, "
                           "before they are saved."_s);
    } else {
        m_test->setEnabled(false);
        m_test->setToolTip(u"Sending mail is not available in this version yet."_s);
    }
    const QString problem = m_form.problem();
    m_problem->setText(problem);
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(problem.isEmpty());
}

} // namespace corvel
