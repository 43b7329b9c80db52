#include "gui/MailSetupDialog.h"
#include "gui/ServerStoreDialog.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSet>
#include <QTableWidget>
#include <QtTest>

using namespace corvel;
using namespace Qt::StringLiterals;

class MailSetupDialogTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void foundStoresAreAddedOneByOneOnRequest()
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

    void everyShortcutLeadsToOnePlace()
    {
        MailSetupForm form;
        ServerStoreForm server;
        const MailSetupDialog mailSetup(form, {});
        const ServerStoreDialog serverStore(server, {});
        for (const QDialog *dialog :
             {static_cast<const QDialog *>(&mailSetup), static_cast<const QDialog *>(&serverStore)})
            checkShortcuts(*dialog);
    }

private:
    static void checkShortcuts(const QDialog &dialog)
    {
        QSet<QChar> keys{u'o', u'c'}; // OK and Cancel, on desktops that give them shortcuts
        for (const QWidget *widget : dialog.findChildren<QWidget *>()) {
            const auto *button = qobject_cast<const QAbstractButton *>(widget);
            const auto *label = qobject_cast<const QLabel *>(widget);
            const QString text = button ? button->text() : label ? label->text() : QString();
            const qsizetype amp = text.indexOf(u'&');
            if (amp >= 0 && amp + 1 < text.size()) {
                QVERIFY2(!keys.contains(text[amp + 1].toLower()), qPrintable(text));
                keys.insert(text[amp + 1].toLower());
            }
        }
    }
};

QTEST_MAIN(MailSetupDialogTest)
#include "MailSetupDialogTest.moc"
