#include "gui/MailSetupDialog.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

using namespace corvel;
using namespace Qt::StringLiterals;

class MailSetupDialogTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void foundStoresAreAddedOneByOneOnRequest();
    void nothingFoundShowsNoList();
    void everyShortcutLeadsToOnePlace();
};

void MailSetupDialogTest::foundStoresAreAddedOneByOneOnRequest()
{
    MailSetupForm form;
    form.addStore({u"Personal Folders"_s, u"/home/u/personal"_s});
    form.setSuggestions({{{u"contacts"_s, u"/home/u/.contacts"_s}, {u"~/.contacts"_s}},
                         {{u"Maildir"_s, u"/home/u/Maildir"_s}, {u"~/Maildir"_s}}});
    MailSetupDialog dialog(form, {});
    dialog.show();
    auto *found = dialog.findChild<QListWidget *>(u"lstFoundStores"_s);
    auto *add = dialog.findChild<QPushButton *>(u"btnAddFoundStore"_s);
    QVERIFY(found && add);
    QVERIFY(found->isVisible());
    QCOMPARE(found->count(), 2);
    QCOMPARE(form.stores().size(), 1u); // offered, not added

    found->setCurrentRow(1);
    add->click();
    QCOMPARE(form.stores().size(), 2u);
    QCOMPARE(form.stores()[1], (LocalStore{u"Maildir"_s, u"/home/u/Maildir"_s}));
    QCOMPARE(dialog.findChild<QTableWidget *>()->rowCount(), 2);
    QCOMPARE(found->count(), 1);

    add->click();
    QCOMPARE(form.stores().size(), 3u);
    QVERIFY(!found->isVisible()); // nothing left to offer
}

void MailSetupDialogTest::nothingFoundShowsNoList()
{
    MailSetupForm form;
    form.addStore({u"Personal Folders"_s, u"/home/u/personal"_s});
    MailSetupDialog dialog(form, {});
    dialog.show();
    QVERIFY(!dialog.findChild<QListWidget *>(u"lstFoundStores"_s)->isVisible());
}

void MailSetupDialogTest::everyShortcutLeadsToOnePlace()
{
    MailSetupForm form;
    MailSetupDialog dialog(form, {});
    QStringList texts;
    for (const QAbstractButton *button : dialog.findChildren<QAbstractButton *>())
        texts << button->text();
    for (const QLabel *label : dialog.findChildren<QLabel *>())
        texts << label->text();
    // The dialog's own buttons take Alt+O and Alt+C on desktops that give them shortcuts.
    QSet<QChar> keys{u'o', u'c'};
    for (const QString &text : std::as_const(texts)) {
        const qsizetype amp = text.indexOf(u'&');
        if (amp < 0 || amp + 1 >= text.size() || text[amp + 1] == u'&')
            continue;
        const QChar key = text[amp + 1].toLower();
        QVERIFY2(!keys.contains(key), qPrintable(text));
        keys.insert(key);
    }
}

QTEST_MAIN(MailSetupDialogTest)
#include "MailSetupDialogTest.moc"
