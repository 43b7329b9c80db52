#include "gui/ContactCardWindow.h"

#include <QDesktopServices>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

using namespace corvel;
using namespace Qt::StringLiterals;

// Stands in for the desktop's handler of local files.
class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public Q_SLOTS:
    void open(const QUrl &url) { opened.append(url); }
};

namespace {

QStringList labelTexts(const QWidget &window)
{
    QStringList texts;
    for (const QLabel *label : window.findChildren<QLabel *>())
        texts.append(label->text());
    return texts;
}

} // namespace

class ItemWindowsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cardShowsEveryDetailAndOpensItsFile()
    {
        using Kind = VCardDetail::Kind;
        ContactCard card{u"/store/Contacts/ana ruiz.vcf"_s,
                         {{Kind::Name, {}, u"Ana Ruiz"_s},
                          {Kind::Email, u"work"_s, u"ana@example.org"_s},
                          {Kind::Phone, u"cell"_s, u"+34 600"_s},
                          {Kind::Address, {}, u"Calle Mayor 1, Madrid"_s},
                          {Kind::Organisation, {}, u"Tessary"_s},
                          {Kind::Categories, {}, u"Friends, Work"_s},
                          {Kind::Note, {}, u"<b>not markup</b>\nsecond line"_s}}};
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler(u"file"_s, &catcher, "open");

        QPointer<ContactCardWindow> window = new ContactCardWindow(u"Ruiz, Ana"_s, card);
        window->show();
        const QStringList texts = labelTexts(*window);
        for (const VCardDetail &detail : card.details) {
            QVERIFY2(texts.contains(detail.value), qPrintable(detail.value));
            QVERIFY(texts.contains(ContactCardWindow::labelFor(detail)));
        }
        QVERIFY(texts.contains(u"E-mail (work):"_s));

        auto *open = window->findChild<QPushButton *>(u"openInAddressBook"_s);
        QVERIFY(open && open->isEnabled());
        QTest::mouseClick(open, Qt::LeftButton);
        QCOMPARE(catcher.opened, QList<QUrl>{QUrl::fromLocalFile(card.path)});

        // Non-modal and independent: a second card opens beside the first.
        auto *second = new ContactCardWindow(QString(), ContactCard{});
        second->show();
        QVERIFY(window->isVisible());
        QVERIFY(!second->findChild<QPushButton *>(u"openInAddressBook"_s)->isEnabled());
        window->close();
        second->close();
        QTRY_VERIFY(window.isNull());
        QDesktopServices::unsetUrlHandler(u"file"_s);
    }
};

QTEST_MAIN(ItemWindowsTest)
#include "ItemWindowsTest.moc"
