#include "presentation/CDialog.h"
#include "common/NamedCases.h"

#include <gtest/gtest.h>

#include <functional>

using namespace corvel;

namespace {

// Records what reached the dialog and answers as the test says.
class ScriptedFileDialog : public CDialogRunner
{
public:
    std::function<CDialogReply(const CDialogRequest &)> answer;
    CDialogRequest seen;
    int runs = 0;

    CDialogReply run(const CDialogRequest &request) override
    {
        seen = request;
        ++runs;
        return answer ? answer(request) : CDialogReply{};
    }
};

CDialogReply chosen(const QString &buffer, const QString &directory = {})
{
    CDialogReply reply;
    reply.chosen = true;
    reply.fileBuffer = buffer;
    reply.directory = directory;
    return reply;
}

class TextTarget : public FileDialogTarget
{
public:
    Kind targetKind = Kind::Text;
    mutable QString savedTo;
    QString loadedFrom;
    Kind kind() const override { return targetKind; }
    Status loadFile(const QString &path) override
    {
        loadedFrom = path;
        return {};
    }
    Status saveFile(const QString &path) const override
    {
        savedTo = path;
        return {};
    }
};

} // namespace

TEST(CDialogFilter, PairsAreJoinedAndOnlyPlainSpecsAreBracketed)
{
    ScriptedFileDialog runner;
    CDialog dialog(runner);
    dialog.AddFilter(QStringLiteral("Text"), QStringLiteral("*.txt"));
    dialog.AddFilter(QStringLiteral("All"), QStringLiteral("*.*;*.bak"), true);
    EXPECT_EQ(dialog.Filter(), QStringLiteral("Text (*.txt)|*.txt|All|*.*;*.bak"));
    EXPECT_EQ(dialog.FilterIndex, 2);
}

TEST(CDialogFilter, ShowingRestartsTheListButSettingTheFilterKeepsAdding)
{
    ScriptedFileDialog runner;
    CDialog dialog(runner);
    dialog.AddFilter(QStringLiteral("Text"), QStringLiteral("*.txt"));
    (void)dialog.ShowOpen();
    dialog.AddFilter(QStringLiteral("Data"), QStringLiteral("*.dat"));
    EXPECT_EQ(dialog.Filter(), QStringLiteral("Data (*.dat)|*.dat"));

    (void)dialog.ShowOpen();
    dialog.setFilter(QStringLiteral("Text (*.txt)|*.txt"));
    dialog.AddFilter(QStringLiteral("Data"), QStringLiteral("*.dat"));
    EXPECT_EQ(dialog.Filter(), QStringLiteral("Text (*.txt)|*.txt|Data (*.dat)|*.dat"));
}

TEST(CDialogFilter, AddressListFilterReachesTheDialogZeroSeparated)
{
    ScriptedFileDialog runner;
    CDialog dialog(runner);
    dialog.setFilter(QStringLiteral("Text (*.txt)|*.txt|All Files |*.*"));
    dialog.DialogTitle = QStringLiteral("Save Address List");
    dialog.DefaultExt = QStringLiteral("txt");
    dialog.InitDir = QStringLiteral("/home/a");
    dialog.Flags = CDialog::OFN_SHOWHELP | CDialog::OFN_OVERWRITEPROMPT;
    (void)dialog.ShowSave();
    const QChar z(u'\0');
    EXPECT_EQ(runner.seen.filter, QStringLiteral("Text (*.txt)") + z + QStringLiteral("*.txt") + z +
                                      QStringLiteral("All Files ") + z + QStringLiteral("*.*"));
    EXPECT_EQ(runner.seen.action, CDialogRequest::Action::Save);
    EXPECT_EQ(runner.seen.title, QStringLiteral("Save Address List"));
    EXPECT_EQ(runner.seen.defaultExt, QStringLiteral("txt"));
    EXPECT_EQ(runner.seen.initDir, QStringLiteral("/home/a"));
    // Help is never offered; a save hides the read-only box and keeps it hidden.
    EXPECT_EQ(runner.seen.flags, CDialog::OFN_OVERWRITEPROMPT | CDialog::OFN_HIDEREADONLY);
    EXPECT_TRUE(dialog.Flags & CDialog::OFN_HIDEREADONLY);
}

struct DefaultFilterCase
{
    const char *name;
    FileDialogTarget::Kind kind;
    const char *filter;
    int filterIndex;
};

class CDialogDefaultFilters : public testing::TestWithParam<DefaultFilterCase>
{
};

TEST_P(CDialogDefaultFilters, AddsTheKindsPairsThenAllFiles)
{
    ScriptedFileDialog runner;
    CDialog dialog(runner);
    dialog.FilterIndex = 7;
    dialog.AddDefaultFilters(GetParam().kind);
    EXPECT_EQ(dialog.Filter(), QString::fromUtf8(GetParam().filter));
    EXPECT_EQ(dialog.FilterIndex, GetParam().filterIndex);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, CDialogDefaultFilters,
    testing::Values(
        DefaultFilterCase{"RichText", FileDialogTarget::Kind::RichText,
                          "All Document files|*.rtf;*.txt|Rich Text Box files (*.rtf)|*.rtf|"
                          "Text Files (*.txt)|*.txt|All Files (*.*)|*.*|",
                          2},
        DefaultFilterCase{"Picture", FileDialogTarget::Kind::Picture,
                          "All Image files|*.bmp;*.dib;*.wmf;*.emf;*.ico;*.cur|Bitmaps|*.bmp;*.dib|"
                          "Metafiles|*.wmf;*.emf|Icons|*.ico;*.cur|All Files (*.*)|*.*|",
                          2},
        DefaultFilterCase{"List", FileDialogTarget::Kind::List,
                          "Data Files|*.dat;*.lst|All Files (*.*)|*.*|", 2},
        DefaultFilterCase{"Text", FileDialogTarget::Kind::Text,
                          "Text files  (*.txt)|*.txt|All Files (*.*)|*.*|", 2},
        DefaultFilterCase{"Other", FileDialogTarget::Kind::Other, "", 7}),
    corvel::test::ByName());

struct MustExistCase
{
    const char *name;
    int code;
    std::uint32_t before;
    std::uint32_t after;
};

class CDialogFileMustExist : public testing::TestWithParam<MustExistCase>
{
};

TEST_P(CDialogFileMustExist, WritesItsFlagsAndReadsBackTheSameCode)
{
    ScriptedFileDialog runner;
    CDialog dialog(runner);
    dialog.Flags = GetParam().before;
    dialog.setFileMustExist(GetParam().code);
    EXPECT_EQ(dialog.Flags, GetParam().after);
    EXPECT_EQ(dialog.FileMustExist(), GetParam().code);
}

constexpr std::uint32_t Path = CDialog::OFN_PATHMUSTEXIST;
constexpr std::uint32_t File = CDialog::OFN_FILEMUSTEXIST;
constexpr std::uint32_t Create = CDialog::OFN_CREATEPROMPT;
constexpr std::uint32_t Overwrite = CDialog::OFN_OVERWRITEPROMPT;

INSTANTIATE_TEST_SUITE_P(
    Codes, CDialogFileMustExist,
    testing::Values(MustExistCase{"NothingChanged", 0, 0, 0},
                    MustExistCase{"FileAndPath", 1, 0, Path | File},
                    MustExistCase{"PathOnly", 2, 0, Path},
                    MustExistCase{"CreatePromptDropsExistence", 3, Path | File, Create},
                    MustExistCase{"CreatePromptInExistingPath", 4, File, Path | Create},
                    MustExistCase{"OverwriteAnywhere", 5, Path, Overwrite},
                    MustExistCase{"OverwriteInExistingPath", 6, 0, Path | Overwrite}),
    corvel::test::ByName());

TEST(CDialogFlags, MultiSelectAndReadOnlyModesSetTheirBits)
{
    ScriptedFileDialog runner;
    CDialog dialog(runner);
    dialog.setMultiSelect(2);
    EXPECT_EQ(dialog.Flags, CDialog::OFN_ALLOWMULTISELECT | CDialog::OFN_EXPLORER);
    dialog.setMultiSelect(1);
    EXPECT_EQ(dialog.Flags, CDialog::OFN_ALLOWMULTISELECT);
    EXPECT_EQ(dialog.MultiSelect(), 1);
    dialog.setMultiSelect(0);
    EXPECT_EQ(dialog.Flags, 0U);

    dialog.setFileReadOnly(1);
    EXPECT_EQ(dialog.FileReadOnly(), 1);
    dialog.setFileReadOnly(2);
    EXPECT_EQ(dialog.FileReadOnly(), 2);
    dialog.setFileReadOnly(0);
    EXPECT_EQ(dialog.Flags, 0U);
    dialog.setFileMustBeWriteable(true);
    EXPECT_TRUE(dialog.FileMustBeWritable());
    EXPECT_EQ(dialog.Flags, CDialog::OFN_NOREADONLYRETURN);
}

TEST(CDialogResult, ChosenFileGivesNameTitleDirectoryAndOneSelection)
{
    ScriptedFileDialog runner;
    runner.answer = [](const CDialogRequest &request) {
        CDialogReply reply =
            chosen(QStringLiteral("/data/list.backup.txt") + QChar(u'\0'), QStringLiteral("/data"));
        reply.filterIndex = 2;
        reply.flags = request.flags;
        return reply;
    };
    CDialog dialog(runner);
    dialog.Error = 5;
    ASSERT_TRUE(dialog.ShowOpen());
    EXPECT_EQ(dialog.Filename, QStringLiteral("/data/list.backup.txt"));
    EXPECT_EQ(dialog.FileTitle, QStringLiteral("list"));
    EXPECT_EQ(dialog.InitDir, QStringLiteral("/data"));
    EXPECT_EQ(dialog.FilterIndex, 2);
    EXPECT_EQ(dialog.Error, 0);
    EXPECT_EQ(dialog.SelectedFileCount(), 1);
    EXPECT_EQ(dialog.SelectedFile(1), QStringLiteral("/data/list.backup.txt"));
    EXPECT_EQ(dialog.SelectedFile(0), QString());
    EXPECT_EQ(dialog.SelectedFile(2), QString());
}

TEST(CDialogResult, NoChangeDirKeepsTheInitialFolder)
{
    ScriptedFileDialog runner;
    runner.answer = [](const CDialogRequest &request) {
        CDialogReply reply =
            chosen(QStringLiteral("/elsewhere/a.txt"), QStringLiteral("/elsewhere"));
        reply.flags = request.flags;
        return reply;
    };
    CDialog dialog(runner);
    dialog.InitDir = QStringLiteral("/start");
    dialog.Flags = CDialog::OFN_NOCHANGEDIR;
    ASSERT_TRUE(dialog.ShowOpen());
    EXPECT_EQ(dialog.InitDir, QStringLiteral("/start"));
}

TEST(CDialogResult, MultipleSelectionJoinsTheFolderToEachName)
{
    ScriptedFileDialog runner;
    runner.answer = [](const CDialogRequest &request) {
        const QChar sep = request.separator;
        CDialogReply reply = chosen(QStringLiteral("/my docs") + sep + QStringLiteral("a b.txt") +
                                        sep + QStringLiteral("b.txt") + sep + sep,
                                    QStringLiteral("/my docs"));
        reply.flags = request.flags;
        return reply;
    };
    CDialog dialog(runner);
    // Names on this system hold blanks, so even the plain mode separates them with zeros.
    dialog.setMultiSelect(1);
    ASSERT_TRUE(dialog.ShowOpen());
    EXPECT_EQ(runner.seen.separator, QChar(u'\0'));
    ASSERT_EQ(dialog.SelectedFileCount(), 2);
    EXPECT_EQ(dialog.SelectedFile(1), QStringLiteral("/my docs/a b.txt"));
    EXPECT_EQ(dialog.SelectedFile(2), QStringLiteral("/my docs/b.txt"));

    runner.answer = [](const CDialogRequest &request) {
        CDialogReply reply = chosen(QStringLiteral("/my docs/one.txt"), QStringLiteral("/my docs"));
        reply.flags = request.flags;
        return reply;
    };
    ASSERT_TRUE(dialog.ShowOpen());
    ASSERT_EQ(dialog.SelectedFileCount(), 1);
    EXPECT_EQ(dialog.SelectedFile(1), QStringLiteral("/my docs/one.txt"));
}

TEST(CDialogResult, CancelKeepsTheLastSelectionAndRaisesOnlyWhenAsked)
{
    ScriptedFileDialog runner;
    runner.answer = [](const CDialogRequest &) { return chosen(QStringLiteral("/a.txt")); };
    CDialog dialog(runner);
    ASSERT_TRUE(dialog.ShowOpen());

    runner.answer = [](const CDialogRequest &) { return CDialogReply{}; };
    EXPECT_FALSE(dialog.ShowOpen());
    EXPECT_EQ(dialog.Error, 0);
    EXPECT_EQ(dialog.SelectedFile(1), QStringLiteral("/a.txt"));

    dialog.CancelError = true;
    EXPECT_THROW((void)dialog.ShowSave(), CDialogCancelled);

    runner.answer = [](const CDialogRequest &) {
        CDialogReply reply;
        reply.extendedError = 0x3003;
        return reply;
    };
    EXPECT_FALSE(dialog.ShowOpen()); // a failure is not a cancel: no exception
    EXPECT_EQ(dialog.Error, 0x3003);
}

TEST(CDialogTarget, OpenLoadsAndSaveWritesTheOneChosenFile)
{
    ScriptedFileDialog runner;
    runner.answer = [](const CDialogRequest &) { return chosen(QStringLiteral("/n.txt")); };
    CDialog dialog(runner);
    TextTarget target;
    ASSERT_TRUE(dialog.ShowOpen(&target));
    EXPECT_EQ(target.loadedFrom, QStringLiteral("/n.txt"));
    EXPECT_EQ(runner.seen.filter.section(QChar(u'\0'), 0, 0),
              QStringLiteral("Text files  (*.txt)"));
    EXPECT_FALSE(dialog.SaveFrom(target).ok()); // the last call was an open

    ASSERT_TRUE(dialog.ShowSave(&target));
    EXPECT_EQ(target.savedTo, QStringLiteral("/n.txt"));
    EXPECT_FALSE(dialog.LoadInto(target).ok());

    int before = runner.runs;
    dialog.setAction(3);
    EXPECT_EQ(runner.runs, before);
    dialog.setAction(2);
    EXPECT_EQ(runner.seen.action, CDialogRequest::Action::Save);
}
