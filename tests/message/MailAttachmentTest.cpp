#include "common/NamedCases.h"
#include "message/MailMessage.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <functional>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace corvel {
namespace {

class MailAttachmentTest : public ::testing::Test
{
protected:
    QTemporaryDir tmp;

    QString file(const QString &name, const QByteArray &content)
    {
        const QString path = tmp.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
        return path;
    }
    static MailMessage readBack(const MailMessage &message)
    {
        Result<QByteArray> bytes = message.fileBytes();
        EXPECT_TRUE(bytes.ok()) << bytes.error().toStdString();
        Result<MailMessage> parsed = MailMessage::parse(bytes.ok() ? *bytes : QByteArray());
        EXPECT_TRUE(parsed.ok()) << parsed.error().toStdString();
        return parsed.ok() ? std::move(*parsed) : MailMessage::blank();
    }
    static QByteArray allBytes()
    {
        QByteArray bytes;
        for (int i = 0; i < 256 * 4; ++i)
            bytes += char(i & 0xff);
        return bytes;
    }
};

TEST_F(MailAttachmentTest, FilesSurviveTheFileFormByteForByteWithTheirNames)
{
    MailMessage letter = MailMessage::blank();
    letter.setBody(u"See the files.\n"_s);
    const QByteArray binary = allBytes();
    const QByteArray text = "line one\r\nline two\n\xc3\xa9t\xc3\xa9\n";
    ASSERT_TRUE(letter.addAttachment(file(u"Résumé 2026 – été.bin"_s, binary)).ok());
    ASSERT_TRUE(letter.addAttachment(file(u"notes.txt"_s, text)).ok());
    ASSERT_TRUE(letter.addAttachment(file(u"empty.dat"_s, {})).ok());

    const Result<QByteArray> bytes = letter.fileBytes();
    ASSERT_TRUE(bytes.ok());
    // Non-ASCII names go as RFC 2231 parameters; every part is base64, so nothing is 8-bit.
    EXPECT_TRUE(bytes->contains("filename*=UTF-8''R%C3%A9sum%C3%A9")) << bytes->constData();
    EXPECT_TRUE(bytes->contains("Content-Transfer-Encoding: base64"));

    MailMessage again = readBack(letter);
    EXPECT_EQ(again.body(), u"See the files.\n"_s);
    // The empty file is typed as the MIME database has it.
    const std::vector<MailAttachment> list = again.attachments();
    EXPECT_EQ(list, (std::vector<MailAttachment>{
                        {u"Résumé 2026 – été.bin"_s, u"application/octet-stream"_s, binary.size()},
                        {u"notes.txt"_s, u"text/plain"_s, text.size()},
                        {u"empty.dat"_s, list.at(2).contentType, 0}}));
    EXPECT_EQ(*again.attachmentContent(0), binary);
    EXPECT_EQ(*again.attachmentContent(1), text);

    // A copy (what each generated message starts from) carries them too.
    Result<MailMessage> copy = again.copy();
    ASSERT_TRUE(copy.ok());
    EXPECT_EQ(copy->attachments(), list);

    // Removal takes the right one; the last one gone leaves the plain letter.
    ASSERT_TRUE(again.removeAttachment(1).ok());
    MailMessage fewer = readBack(again);
    ASSERT_EQ(fewer.attachments().size(), 2u);
    EXPECT_EQ(fewer.attachments()[1].fileName, u"empty.dat"_s);
    EXPECT_EQ(*fewer.attachmentContent(0), binary);
    ASSERT_TRUE(fewer.removeAttachment(1).ok());
    ASSERT_TRUE(fewer.removeAttachment(0).ok());
    EXPECT_FALSE(fewer.removeAttachment(0).ok());
    const Result<QByteArray> plain = readBack(fewer).fileBytes();
    ASSERT_TRUE(plain.ok());
    EXPECT_FALSE(plain->contains("multipart")) << plain->constData();
    EXPECT_EQ(readBack(fewer).body(), u"See the files.\n"_s);
}

// Binary bytes that start like a text format (a C comment, a shell line) are not declared text:
// a reader may change a text part's line ends or charset when saving it.
TEST_F(MailAttachmentTest, OnlyTextIsDeclaredText)
{
    QByteArray binary = "/*";
    binary += allBytes();
    const struct
    {
        QString name;
        QByteArray content;
        QString type;
    } cases[] = {
        {u"random.bin"_s, binary, u"application/octet-stream"_s},
        {u"script.sh"_s, "#!/bin/sh\n" + allBytes(), u"application/octet-stream"_s},
        {u"notes.txt"_s, "caf\xc3\xa9\tt\xc3\xa9\r\n\f", u"text/plain"_s},
        {u"main.c"_s, "/* comment */\nint main() { return 0; }\n", u"text/x-csrc"_s},
    };
    for (const auto &c : cases) {
        MailMessage letter = MailMessage::blank();
        ASSERT_TRUE(letter.addAttachment(c.name, c.content).ok());
        ASSERT_EQ(letter.attachments().size(), 1u);
        EXPECT_EQ(letter.attachments()[0].contentType, c.type) << c.name.toStdString();
        EXPECT_EQ(*readBack(letter).attachmentContent(0), c.content) << c.name.toStdString();
    }
}

TEST_F(MailAttachmentTest, AttachmentsOfALetterFromElsewhereAreListedAndTheTextIsNotOne)
{
    // An HTML alternative and the letter's text are no attachments; a named inline part is.
    Result<MailMessage> parsed = MailMessage::parse(
        "Subject: x\nMIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=m\n\n"
        "--m\nContent-Type: multipart/alternative; boundary=a\n\n"
        "--a\nContent-Type: text/plain\n\nhello\n--a\nContent-Type: text/html\n\n<p>hello</p>\n"
        "--a--\n--m\nContent-Type: image/png; name=dot.png\nContent-Transfer-Encoding: base64\n\n"
        "iVBORw0K\n--m--\n");
    ASSERT_TRUE(parsed.ok());
    const std::vector<MailAttachment> list = parsed->attachments();
    EXPECT_EQ(list, (std::vector<MailAttachment>{{u"dot.png"_s, u"image/png"_s, 6}}));
    ASSERT_TRUE(parsed->addAttachment(u"../../etc/a\nb.txt"_s, "x").ok());
    // Folders and control characters never reach the header.
    EXPECT_EQ(readBack(*parsed).attachments().back().fileName, u"a_b.txt"_s);
}

struct Refusal
{
    const char *name;
    std::function<QString(QTemporaryDir &)> make;
    const char *reason;
};

CORVEL_PRINT_BY_NAME(Refusal)

class AttachmentRefusalTest : public ::testing::TestWithParam<Refusal>
{
};

TEST_P(AttachmentRefusalTest, IsRefusedWithTheReasonAndLeavesTheLetter)
{
    QTemporaryDir tmp;
    MailMessage letter = MailMessage::blank();
    letter.setBody(u"text"_s);
    const QString path = GetParam().make(tmp);
    const Status added = letter.addAttachment(path);
    ASSERT_FALSE(added.ok());
    EXPECT_TRUE(added.error().contains(QString::fromUtf8(GetParam().reason)))
        << added.error().toStdString();
    EXPECT_TRUE(letter.attachments().empty());
}

QString sized(QTemporaryDir &tmp, const QString &name, qint64 size)
{
    QFile f(tmp.filePath(name));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    EXPECT_TRUE(f.resize(size)); // sparse: no time spent writing
    return f.fileName();
}

const Refusal Refusals[] = {
    {"Missing", [](QTemporaryDir &tmp) { return tmp.filePath(u"nothing"_s); }, "no such file"},
    {"Folder", [](QTemporaryDir &tmp) { return tmp.path(); }, "not a file"},
    // Opening a pipe with no writer would wait for ever.
    {"Pipe",
     [](QTemporaryDir &tmp) {
         const QString path = tmp.filePath(u"pipe"_s);
         EXPECT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
         return path;
     },
     "not a file"},
    {"Oversized",
     [](QTemporaryDir &tmp) {
         return sized(tmp, u"huge.iso"_s, MailMessage::MaxAttachmentBytes + 1);
     },
     "at most 25.0 MiB"},
};

INSTANTIATE_TEST_SUITE_P(Files, AttachmentRefusalTest, ::testing::ValuesIn(Refusals),
                         corvel::test::ByName());

TEST_F(MailAttachmentTest, TheBoundCountsWhatIsAttachedAlready)
{
    MailMessage letter = MailMessage::blank();
    ASSERT_TRUE(
        letter.addAttachment(sized(tmp, u"a"_s, MailMessage::MaxAttachmentBytes - 10)).ok());
    ASSERT_TRUE(letter.addAttachment(sized(tmp, u"b"_s, 10)).ok());
    const Status third = letter.addAttachment(sized(tmp, u"c"_s, 1));
    ASSERT_FALSE(third.ok());
    EXPECT_TRUE(third.error().contains(u"attached already"_s)) << third.error().toStdString();
}

} // namespace
} // namespace corvel
