#include "presentation/MailSetupForm.h"
#include "support/CRegSettings.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

using namespace corvel;
using namespace Qt::StringLiterals;

namespace {

using Kind = MailSetupForm::TransportKind;

// Mail goes out over SMTP to that host; the transport, for more changes.
MailSetupForm::Transport &smtpTo(MailSetupForm &form, const QString &host)
{
    form.transport().kind = Kind::Smtp;
    form.transport().host = host;
    return form.transport();
}

// A CardDAV server's store, for more changes before it is added.
ServerStoreForm davServer(const std::function<void(ServerStoreForm &)> &edit = {})
{
    ServerStoreForm server;
    server.name = u"Work"_s;
    server.location = u"https://dav.example.org/"_s;
    server.user = u"ann"_s;
    server.passwordCommand = u"pass dav"_s;
    if (edit)
        edit(server);
    return server;
}

MailSetupForm withStores()
{
    MailSetupForm form;
    form.addStore({u"Personal Folders"_s, u"/home/u/mail"_s});
    form.addStore({u"Archive"_s, u"/home/u/archive"_s});
    return form;
}

TEST(MailSetupForm, OkNeedsSoundStoresAndACompleteTransport)
{
    struct Case
    {
        const char *what;
        std::function<void(MailSetupForm &)> edit;
        bool ok;
    };
    const Case cases[] = {
        {"as set up", [](MailSetupForm &) {}, true},
        {"no store", [](MailSetupForm &f) { f.removeStore(0), f.removeStore(0); }, false},
        {"blank name", [](MailSetupForm &f) { f.setStoreName(1, u"  "_s); }, false},
        {"name with edge blank", [](MailSetupForm &f) { f.setStoreName(1, u"Archive "_s); }, false},
        {"same name in other case",
         [](MailSetupForm &f) { f.setStoreName(1, u"personal folders"_s); }, false},
        {"no folder", [](MailSetupForm &f) { f.setStoreDirectory(1, QString()); }, false},
        {"drafts store unknown", [](MailSetupForm &f) { f.setDraftsStore(u"Gone"_s); }, false},
        {"smtp without host", [](MailSetupForm &f) { f.transport().kind = Kind::Smtp; }, false},
        {"smtp complete", [](MailSetupForm &f) { smtpTo(f, u"127.0.0.1"_s); }, true},
        {"smtp bad port", [](MailSetupForm &f) { smtpTo(f, u"h"_s).port = 0; }, false},
        {"password command without user",
         [](MailSetupForm &f) { smtpTo(f, u"h"_s).passwordCommand = u"pass show mail"_s; }, false},
        {"server", [](MailSetupForm &f) { f.addServer(davServer()); }, true},
        {"server not http or ldap",
         [](MailSetupForm &f) {
             f.addServer(davServer([](ServerStoreForm &s) { s.location = u"ftp://h/"_s; }));
         },
         false},
        {"server URL without host",
         [](MailSetupForm &f) {
             f.addServer(davServer([](ServerStoreForm &s) { s.location = u"https:///x"_s; }));
         },
         false},
        {"keyring without a password",
         [](MailSetupForm &f) {
             f.addServer(davServer([](ServerStoreForm &s) { s.keyring = true; }));
         },
         false},
        {"server named as a store",
         [](MailSetupForm &f) {
             f.addServer(davServer([](ServerStoreForm &s) { s.name = u"archive"_s; }));
         },
         false},
        {"drafts into a server's cache",
         [](MailSetupForm &f) { f.addServer(davServer()), f.setDraftsStore(u"Work"_s); }, false},
        {"sendmail without command",
         [](MailSetupForm &f) {
             f.transport().kind = Kind::Sendmail, f.transport().sendmailCommand = u" "_s;
         },
         false},
    };
    for (const Case &c : cases) {
        MailSetupForm form = withStores();
        c.edit(form);
        EXPECT_EQ(form.okEnabled(), c.ok) << c.what << ": " << form.problem().toStdString();
    }
}

TEST(MailSetupForm, DraftsStoreAndNewServersFollowRenamesAndRemovals)
{
    MailSetupForm form = withStores();
    EXPECT_EQ(form.draftsStore(), u"Personal Folders"_s);
    form.setStoreName(0, u"Mine"_s);
    EXPECT_EQ(form.draftsStore(), u"Mine"_s);
    form.moveStore(0, 1);
    EXPECT_EQ(form.stores().front().name, u"Archive"_s);
    form.moveStore(1, 1); // past the end: nothing
    EXPECT_EQ(form.stores().back().name, u"Mine"_s);
    form.removeStore(1);
    EXPECT_EQ(form.draftsStore(), u"Archive"_s);
    EXPECT_FALSE(form.canSendTest()); // no transport

    form.addServer(davServer());
    EXPECT_TRUE(form.isEditable(0) && form.isEditable(1)); // a folder, a server not yet saved
    form.setStoreName(1, u"Dav"_s);
    EXPECT_EQ(form.newServers().at(0).name, u"Dav"_s); // registered under the name shown
    EXPECT_EQ(form.withoutNewServers().stores().size(), 1u);
    form.removeStore(1);
    EXPECT_TRUE(form.newServers().empty());
    form.addStore({u"Registered"_s, u"ldap://ldap.example.org/"_s});
    EXPECT_FALSE(form.isEditable(1)); // its options and cache go by its name and URL
}

TEST(MailSetupForm, SavesTheStoresInTheirNewOrderAndNeverAPassword)
{
    QTemporaryDir config;
    CRegSettings settings(config.path());
    ASSERT_TRUE(settings.saveSetting(u"Stores"_s, u"Old"_s, u"/old"_s));
    MailSetupForm form = withStores();
    form.moveStore(1, -1);
    form.setDraftsStore(u"Personal Folders"_s);
    form.transport().kind = Kind::Smtp;
    form.transport().host = u" mail.example.invalid "_s;
    form.transport().port = 465;
    form.transport().security = MailSetupForm::Security::Tls;
    form.transport().user = u"u"_s;
    form.transport().passwordCommand = u"pass show mail"_s;
    form.transport().from = u"u@mail.example.invalid"_s;
    form.transport().maxPerMinute = u" 30 "_s;
    ASSERT_TRUE(form.save(settings));

    const auto stores = settings.allSettings(u"Stores"_s);
    ASSERT_EQ(stores.size(), 2);
    EXPECT_EQ(stores[0].first, u"Archive"_s);
    EXPECT_EQ(stores[1].first, u"Personal Folders"_s);
    EXPECT_EQ(settings.getSetting(u"Transport"_s, u"Kind"_s, {}), u"smtp"_s);
    EXPECT_EQ(settings.getSetting(u"Transport"_s, u"Security"_s, {}), u"tls"_s);
    for (const auto &[key, value] : settings.allSettings(u"Transport"_s))
        EXPECT_NE(key.toLower(), u"password"_s);

    MailSetupForm again;
    again.load(settings);
    EXPECT_EQ(again.stores(), form.stores());
    EXPECT_EQ(again.draftsStore(), u"Personal Folders"_s);
    EXPECT_EQ(again.transport().host, u"mail.example.invalid"_s);
    EXPECT_EQ(again.transport().port, 465);
    EXPECT_EQ(again.transport().security, MailSetupForm::Security::Tls);
    EXPECT_EQ(again.transport().from, u"u@mail.example.invalid"_s);
    EXPECT_EQ(again.transport().maxPerMinute, u"30"_s);
    EXPECT_EQ(again.transport().maxPerHour, u""_s);
    EXPECT_TRUE(again.canSendTest());
}

// Read as "no limit", a damaged limit would let everything go at once: it shows as it is.
TEST(MailSetupForm, ARateLimitThatIsNotACountKeepsOkDisabled)
{
    QTemporaryDir config;
    CRegSettings settings(config.path());
    ASSERT_TRUE(settings.saveSetting(u"Transport"_s, u"MaxPerHour"_s, u"lots"_s));
    MailSetupForm form;
    form.load(settings);
    form.addStore({u"Personal Folders"_s, u"/p"_s});
    EXPECT_EQ(form.transport().maxPerHour, u"lots"_s);
    EXPECT_TRUE(form.problem().contains(u"per hour"_s)) << form.problem().toStdString();
    for (const QString &bad : {u"-1"_s, u"2.5"_s}) {
        form.transport().maxPerHour = bad;
        EXPECT_FALSE(form.okEnabled()) << bad.toStdString();
    }
    for (const QString &good : {u""_s, u"0"_s, u"500"_s}) {
        form.transport().maxPerHour = good;
        EXPECT_TRUE(form.okEnabled()) << good.toStdString() << form.problem().toStdString();
    }
}

TEST(MailSetupForm, DamagedTransportSettingsReadAsDefaults)
{
    QTemporaryDir config;
    CRegSettings settings(config.path());
    ASSERT_TRUE(settings.saveSetting(u"Transport"_s, u"Kind"_s, u"pigeon"_s));
    ASSERT_TRUE(settings.saveSetting(u"Transport"_s, u"Port"_s, u"99999"_s));
    ASSERT_TRUE(settings.saveSetting(u"Transport"_s, u"Security"_s, u"???"_s));
    MailSetupForm form;
    form.load(settings);
    EXPECT_EQ(form.transport().kind, Kind::None);
    EXPECT_EQ(form.transport().port, 587);
    EXPECT_EQ(form.transport().security, MailSetupForm::Security::StartTls);
}

} // namespace

#include "presentation/TestMessage.h"

#include <QFile>

namespace {

TEST(TestMessage, GoesFromTheSenderToTheSenderOverTheFormsTransport)
{
    QTemporaryDir dir;
    const QString script = dir.filePath(u"fake-sendmail"_s);
    const QString captured = dir.filePath(u"captured.eml"_s);
    {
        QFile file(script);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("#!/bin/sh\necho \"$@\" > '%1.args'\ncat > '%1'\n")
                       .arg(captured)
                       .toUtf8());
    }
    QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    MailSetupForm form = withStores();
    form.transport().kind = Kind::Sendmail;
    form.transport().sendmailCommand = script;
    EXPECT_FALSE(form.canSendTest()); // no sender yet
    form.transport().from = u"me@example.invalid\r\nBcc: x@example.invalid"_s;
    EXPECT_FALSE(form.okEnabled()); // a sender cannot carry a header
    form.transport().from = u"me@example.invalid"_s;
    ASSERT_TRUE(form.canSendTest());

    const QString result = TestMessage::send(form);
    EXPECT_TRUE(result.contains(u"accepted"_s)) << result.toStdString();
    QFile message(captured);
    ASSERT_TRUE(message.open(QIODevice::ReadOnly));
    const QByteArray text = message.readAll();
    EXPECT_TRUE(text.startsWith("From: me@example.invalid\nTo: me@example.invalid\n"
                                "Subject: Corvel test message\n"))
        << text.constData();
    QFile args(captured + u".args"_s);
    ASSERT_TRUE(args.open(QIODevice::ReadOnly));
    EXPECT_EQ(args.readAll().trimmed(), QByteArray("-f me@example.invalid -- me@example.invalid"));
}

TEST(TestMessage, ATransportThatCannotRunIsReportedNotThrown)
{
    MailSetupForm form = withStores();
    form.transport().kind = Kind::Sendmail;
    form.transport().sendmailCommand = u"/nonexistent/sendmail"_s;
    form.transport().from = u"me@example.invalid"_s;
    const QString result = TestMessage::send(form);
    EXPECT_TRUE(result.startsWith(u"The test message cannot be sent"_s)) << result.toStdString();
}

} // namespace

namespace {

TEST(MailSetupForm, SuggestedStoresAreAddedOnlyWhenAskedAndNamedApart)
{
    QTemporaryDir home;
    const QString contacts = home.filePath(u"contacts"_s);
    const QString mail = home.filePath(u"mail"_s);
    MailSetupForm form;
    form.addStore({u"Contacts"_s, home.filePath(u"personal"_s)});
    form.setSuggestions(
        {{{u"contacts"_s, contacts}, {u"~/.contacts"_s}}, {{u"mail"_s, mail}, {u"~/.mail"_s}}});
    ASSERT_EQ(form.stores().size(), 1u);
    ASSERT_EQ(form.suggestions().size(), 2u);

    form.addSuggestion(form.suggestions().front());
    form.addSuggestion({{u"contacts"_s, home.filePath(u"elsewhere"_s)}, {}});
    ASSERT_EQ(form.stores().size(), 3u);
    EXPECT_EQ(form.stores()[1], (LocalStore{u"contacts 2"_s, contacts}));
    EXPECT_EQ(form.stores()[2].name.toStdString(), "contacts 3");
    EXPECT_TRUE(form.okEnabled()) << form.problem().toStdString();
    // What was added is no longer offered; removing it offers it again.
    ASSERT_EQ(form.suggestions().size(), 1u);
    EXPECT_EQ(form.suggestions().front().store.directory, mail);
    form.removeStore(1);
    EXPECT_EQ(form.suggestions().size(), 2u);
}

} // namespace

#include "presentation/EmptyTreeHint.h"

namespace {

TEST(EmptyTreeHint, SaysTheNextStepAndWhatMailSetupFoundUntilSomethingIsListed)
{
    const auto found = [](int count) {
        std::vector<StoreSuggestion> stores;
        for (int i = 1; i <= count; ++i)
            stores.push_back({{u"book%1"_s.arg(i), u"/h/book%1"_s.arg(i)},
                              i == 1 ? QStringList{u"~/book1"_s} : QStringList()});
        return stores;
    };
    const QString next = u"Select a contact folder and choose Load Contacts."_s;
    const struct
    {
        bool listed;
        int found;
        QString expected;
    } cases[] = {
        {false, 0, next},
        {false, 1,
         next + u"\n\nMail Setup found 1 folder of contacts or mail on this computer: book1 "
                "(~/book1). Options > Mail Setup... adds it."_s},
        {false, 5,
         next + u"\n\nMail Setup found 5 folders of contacts or mail on this computer: book1 "
                "(~/book1), book2 (/h/book2), book3 (/h/book3), 2 more. Options > Mail "
                "Setup... adds them."_s},
        {true, 2, QString()},
    };
    for (const auto &c : cases)
        EXPECT_EQ(EmptyTreeHint::text(c.listed, found(c.found)), c.expected) << c.found;
}

} // namespace
