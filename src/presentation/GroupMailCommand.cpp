#include "presentation/GroupMailCommand.h"

#include "folders/ItemLists.h"
#include "merge/ContactFieldValues.h"
#include "merge/GenerationSummary.h"
#include "merge/GroupMailRun.h"
#include "merge/ListUnsubscribe.h"
#include "merge/MailGenerator.h"
#include "merge/MailPreview.h"
#include "merge/MailWizard.h"
#include "merge/MemberSelection.h"
#include "merge/RunJournal.h"
#include "merge/RunOutboxReport.h"
#include "merge/TestCopy.h"
#include "presentation/DialogHost.h"
#include "presentation/DialogPrompter.h"
#include "presentation/FileDialogRequest.h"
#include "presentation/GeneratorWindow.h"
#include "session/OutlookSession.h"
#include "support/StatusPanels.h"
#include "tree/NodeKinds.h"
#include "workspace/Workspace.h"

#include <map>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

std::vector<MailWizard::Letter> lettersBelow(const TreeList &tree, NodeHandle drafts)
{
    std::vector<MailWizard::Letter> letters;
    for (NodeHandle row = tree.firstChild(drafts); row; row = tree.nextSibling(row))
        letters.push_back({tree.value(row, NodeValueName::EntryId()).toString(),
                           tree.value(row, NodeValueName::Subject()).toString()});
    return letters;
}

// A contact folder with sub-folders keeps its contacts under a listing node: mailing the
// folder mails those, as mailing a folder without sub-folders does.
MemberSelection selectionOf(const TreeList &tree, ItemLists &lists)
{
    if (tree.selectedCount() == 1) {
        const NodeHandle row = tree.selected(0);
        if (nodeKind(tree, row) == NodeKind::ContactFolderListing)
            if (const NodeHandle holder = lists.rowsHolder(row))
                return MemberSelection::ofGroup(tree, holder);
    }
    return MemberSelection::fromTree(tree);
}

// The group mailed, or the groups selected together ("Friends, Family").
QString captionOf(const TreeList &tree, const MemberSelection &selection)
{
    if (selection.group)
        return tree.caption(selection.group);
    QStringList captions;
    for (int i = 0; i < tree.selectedCount(); ++i)
        captions.append(tree.caption(tree.selected(i)));
    return captions.join(u", "_s);
}

// The summary counts whom the run mails: a listed contact folder is mailed whole.
QString summaryOf(const TreeList &tree, const MemberSelection &selection)
{
    if (selection.mode == MemberSelection::Mode::List)
        return MailWizard::membersSummary(static_cast<qint64>(selection.members.size()),
                                          captionOf(tree, selection));
    const MemberSelection::Summary summary = MemberSelection::summarize(tree);
    return MailWizard::membersSummary(summary.count, summary.groupCaption);
}

QString bodyOf(OlNamespace &session, const QString &entryId)
{
    try {
        const std::shared_ptr<OlItem> letter = session.GetItemFromID(entryId);
        return letter ? letter->Body() : QString();
    } catch (const OutlookError &) {
        return {};
    }
}

// The contacts' values for prompts named after their fields, each contact read once.
MailWizard::ContactValueSource contactValuesOf(OlNamespace &session)
{
    auto read = std::make_shared<std::map<QString, ContactFieldValues>>();
    return [&session, read](const MailMember &member,
                            const QString &promptName) -> std::optional<QString> {
        if (member.contactId.isEmpty())
            return std::nullopt;
        auto found = read->find(member.contactId);
        if (found == read->end()) {
            ContactFieldValues values;
            try {
                if (const std::shared_ptr<OlItem> contact = session.GetItemFromID(member.contactId);
                    contact && contact->Class() == olContactItem)
                    values = ContactFieldValues::of(*contact);
            } catch (const OutlookError &) {
            }
            found = read->emplace(member.contactId, std::move(values)).first;
        }
        return found->second.value(promptName);
    };
}

FileDialogRequest valuesFileRequest()
{
    FileDialogRequest request;
    request.title = u"Load Prompted Values"_s;
    request.nameFilters = {u"CSV files (*.csv)"_s, u"All files (*)"_s};
    return request;
}

// Whom the interrupted run was mailing, as its question names them.
QString targetOf(const TreeList &tree, const MemberSelection &selection)
{
    return selection.mode == MemberSelection::Mode::List
               ? u"\"%1\""_s.arg(captionOf(tree, selection))
               : u"the same %1 selected members"_s.arg(selection.members.size());
}

QString interruptedText(const QString &target, qint64 queued, qint64 uncertain)
{
    QString text =
        u"A run of this letter to %1 was interrupted after %2 members were queued."_s.arg(target)
            .arg(queued);
    if (uncertain > 0)
        text += u" For %1 more it is not known whether their message was queued; they are "
                "not mailed again when you continue."_s.arg(uncertain);
    return text + u"\n\nContinue with the members not yet mailed, or start over and mail "
                  "everyone?"_s;
}

} // namespace

// The window's answers for a run: the questions in dialogs, the run in the generator window.
class GroupMailCommand::RunDecisions : public GroupMailRun::Decisions
{
public:
    RunDecisions(GroupMailCommand &command, QString target)
        : m_command(command)
        , m_target(std::move(target))
        , m_prompter(*command.m_services.dialogs)
    {
    }

    void cannotStart(const QString &reason) override { dialogs().information(reason); }
    bool startOverUnreadable(const QString &reason, const QString &asidePath) override
    {
        return dialogs().questionOkCancel(
            reason +
            u"\n\nStart over and mail everyone? The journal is kept as %1."_s.arg(asidePath));
    }
    GroupMailRun::Interrupted interrupted(const RunJournal &journal) override
    {
        switch (dialogs().askInterruptedRun(
            interruptedText(m_target, journal.queued().size(), journal.uncertain().size()))) {
        case DialogHost::InterruptedRun::Continue:
            return GroupMailRun::Interrupted::Continue;
        case DialogHost::InterruptedRun::StartOver:
            return GroupMailRun::Interrupted::StartOver;
        case DialogHost::InterruptedRun::Cancel:
            break;
        }
        return GroupMailRun::Interrupted::Cancel;
    }
    void failed(const QString &reason) override { dialogs().critical(reason); }
    GenerationView *openView() override
    {
        // The program may have begun to close while a question was open.
        if (m_command.m_stopped)
            return nullptr;
        // One generator window at a time: the last run's account gives way to this run.
        if (m_command.m_accountWindow) {
            m_command.m_accountWindow->closeWindow();
            m_command.m_accountWindow.reset();
        }
        m_window = dialogs().openGenerator();
        return m_window.get();
    }
    MergePrompter &prompter() override { return m_prompter; }
    void generating(MailGenerator *generator) override
    {
        m_command.m_generator = generator;
        m_command.m_prompter = generator ? &m_prompter : nullptr;
        if (generator)
            m_window->setCancelHandler([generator] { generator->btnCancel_Click(); });
        else
            m_window->setCancelHandler({});
    }
    std::unique_ptr<GeneratorWindow> takeWindow() { return std::move(m_window); }

private:
    DialogHost &dialogs() { return *m_command.m_services.dialogs; }

    GroupMailCommand &m_command;
    QString m_target;
    DialogPrompter m_prompter;
    std::unique_ptr<GeneratorWindow> m_window;
};

GroupMailCommand::GroupMailCommand(Services services)
    : m_services(std::move(services))
{
}

GroupMailCommand::~GroupMailCommand() = default;

void GroupMailCommand::stop()
{
    m_stopped = true;
    if (m_prompter)
        m_prompter->stop();
    if (m_generator)
        m_generator->btnCancel_Click();
    if (m_accountWindow)
        m_accountWindow->closeWindow();
}

void GroupMailCommand::doBtnDoMail()
{
    Workspace &ws = *m_services.workspace;
    OlNamespace *session = ws.session();
    if (!session || isRunning() || m_stopped)
        return;
    TreeList &tree = ws.tree();
    ItemLists lists(tree, *session, ws.groups().columnSets(), m_services.panels, m_services.busy);
    Status listing;
    const NodeHandle drafts = lists.findDraftsNode(ws.draftsEntryId(), &listing);
    tree.refresh();
    if (!listing.ok()) {
        m_services.dialogs->information(listing.error());
        return;
    }
    if (!drafts || tree.indexOf(drafts) < 1)
        return;

    const MemberSelection selection = selectionOf(tree, lists);
    MailWizard wizard(lettersBelow(tree, lists.rowsHolder(drafts)), tree.caption(drafts),
                      summaryOf(tree, selection));
    const MailPreview preview(*session, selection.members);
    wizard.setPreviewSource([&preview](const MailWizard::Result &result) {
        return preview.lines(result.grpMailType, result.grpMailEntryId, &result.prompts);
    });
    // Read here: the layers below read no settings.
    const Result<ListUnsubscribe> unsubscribe = ListUnsubscribe::parse(
        ws.settings().getSetting(u"Transport"_s, u"ListUnsubscribe"_s, QString()));
    if (!unsubscribe.ok()) {
        m_services.dialogs->information(unsubscribe.error());
        return;
    }
    wizard.setTestSender([&](const MailWizard::Result &result, const QString &address) {
        DialogPrompter prompter(*m_services.dialogs);
        const Result<MailMember> sent = TestCopy::send(
            *session, prompter,
            {result.grpMailEntryId, result.grpMailType, &result.prompts, *unsubscribe, address},
            selection.members);
        return sent.ok() ? Status() : Status::failure(sent.error());
    });
    wizard.setLetterBodySource([session](const QString &id) { return bodyOf(*session, id); });
    wizard.setMembers(selection.members, contactValuesOf(*session));
    wizard.setValuesFileChooser(
        [this] { return m_services.dialogs->chooseFile(valuesFileRequest()); });
    wizard.setSaveFolderChooser([this] {
        FileDialogRequest request;
        request.mode = FileDialogRequest::Mode::Folder;
        request.title = u"Save Copies to a Folder"_s;
        return m_services.dialogs->chooseFile(request);
    });
    m_grpMailType = MailType::None;
    if (!m_services.dialogs->runMailWizard(wizard))
        return;
    const MailWizard::Result result = wizard.wizardProcess();
    m_grpMailType = result.grpMailType;
    m_grpMailEntryId = result.grpMailEntryId;
    if (m_grpMailType == MailType::None)
        return;

    runChosen(*session, selection, result, *unsubscribe);
}

void GroupMailCommand::runChosen(OlNamespace &session, const MemberSelection &selection,
                                 const MailWizard::Result &result,
                                 const ListUnsubscribe &unsubscribe)
{
    RunDecisions decisions(*this, targetOf(m_services.workspace->tree(), selection));
    GroupMailRun run(session, decisions);
    std::optional<GenerationOutcome> outcome =
        run.run({m_services.runsDirectory,
                 {m_grpMailEntryId, selection.key, m_grpMailType},
                 &result.prompts,
                 false,
                 unsubscribe,
                 result.notBeforeMs,
                 result.saveTo},
                selection.members);
    if (!outcome)
        return;
    m_lastOutcome = std::move(*outcome);
    std::unique_ptr<GeneratorWindow> window = decisions.takeWindow();
    if (!m_lastOutcome.letterLoaded || m_lastOutcome.total == 0 || m_stopped) {
        window->closeWindow();
        return;
    }
    QStringList account = GenerationSummary::lines(m_lastOutcome, howToContinue());
    if (!m_lastOutcome.outboxIds.isEmpty())
        account += RunOutboxReport::ask(session, m_lastOutcome.outboxIds).lines();
    window->showOutcome(GenerationSummary::heading(m_lastOutcome), account);
    m_accountWindow = std::move(window);
    if (m_services.panels)
        m_services.panels->updateCaption(
            StatusPanels::ActivityPanel,
            u"%1 messages %2"_s.arg(m_lastOutcome.messagesQueued)
                .arg(result.saveTo.isEmpty() ? u"queued"_s : u"saved"_s));
}

} // namespace corvel
