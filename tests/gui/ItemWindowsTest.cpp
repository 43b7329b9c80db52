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
        ContactCard card{QStringLiteral("/store/Contacts/ana ruiz.vcf"),
                         {{Kind::Name, {}, QStringLiteral("Ana Ruiz")},
                          {Kind::Email, QStringLiteral("work"), QStringLiteral("ana@example.org")},
                          {Kind::Phone, QStringLiteral("cell"), QStringLiteral("+34 600")},
                          {Kind::Address, {}, QStringLiteral("Calle Mayor 1, Madrid")},
                          {Kind::Organisation, {}, QStringLiteral("Tessary")},
                          {Kind::Categories, {}, QStringLiteral("Friends, Work")},
                          {Kind::Note, {}, QStringLiteral("<b>not markup</b>\nsecond line")}}};
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");

        QPointer<ContactCardWindow> window =
            new ContactCardWindow(QStringLiteral("Ruiz, Ana"), card);
        window->show();
        const QStringList texts = labelTexts(*window);
        for (const VCardDetail &detail : card.details) {
            QVERIFY2(texts.contains(detail.value), qPrintable(detail.value));
            QVERIFY(texts.contains(ContactCardWindow::labelFor(detail)));
        }
        QVERIFY(texts.contains(QStringLiteral("E-mail (work):")));

        auto *open = window->findChild<QPushButton *>(QStringLiteral("openInAddressBook"));
        QVERIFY(open && open->isEnabled());
        QTest::mouseClick(open, Qt::LeftButton);
        QCOMPARE(catcher.opened, QList<QUrl>{QUrl::fromLocalFile(card.path)});

        // Non-modal and independent: a second card opens beside the first.
        auto *second = new ContactCardWindow(QString(), ContactCard{});
        second->show();
        QVERIFY(window->isVisible());
        QVERIFY(
            !second->findChild<QPushButton *>(QStringLiteral("openInAddressBook"))->isEnabled());
        window->close();
        second->close();
        QTRY_VERIFY(window.isNull());
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    }
};

QTEST_MAIN(ItemWindowsTest)
#include "ItemWindowsTest.moc"
