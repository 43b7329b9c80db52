#include "remote/MultistatusReader.h"

#include <gtest/gtest.h>

#include <QFile>

using namespace Qt::StringLiterals;

namespace corvel {
namespace {

// The fuzz seed is a sync answer with every property the sync reads.
TEST(MultistatusReader, ReadsWhatASyncUses)
{
    QFile seed(u"" CORVEL_SOURCE_DIR "/fuzz/corpus/multistatus/sync.xml"_s);
    ASSERT_TRUE(seed.open(QIODevice::ReadOnly));
    const Result<Multistatus> read = MultistatusReader::read(seed.readAll());
    ASSERT_TRUE(read.ok()) << read.error().toStdString();
    ASSERT_EQ(read->resources.size(), 3u);
    const DavResource &book = read->resources[0];
    EXPECT_TRUE(book.isAddressBook && book.offersSyncCollection);
    EXPECT_EQ(book.displayName, u"Contacts"_s);
    EXPECT_EQ(book.principal, u"/user/"_s);
    EXPECT_EQ(book.addressBookHome, u"/user/"_s);
    EXPECT_EQ(read->resources[1].etag, u"\"1\""_s);
    EXPECT_EQ(read->resources[1].addressData, "BEGIN:VCARD\nUID:a\nEND:VCARD\n");
    EXPECT_EQ(read->resources[2].status, 404);
    EXPECT_EQ(read->syncToken, u"http://radicale.org/ns/sync/2"_s);
}

TEST(MultistatusReader, RefusesWhatItCannotUse)
{
    const QByteArray head = R"(<d:multistatus xmlns:d="DAV:">)";
    const QByteArray failedProp =
        head + R"(<d:response><d:href>/a</d:href><d:propstat><d:prop><d:getetag>x</d:getetag>)"
               R"(</d:prop><d:status>HTTP/1.1 403 Forbidden</d:status></d:propstat></d:response>)"
               R"(</d:multistatus>)";
    const Result<Multistatus> read = MultistatusReader::read(failedProp);
    ASSERT_TRUE(read.ok());
    EXPECT_TRUE(read->resources[0].etag.isEmpty()); // a property refused is no property

    for (const QByteArray &bad : {QByteArray("<html/>"), head + "<d:response>",
                                  head + "<d:response></d:response></d:multistatus>",
                                  head + "<d:response><d:href>" + QByteArray(9000, 'a')})
        EXPECT_FALSE(MultistatusReader::read(bad).ok()) << bad.left(60).constData();
}

} // namespace
} // namespace corvel
