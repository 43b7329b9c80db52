#include "ctl/CtlContext.h"
#include "merge/GenerationSummary.h"
#include "merge/GenerationView.h"
#include "merge/GroupMailRun.h"
#include "merge/ListUnsubscribe.h"
#include "merge/MailWizard.h"
#include "merge/MemberSelection.h"
#include "merge/MergeFields.h"
#include "merge/MergePrompter.h"
#include "merge/NewLetter.h"
#include "merge/PromptPlan.h"
#include "merge/PromptValuesFile.h"
#include "merge/RunJournal.h"
#include "merge/RunOutboxReport.h"
#include "merge/TestCopy.h"
#include "message/LetterHtml.h"
#include "session/OutlookSession.h"
#include "support/DataFile.h"
#include "workspace/Workspace.h"

#include <algorithm>

#include <QDateTime>
#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#include <cstdio>
#include <iostream>
#include <map>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace corvel {

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
    PromptReply askName(const PromptRequest &request) override
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
Result<QString> findLetter(const Workspace &workspace, const QString &argument)
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
    return Result<QString>::failure(
        matches.isEmpty() ? u"no letter in Drafts has the EntryId or subject \"%1\""_s.arg(argument)
                          : u"%1 letters in Drafts have the subject \"%2\": give the EntryId"_s
                                .arg(matches.size())
                                .arg(argument));
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

struct MailArguments
{
    QStringList targets; // one run to every member of them all
    QString letter, valuesPath;
    QString saveTo; // --save-to: the copies as files there, nothing queued
    MailType mode = MailType::None;
    bool dryRun = false, resume = false, restart = false;
    int waitSeconds = 0;
    qint64 notBeforeMs = 0; // --at; 0: at once
    PromptPlan prompts;
    QString testAddress; // --test: one copy to this address, no run
};

// --at "YYYY-MM-DD HH:MM", local time, as the wizard's Send at; a time past means at once.
Result<qint64> sendTimeOf(const QString &text)
{
    const Result<qint64> at = MailWizard::sendTimeOf(text, QDateTime::currentMSecsSinceEpoch());
    if (!at.ok() || text.trimmed().isEmpty())
        return Result<qint64>::failure(
            u"--at wants a local date and time as \"YYYY-MM-DD HH:MM\", not \"%1\""_s.arg(text));
    return at;
}

// The arguments of `mail`; a failure is a usage error, with a reason where the usage alone
// would not say what is wrong.
Result<MailArguments> parseMailArguments(const QStringList &args)
{
    using R = Result<MailArguments>;
    MailArguments parsed;
    QString modeArg;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == u"--letter"_s && hasValue) {
            parsed.letter = args[++i];
        } else if (arg == u"--mode"_s && hasValue) {
            modeArg = args[++i];
        } else if (arg == u"--prompt"_s && hasValue && args[i + 1].contains(u'=')) {
            const QString pair = args[++i];
            parsed.prompts.setChoice(pair.section(u'=', 0, 0), PromptPlan::Choice::OneValue);
            parsed.prompts.setValue(pair.section(u'=', 0, 0), pair.section(u'=', 1));
        } else if (arg == u"--values"_s && hasValue) {
            parsed.valuesPath = args[++i];
        } else if (arg == u"--dry-run"_s) {
            parsed.dryRun = true;
        } else if (arg == u"--test"_s && hasValue) {
            parsed.testAddress = args[++i];
        } else if (arg == u"--resume"_s) {
            parsed.resume = true;
        } else if (arg == u"--restart"_s) {
            parsed.restart = true;
        } else if (arg == u"--at"_s && hasValue) {
            const Result<qint64> at = sendTimeOf(args[++i]);
            if (!at.ok())
                return R::failure(at.error());
            parsed.notBeforeMs = *at;
        } else if (arg == u"--save-to"_s && hasValue) {
            parsed.saveTo = args[++i];
        } else if (arg == u"--wait"_s && hasValue) {
            bool ok = false;
            parsed.waitSeconds = args[++i].toInt(&ok);
            if (!ok || parsed.waitSeconds < 0 || parsed.waitSeconds > 24 * 3600)
                return R::failure({});
        } else if (!arg.startsWith(u"--"_s)) {
            parsed.targets.append(arg);
        } else {
            return R::failure({});
        }
    }
    const std::map<QString, MailType> modes = {{u"personal"_s, MailType::Personal},
                                               {u"to"_s, MailType::To},
                                               {u"cc"_s, MailType::CC},
                                               {u"bcc"_s, MailType::BCC}};
    const auto mode = modes.find(modeArg);
    if (parsed.targets.isEmpty() || parsed.letter.isEmpty() || mode == modes.end() ||
        (parsed.resume && parsed.restart) ||
        (!parsed.saveTo.isEmpty() && (parsed.dryRun || parsed.notBeforeMs > 0)))
        return R::failure({});
    parsed.mode = mode->second;
    return parsed;
}

// The run's questions answered by --resume and --restart, its reports on standard error.
class TerminalDecisions : public GroupMailRun::Decisions
{
public:
    TerminalDecisions(OlNamespace &session, const MailArguments &arguments)
        : m_session(session)
        , m_arguments(arguments)
    {
    }

    void cannotStart(const QString &reason) override { failed(reason); }
    bool startOverUnreadable(const QString &reason, const QString &) override
    {
        if (!m_arguments.restart)
            failed(reason + u" (--restart sets it aside and starts over)"_s);
        return m_arguments.restart;
    }
    GroupMailRun::Interrupted interrupted(const RunJournal &journal) override
    {
        if (m_arguments.resume)
            return GroupMailRun::Interrupted::Continue;
        if (m_arguments.restart)
            return GroupMailRun::Interrupted::StartOver;
        failed(u"a run of this letter to \"%1\" was interrupted after %2 members were queued; "
               "give --resume to continue it or --restart to start over"_s
                   .arg(m_arguments.targets.join(u"\", \""_s))
                   .arg(journal.queued().size()));
        return GroupMailRun::Interrupted::Cancel;
    }
    void failed(const QString &reason) override { printError(u"corvelctl: "_s + reason); }
    GenerationView *openView() override
    {
        if (m_arguments.mode != MailType::Personal)
            if (const auto letter = m_session.GetItemFromID(m_letterId);
                letter && MergeFields::hasFields(letter->Body()))
                failed(MergeFields::unmergedNote());
        return &m_view;
    }
    MergePrompter &prompter() override { return m_prompter; }
    void setLetter(const QString &letterId) { m_letterId = letterId; }

private:
    OlNamespace &m_session;
    const MailArguments &m_arguments;
    QString m_letterId;
    TerminalView m_view;
    TerminalPrompter m_prompter;
};

int mailTest(OlNamespace &session, const TestCopy::Request &request,
             const std::vector<MailMember> &members)
{
    TerminalPrompter prompter;
    const Result<MailMember> sent = TestCopy::send(session, prompter, request, members);
    if (!sent.ok()) {
        printError(u"corvelctl: "_s + sent.error());
        return ExitFailed;
    }
    printOut(u"test copy of %1's message queued for %2"_s.arg(sent->address, request.address));
    return ExitOk;
}

// Each copy staged for the Outbox holds a descriptor until its batch is filed, and the staging
// keeps half of the allowance for everything else: the usual soft limit of 1,024 would stage
// the rest of a large run as named files, each costing a removal.
void allowStagedCopiesOpen()
{
    constexpr rlim_t wanted = 8192;
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= wanted)
        return;
    limit.rlim_cur = std::min(wanted, limit.rlim_max);
    (void)::setrlimit(RLIMIT_NOFILE, &limit);
}

int mailFromWorkspace(Workspace &workspace, const MailArguments &arguments)
{
    const Result<QString> letterId = findLetter(workspace, arguments.letter);
    if (!letterId.ok()) {
        printError(u"corvelctl: "_s + letterId.error());
        return ExitFailed;
    }
    std::vector<MemberSelection> groups;
    for (const QString &target : arguments.targets) {
        Result<MemberSelection> named =
            MemberSelection::named(workspace.tree(), *workspace.session(), target);
        if (!named.ok()) {
            printError(u"corvelctl: "_s + named.error());
            return ExitFailed;
        }
        groups.push_back(std::move(*named));
    }
    const MemberSelection found = MemberSelection::combined(groups);
    OlNamespace &session = *workspace.session();
    // Read here, at the top: the layers below read no settings.
    const Result<ListUnsubscribe> unsubscribe = ListUnsubscribe::parse(
        workspace.settings().getSetting(u"Transport"_s, u"ListUnsubscribe"_s, QString()));
    if (!unsubscribe.ok()) {
        printError(u"corvelctl: "_s + unsubscribe.error());
        return ExitFailed;
    }
    if (!arguments.testAddress.isEmpty())
        return mailTest(
            session,
            {*letterId, arguments.mode, &arguments.prompts, *unsubscribe, arguments.testAddress},
            found.members);
    TerminalDecisions decisions(session, arguments);
    decisions.setLetter(*letterId);
    GroupMailRun run(session, decisions);
    const std::optional<GenerationOutcome> outcome =
        run.run({RunJournal::directoryIn(workspace.userPaths().dataFolder()),
                 {*letterId, found.key, arguments.mode},
                 &arguments.prompts,
                 arguments.dryRun,
                 *unsubscribe,
                 arguments.notBeforeMs,
                 arguments.saveTo},
                found.members);
    if (!outcome || !outcome->letterLoaded)
        return ExitFailed;
    if (arguments.dryRun) {
        printLines(GenerationSummary::planLines(*outcome));
    } else {
        // The run is over once its messages are queued: waiting on delivery keeps nobody out.
        printLines(GenerationSummary::lines(*outcome, u"with --resume"_s));
        printOutboxAccount(session, *outcome, arguments.waitSeconds);
    }
    return outcome->succeeded() ? ExitOk : ExitFailed;
}

} // namespace

int runNewLetter(const CtlContext &context)
{
    QString subject = NewLetter::defaultSubject();
    QString to;
    QString body;
    QString html;
    QString replyTo;
    QStringList attachments;
    for (qsizetype i = 0; i < context.args.size(); ++i) {
        const QString &arg = context.args[i];
        const bool hasValue = i + 1 < context.args.size();
        if (arg == u"--subject"_s && hasValue) {
            subject = context.args[++i];
        } else if (arg == u"--to"_s && hasValue) {
            to = context.args[++i];
        } else if ((arg == u"--body-file"_s || arg == u"--html-file"_s) && hasValue) {
            // A letter's body, as large as its attachments may be in all.
            constexpr qint64 maxBodyBytes = qint64(25) << 20;
            const Result<QByteArray> read = DataFile::read(context.args[++i], maxBodyBytes);
            if (!read.ok()) {
                printError(u"corvelctl: "_s + read.error());
                return ExitFailed;
            }
            (arg == u"--body-file"_s ? body : html) = QString::fromUtf8(*read);
        } else if (arg == u"--reply-to"_s && hasValue) {
            replyTo = context.args[++i];
        } else if (arg == u"--attach"_s && hasValue) {
            attachments << context.args[++i];
        } else {
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
    if (!html.isEmpty()) {
        // The text part is made from the HTML, so both say the same.
        if (!body.isEmpty())
            return ExitUsage;
        html = LetterHtml::sanitized(html);
        body = LetterHtml::plainText(html);
        html = LetterHtml::document(html);
    }
    try {
        const auto letter = NewLetter::create(*workspace.application(), workspace.draftsFolder(),
                                              {subject, to, replyTo, body, html}, attachments);
        printOut(letter->EntryID());
        return ExitOk;
    } catch (const OutlookError &error) {
        printError(u"corvelctl: %1"_s.arg(error.message()));
        return ExitFailed;
    }
}

int runGroupMail(const CtlContext &context)
{
    Result<MailArguments> parsed = parseMailArguments(context.args);
    if (!parsed.ok()) {
        if (!parsed.error().isEmpty())
            printError(u"corvelctl: "_s + parsed.error());
        return ExitUsage;
    }
    MailArguments &arguments = *parsed;
    allowStagedCopiesOpen();
    if (!arguments.valuesPath.isEmpty()) {
        // A prompt given both ways takes the file's value, and --prompt's for members the
        // file has no row for.
        const Result<PromptValues> values = PromptValuesFile::read(arguments.valuesPath);
        if (!values.ok()) {
            printError(u"corvelctl: "_s + values.error());
            return ExitFailed;
        }
        arguments.prompts.addTable(*values);
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
        return mailFromWorkspace(workspace, arguments);
    } catch (const OutlookError &error) {
        printError(u"corvelctl: %1"_s.arg(error.message()));
        return ExitFailed;
    }
}

} // namespace corvel
