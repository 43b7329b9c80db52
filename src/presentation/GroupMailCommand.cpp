#include "presentation/GroupMailCommand.h"

#include "folders/ItemLists.h"
#include "merge/ContactFieldValues.h"
#include "merge/GenerationSummary.h"
#include "merge/MailGenerator.h"
#include "merge/MailPreview.h"
#include "merge/MailWizard.h"
#include "merge/MemberSelection.h"
#include "merge/RunJournal.h"
#include "merge/RunLock.h"
#include "merge/RunOutboxReport.h"
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

// The summary counts whom the run mails: a listed contact folder is mailed whole.
QString summaryOf(const TreeList &tree, const MemberSelection &selection)
{
    if (selection.mode == MemberSelection::Mode::List)
        return MailWizard::membersSummary(static_cast<qint64>(selection.members.size()),
                                          tree.caption(selection.group));
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
    request.filters = {{u"CSV files (*.csv)"_s, u"*.csv"_s}, {u"All files (*.*)"_s, u"*"_s}};
    request.fileMustExist = true;
    return request;
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

GroupMailCommand::GroupMailCommand(Services services)
    : m_s(std::move(services))
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
    Workspace &ws = *m_s.workspace;
    OlNamespace *session = ws.session();
    if (!session || isRunning() || m_stopped)
        return;
    TreeList &tree = ws.tree();
    ItemLists lists(tree, *session, ws.groups().columnSets(), m_s.panels, m_s.busy,
                    m_s.twipsPerPixelX);
    Status listing;
    const NodeHandle drafts = lists.FindDraftsNode(ws.DraftsEntryId(), &listing);
    tree.refresh();
    if (!listing.ok()) {
        m_s.dialogs->information(listing.error());
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
    wizard.setLetterBodySource([session](const QString &id) { return bodyOf(*session, id); });
    wizard.setMembers(selection.members, contactValuesOf(*session));
    wizard.setValuesFileChooser([this] { return m_s.dialogs->chooseFile(valuesFileRequest()); });
    m_grpMailType = MailType::None;
    if (!m_s.dialogs->runMailWizard(wizard))
        return;
    const MailWizard::Result result = wizard.WizardProcess();
    m_grpMailType = result.grpMailType;
    m_grpMailEntryId = result.grpMailEntryId;
    if (m_grpMailType == MailType::None)
        return;

    // One run at a time, here or in corvelctl: another run's journal is not an interrupted one.
    auto lock = RunLock::take(m_s.runsDirectory);
    if (!lock.ok()) {
        m_s.dialogs->information(lock.error());
        return;
    }
    const RunJournal::Key key{m_grpMailEntryId, selection.key, m_grpMailType};
    auto opened = RunJournal::open(m_s.runsDirectory, key);
    if (!opened.ok()) {
        const QString aside = RunJournal::damagedPath(RunJournal::pathOf(m_s.runsDirectory, key));
        if (!m_s.dialogs->questionOkCancel(
                opened.error() +
                u"\n\nStart over and mail everyone? The journal is kept as %1."_s.arg(aside)))
            return;
        opened = RunJournal::openAfresh(m_s.runsDirectory, key);
        if (!opened.ok()) {
            m_s.dialogs->critical(opened.error());
            return;
        }
    }
    const std::unique_ptr<RunJournal> journal = std::move(*opened);
    if (journal->isInterrupted()) {
        const QString target =
            selection.mode == MemberSelection::Mode::List
                ? u"\"%1\""_s.arg(tree.caption(selection.group))
                : u"the same %1 selected members"_s.arg(selection.members.size());
        switch (m_s.dialogs->askInterruptedRun(
            interruptedText(target, journal->queued().size(), journal->uncertain().size()))) {
        case DialogHost::InterruptedRun::Continue:
            break;
        case DialogHost::InterruptedRun::StartOver:
            if (Status forgotten = journal->restart(); !forgotten.ok()) {
                m_s.dialogs->critical(forgotten.error());
                return;
            }
            break;
        case DialogHost::InterruptedRun::Cancel:
            return;
        }
    }

    // The program may have begun to close while a question was open.
    if (m_stopped)
        return;
    // One generator window at a time: the last run's account gives way to this run.
    if (m_accountWindow) {
        m_accountWindow->closeWindow();
        m_accountWindow.reset();
    }
    std::unique_ptr<GeneratorWindow> window = m_s.dialogs->openGenerator();
    DialogPrompter prompter(*m_s.dialogs);
    MailGenerator generator(*session, *window, prompter);
    window->setCancelHandler([&generator] { generator.btnCancel_Click(); });
    m_generator = &generator;
    m_prompter = &prompter;
    m_lastOutcome = generator.Execute({m_grpMailType, m_grpMailEntryId, false, &result.prompts},
                                      selection.members, journal.get());
    m_generator = nullptr;
    m_prompter = nullptr;
    window->setCancelHandler({});

    if (!m_lastOutcome.letterLoaded || m_lastOutcome.total == 0 || m_stopped) {
        window->closeWindow();
        return;
    }
    QStringList account = GenerationSummary::lines(m_lastOutcome, howToContinue());
    if (!m_lastOutcome.outboxIds.isEmpty())
        account += RunOutboxReport::ask(*session, m_lastOutcome.outboxIds).lines();
    window->showOutcome(GenerationSummary::heading(m_lastOutcome), account);
    m_accountWindow = std::move(window);
    if (m_s.panels)
        m_s.panels->UpdateCaption(StatusPanels::ActivityPanel,
                                  u"%1 messages queued"_s.arg(m_lastOutcome.messagesQueued));
}

} // namespace corvel
