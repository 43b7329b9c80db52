#include "ctl/CtlContext.h"
#include "groups/GroupStore.h"
#include "merge/GenerationSummary.h"
#include "merge/GenerationView.h"
#include "merge/MailGenerator.h"
#include "merge/MemberSelection.h"
#include "merge/MergeFields.h"
#include "merge/MergePrompter.h"
#include "merge/NewLetter.h"
#include "merge/PromptPlan.h"
#include "merge/PromptValuesFile.h"
#include "merge/RunJournal.h"
#include "merge/RunLock.h"
#include "merge/RunOutboxReport.h"
#include "session/OutlookSession.h"
#include "support/DataFile.h"
#include "tree/NodeKinds.h"
#include "workspace/Workspace.h"

#include <algorithm>

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#include <cstdio>
#include <iostream>
#include <map>
#include <string>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace corvel {

NodeHandle findFolder(const TreeList &tree, const QString &argument); // CtlList.cpp

namespace {

// Progress goes to standard error, one line per tenth, so a long run shows it is alive.
class TerminalView : public GenerationView
{
public:
    void show() override {}
    void setStatus(const QString &) override {}
    void setPercent(int percent) override
    {
        if (percent / 10 != m_shown / 10 && isatty(STDERR_FILENO))
            std::cerr << percent << "%\n";
        m_shown = percent;
    }
    void letEventsRun() override {}
    void critical(const QString &text) override { printError(u"corvelctl: "_s + text); }

private:
    int m_shown = 0;
};

// Prompts the plan from --prompt and --values leaves open are asked on a terminal, and are
// empty otherwise.
class TerminalPrompter : public MergePrompter
{
public:
    PromptReply GetName(const PromptRequest &request) override
    {
        if (!isatty(STDIN_FILENO))
            return {};
        std::cerr << request.caption.toStdString() << " (" << request.forWhom().toStdString()
                  << "): ";
        std::string line;
        if (!std::getline(std::cin, line))
            return {};
        return {QString::fromStdString(line)};
    }
};

// The letter by EntryId, or else the one letter with that subject in the Drafts folder New
// Message saves in.
QString findLetter(const Workspace &workspace, const QString &argument, QString &error)
{
    try {
        if (workspace.session()->GetItemFromID(argument))
            return argument;
    } catch (const OutlookError &) {
    }
    QStringList matches;
    if (const std::shared_ptr<OlFolder> drafts = workspace.draftsFolder())
        for (const auto &item : drafts->Items())
            if (item->Class() == olMailItem && item->Subject() == argument)
                matches.append(item->EntryID());
    if (matches.size() == 1)
        return matches.front();
    error = matches.isEmpty()
                ? u"no letter in Drafts has the EntryId or subject \"%1\""_s.arg(argument)
                : u"%1 letters in Drafts have the subject \"%2\": give the EntryId"_s
                      .arg(matches.size())
                      .arg(argument);
    return {};
}

// A group by its caption (one that two groups share is refused), else a contact folder.
Result<MemberSelection> findMembers(Workspace &workspace, const QString &argument)
{
    using R = Result<MemberSelection>;
    const TreeList &tree = workspace.tree();
    if (!GroupStore::groupsNamed(tree, argument).empty()) {
        const Result<NodeHandle> group = GroupStore::groupNamed(tree, argument);
        if (!group.ok())
            return R::failure(group.error());
        return MemberSelection::ofGroup(tree, *group);
    }
    const NodeHandle folderNode = findFolder(tree, argument);
    const NodeKind kind = folderNode ? nodeKind(tree, folderNode) : NodeKind::Store;
    if (kind != NodeKind::ContactFolder && kind != NodeKind::ContactFolderListed &&
        kind != NodeKind::ContactFolderListing)
        return R::failure(u"there is no mail group or contact folder \"%1\""_s.arg(argument));
    // A contact folder is mailed as its contacts are now, listed or not.
    const auto folder = workspace.session()->GetFolderFromID(
        tree.value(folderNode, NodeValueName::EntryId()).toString(),
        tree.value(folderNode, NodeValueName::StoreId()).toString());
    MemberSelection selection;
    selection.mode = MemberSelection::Mode::List;
    selection.key = u"folder:"_s + folder->StoreID() + u'/' + folder->EntryID();
    for (const auto &item : folder->Items())
        if (item->Class() == olContactItem)
            selection.members.push_back({item->FileAs(), item->Email1Address().trimmed()});
    return selection;
}

void printLines(const QStringList &lines)
{
    for (const QString &line : lines)
        printOut(line);
}

// What the Outbox did with the run's messages; with a wait, once delivery has settled or the
// time is up.
void printOutboxAccount(OlNamespace &session, const GenerationOutcome &outcome, int waitSeconds)
{
    if (outcome.outboxIds.isEmpty())
        return;
    RunOutboxReport report = RunOutboxReport::ask(session, outcome.outboxIds);
    const QDeadlineTimer deadline(std::chrono::seconds{waitSeconds});
    // Each look reads every queued message: looked at soon, then less often.
    unsigned long pauseMs = 200;
    while (!report.settled() && !deadline.hasExpired()) {
        QThread::msleep(pauseMs);
        pauseMs = std::min(pauseMs * 2, 2000UL);
        report = RunOutboxReport::ask(session, outcome.outboxIds);
    }
    for (const QString &line : report.lines())
        printOut(line);
}

const char MailUsage[] =
    "usage: corvelctl mail GROUP|FOLDER --letter ENTRYID|SUBJECT --mode personal|to|cc|bcc\n"
    "                      [--prompt NAME=VALUE]... [--values FILE.csv] [--dry-run]\n"
    "                      [--resume|--restart] [--wait SECONDS]";

} // namespace

int runNewLetter(const CtlContext &context)
{
    QString subject = NewLetter::defaultSubject();
    QString to;
    QString body;
    QStringList attachments;
    for (qsizetype i = 0; i < context.args.size(); ++i) {
        const QString &arg = context.args[i];
        const bool hasValue = i + 1 < context.args.size();
        if (arg == u"--subject"_s && hasValue) {
            subject = context.args[++i];
        } else if (arg == u"--to"_s && hasValue) {
            to = context.args[++i];
        } else if (arg == u"--body-file"_s && hasValue) {
            // A letter's body, as large as its attachments may be in all.
            constexpr qint64 maxBodyBytes = qint64(25) << 20;
            const Result<QByteArray> read = DataFile::read(context.args[++i], maxBodyBytes);
            if (!read.ok()) {
                printError(u"corvelctl: "_s + read.error());
                return ExitFailed;
            }
            body = QString::fromUtf8(*read);
        } else if (arg == u"--attach"_s && hasValue) {
            attachments << context.args[++i];
        } else {
            printError(u"usage: corvelctl new-letter [--subject S] [--to A] [--body-file F] "
                       "[--attach FILE]..."_s);
            return ExitUsage;
        }
    }
    Workspace::Options options;
    options.appPath = context.appPath;
    options.shippedDir = context.shippedDir;
    Workspace workspace(options);
    (void)workspace.open();
    if (!workspace.isSessionOpen() || !workspace.application()) {
        printError(u"corvelctl: the mail session cannot be opened"_s);
        return ExitFailed;
    }
    try {
        const auto letter = NewLetter::create(*workspace.application(), workspace.draftsFolder(),
                                              subject, to, body, attachments);
        printOut(letter->EntryID());
        return ExitOk;
    } catch (const OutlookError &error) {
        printError(u"corvelctl: %1"_s.arg(error.message()));
        return ExitFailed;
    }
}

int runGroupMail(const CtlContext &context)
{
    QString target, letterArg, modeArg, valuesPath;
    bool dryRun = false, resume = false, restart = false;
    int waitSeconds = 0;
    PromptPlan prompts;
    for (qsizetype i = 0; i < context.args.size(); ++i) {
        const QString &arg = context.args[i];
        const bool hasValue = i + 1 < context.args.size();
        if (arg == u"--letter"_s && hasValue) {
            letterArg = context.args[++i];
        } else if (arg == u"--mode"_s && hasValue) {
            modeArg = context.args[++i];
        } else if (arg == u"--prompt"_s && hasValue && context.args[i + 1].contains(u'=')) {
            const QString pair = context.args[++i];
            prompts.setChoice(pair.section(u'=', 0, 0), PromptPlan::Choice::OneValue);
            prompts.setValue(pair.section(u'=', 0, 0), pair.section(u'=', 1));
        } else if (arg == u"--values"_s && hasValue) {
            valuesPath = context.args[++i];
        } else if (arg == u"--dry-run"_s) {
            dryRun = true;
        } else if (arg == u"--resume"_s) {
            resume = true;
        } else if (arg == u"--restart"_s) {
            restart = true;
        } else if (arg == u"--wait"_s && hasValue) {
            bool ok = false;
            waitSeconds = context.args[++i].toInt(&ok);
            if (!ok || waitSeconds < 0 || waitSeconds > 24 * 3600) {
                printError(QString::fromUtf8(MailUsage));
                return ExitUsage;
            }
        } else if (!arg.startsWith(u"--"_s) && target.isEmpty()) {
            target = arg;
        } else {
            printError(QString::fromUtf8(MailUsage));
            return ExitUsage;
        }
    }
    const std::map<QString, MailType> modes = {{u"personal"_s, MailType::Personal},
                                               {u"to"_s, MailType::To},
                                               {u"cc"_s, MailType::CC},
                                               {u"bcc"_s, MailType::BCC}};
    const auto mode = modes.find(modeArg);
    if (target.isEmpty() || letterArg.isEmpty() || mode == modes.end() || (resume && restart)) {
        printError(QString::fromUtf8(MailUsage));
        return ExitUsage;
    }
    if (!valuesPath.isEmpty()) {
        // A prompt given both ways takes the file's value, and --prompt's for members the
        // file has no row for.
        const Result<PromptValues> values = PromptValuesFile::read(valuesPath);
        if (!values.ok()) {
            printError(u"corvelctl: "_s + values.error());
            return ExitFailed;
        }
        prompts.addTable(*values);
    }

    Workspace::Options options;
    options.appPath = context.appPath;
    options.shippedDir = context.shippedDir;
    Workspace workspace(options);
    (void)workspace.open();
    if (!workspace.isSessionOpen() || !workspace.session()) {
        printError(u"corvelctl: the mail session cannot be opened"_s);
        return ExitFailed;
    }
    try {
        QString error;
        const QString letterId = findLetter(workspace, letterArg, error);
        if (letterId.isEmpty()) {
            printError(u"corvelctl: "_s + error);
            return ExitFailed;
        }
        Result<MemberSelection> found = findMembers(workspace, target);
        if (!found.ok()) {
            printError(u"corvelctl: "_s + found.error());
            return ExitFailed;
        }
        const MemberSelection selection = std::move(*found);

        // One run at a time: another run's journal is not an interrupted one. A dry run
        // takes the lock as well, to tell an interrupted run as a real run would.
        const QString runs = RunJournal::directoryIn(workspace.userPaths().dataFolder());
        auto lock = RunLock::take(runs);
        if (!lock.ok()) {
            printError(u"corvelctl: "_s + lock.error());
            return ExitFailed;
        }
        const RunJournal::Key key{letterId, selection.key, mode->second};
        auto opened = RunJournal::open(runs, key);
        if (!opened.ok() && restart && !dryRun)
            opened = RunJournal::openAfresh(runs, key);
        if (!opened.ok() && !(restart && dryRun)) {
            printError(u"corvelctl: "_s + opened.error() +
                       (restart ? QString() : u" (--restart sets it aside and starts over)"_s));
            return ExitFailed;
        }
        std::unique_ptr<RunJournal> journal = opened.ok() ? std::move(*opened) : nullptr;
        if (journal && journal->isInterrupted() && !resume && !restart) {
            printError(u"corvelctl: a run of this letter to \"%1\" was interrupted after "
                       "%2 members were queued; give --resume to continue it or "
                       "--restart to start over"_s.arg(target)
                           .arg(journal->queued().size()));
            return ExitFailed;
        }
        if (journal && restart && !dryRun) {
            if (Status forgotten = journal->restart(); !forgotten.ok()) {
                printError(u"corvelctl: "_s + forgotten.error());
                return ExitFailed;
            }
        }

        if (mode->second != MailType::Personal)
            if (const auto letter = workspace.session()->GetItemFromID(letterId);
                letter && MergeFields::hasFields(letter->Body()))
                printError(u"corvelctl: "_s + MergeFields::unmergedNote());

        TerminalView view;
        TerminalPrompter prompter;
        MailGenerator generator(*workspace.session(), view, prompter);
        const GenerationOutcome outcome = generator.Execute(
            {mode->second, letterId, dryRun, &prompts}, selection.members, journal.get());
        // The run is over once its messages are queued: waiting on delivery keeps nobody out.
        journal.reset();
        lock->reset();
        if (!outcome.letterLoaded)
            return ExitFailed;
        if (dryRun) {
            printLines(GenerationSummary::planLines(outcome));
        } else {
            printLines(GenerationSummary::lines(outcome, u"with --resume"_s));
            printOutboxAccount(*workspace.session(), outcome, waitSeconds);
        }
        return outcome.succeeded() ? ExitOk : ExitFailed;
    } catch (const OutlookError &error) {
        printError(u"corvelctl: %1"_s.arg(error.message()));
        return ExitFailed;
    }
}

} // namespace corvel
