#include "presentation/GroupCommands.h"

#include "groups/AddressListFile.h"
#include "groups/AddressListImport.h"
#include "groups/ContactCopy.h"
#include "groups/CopyToForm.h"
#include "groups/DynGrpForm.h"
#include "groups/GetEMailForm.h"
#include "groups/GetNameForm.h"
#include "groups/GroupEditor.h"
#include "groups/MailGroups.h"
#include "groups/MemberVerification.h"
#include "presentation/DialogHost.h"
#include "presentation/FileDialogRequest.h"
#include "support/BusyIndicator.h"
#include "support/FieldStrings.h"
#include "support/JobRunner.h"
#include "support/StatusPanels.h"
#include "tree/NodeKinds.h"
#include "workspace/Workspace.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

QString fieldOf(const QString &text, const QString &dlm, int n)
{
    return DS_GetField(text, dlm, n);
}

const QString parmsSection = u"Parms"_s;
const QString lastSavePathKey = u"LastSavePath"_s;

} // namespace

GroupCommands::GroupCommands(Services services)
    : m_services(std::move(services))
{
    if (!m_services.now)
        m_services.now = [] {
            return QLocale::system().toString(QDateTime::currentDateTime(), QLocale::ShortFormat);
        };
}

GroupEditor GroupCommands::editor() const
{
    Workspace &ws = *m_services.workspace;
    return GroupEditor(ws.tree(), ws.groups(), ws.session(), m_services.panels);
}

MailGroups GroupCommands::groups() const
{
    Workspace &ws = *m_services.workspace;
    return MailGroups(ws.tree(), ws.groups(), ws.session(), m_services.panels);
}

void GroupCommands::finish(NodeHandle select, NodeHandle counted, bool save)
{
    TreeList &tree = m_services.workspace->tree();
    tree.clearSelection();
    tree.setCurrent(select);
    tree.setSelected(select, true);
    tree.refresh();
    if (counted)
        showCount(counted);
    if (save)
        saveGroups();
}

void GroupCommands::saveGroups()
{
    // Where long work runs off the event loop, so does writing a large group file. Its
    // snapshot is a pass over every member, so it waits a few milliseconds: the window first
    // paints what the command changed, and the two never add up to one long stall (a zero
    // timer would run before the paint). Closing meanwhile loses nothing: it saves in place.
    if (m_services.jobs) {
        if (m_saveQueued)
            return;
        m_saveQueued = true;
        QTimer::singleShot(10, [this, alive = std::weak_ptr<bool>(m_alive)] {
            if (!alive.lock())
                return;
            m_saveQueued = false;
            m_services.workspace->groups().saveGroupFileInBackground(
                m_services.workspace->tree(), [this, alive](const Status &saved) {
                    if (alive.lock())
                        showSaved(saved);
                });
        });
        return;
    }
    showSaved(m_services.workspace->groups().saveGroupFile(m_services.workspace->tree()));
}

void GroupCommands::showSaved(const Status &saved)
{
    // A save that ends after another command has begun leaves that command's words alone.
    const bool shown = !saved.ok() || m_savePending;
    m_savePending = !saved.ok();
    if (m_services.panels && shown)
        m_services.panels->updateCaption(StatusPanels::ActivityPanel,
                                         saved.ok() ? QString()
                                                    : u"Groups not saved: "_s + saved.error());
}

void GroupCommands::showCount(NodeHandle group)
{
    if (m_services.panels)
        m_services.panels->updateCaption(
            StatusPanels::CountPanel,
            QString::number(m_services.workspace->tree().descendantCount(group)) + u" Items"_s);
}

void GroupCommands::doBtnNewMailGrp(int rootIndex)
{
    TreeList &tree = m_services.workspace->tree();
    const NodeHandle root = tree.at(rootIndex);
    if (!root)
        return;
    if (nodeKind(tree, root) == NodeKind::StandardRoot) {
        GetNameForm form(QString(), u"Enter Name For New Mail Group"_s);
        if (!m_services.dialogs->askName(form) || form.answer().isEmpty())
            return;
        (void)groups().createStandard(form.answer());
        tree.refresh();
        saveGroups();
        return;
    }
    DynGrpForm form(tree, m_services.workspace->sourceFolderIds(), QString(), QString(), QString(),
                    QString(), u"Enter Parameters for New Dynamic Mail Group"_s);
    if (!m_services.dialogs->askDynamicGroup(form) || form.answer().isEmpty())
        return;
    const DynGrpParms parms = DynGrpParms::fromText(form.answer());
    const Result<GroupId> group = groups().createDynamic(parms.name, parms.definition());
    tree.refresh();
    if (!group.ok())
        return;
    saveGroups();
    if (m_services.dialogs->questionYesNo(u"Load Contacts for "_s + parms.name + u" Now?"_s)) {
        tree.setCurrent(groups().nodeOf(*group));
        loadDynamicGroup(*group);
    }
}

void GroupCommands::doBtnChgName()
{
    TreeList &tree = m_services.workspace->tree();
    const NodeHandle node = tree.current();
    const NodeKind kind = nodeKind(tree, node);
    if (!node || (kind != NodeKind::StandardGroup && kind != NodeKind::DynamicGroup))
        return;
    GetNameForm form(tree.caption(node), u"Modify Group Name"_s);
    if (!m_services.dialogs->askName(form) || form.answer().isEmpty())
        return;
    (void)groups().rename(*MailGroups::idOf(tree, node), form.answer());
    tree.refresh();
    saveGroups();
}

void GroupCommands::doBtnAddContact()
{
    TreeList &tree = m_services.workspace->tree();
    GetEMailForm form(QString(), QString(), u"Enter new name and email address"_s);
    if (!m_services.dialogs->askEMail(form) || form.answer().isEmpty())
        return;
    NodeHandle group = tree.at(m_services.selIndex());
    if (nodeKind(tree, group) != NodeKind::StandardGroup)
        group = tree.parent(group);
    if (nodeKind(tree, group) != NodeKind::StandardGroup)
        return;
    BusyScope busy(m_services.busy);
    const QString sep = GetEMailForm::separator();
    const QString name = fieldOf(form.answer(), sep, 1);
    const QString address = fieldOf(form.answer(), sep, 2);
    const Status added = groups().addMember(*MailGroups::idOf(tree, group), name, address);
    if (!added.ok())
        m_services.dialogs->information(added.error());
    finish(group, group, added.ok());
}

void GroupCommands::doBtnEditItem()
{
    TreeList &tree = m_services.workspace->tree();
    const NodeHandle node = tree.at(m_services.selIndex());
    switch (nodeKind(tree, node)) {
    case NodeKind::DynamicMember:
    case NodeKind::ContactRow:
    case NodeKind::CopiedMember:
        m_services.dialogs->showContact(tree.value(node, NodeValueName::EntryId()).toString());
        return;
    case NodeKind::MessageRow:
        m_services.dialogs->showMessage(tree.value(node, NodeValueName::EntryId()).toString());
        return;
    case NodeKind::TypedMember: {
        GetEMailForm form(tree.value(node, NodeValueName::FileAs()).toString(),
                          tree.value(node, NodeValueName::Email1Address()).toString(),
                          u"Modify name or email address"_s);
        if (!m_services.dialogs->askEMail(form) || form.answer().isEmpty())
            return;
        const QString sep = GetEMailForm::separator();
        const Status edited = groups().editMember(node, fieldOf(form.answer(), sep, 1),
                                                  fieldOf(form.answer(), sep, 2));
        if (!edited.ok()) {
            m_services.dialogs->information(edited.error());
            return;
        }
        tree.refresh();
        saveGroups();
        return;
    }
    default:
        return;
    }
}

void GroupCommands::doBtnDelete()
{
    TreeList &tree = m_services.workspace->tree();
    const int selIndex = m_services.selIndex();
    const NodeHandle node = tree.at(selIndex);
    if (!node)
        return;
    const NodeKind kind = nodeKind(tree, node);
    if (kind == NodeKind::StandardGroup || kind == NodeKind::DynamicGroup) {
        if (!m_services.dialogs->questionOkCancel(
                u"This will remove the Group and all Entries in the Group. Proceed?"_s))
            return;
        const NodeHandle root = tree.parent(node);
        (void)groups().remove(*MailGroups::idOf(tree, node));
        NodeHandle next = tree.at(selIndex - 1);
        if (!next)
            next = tree.findByValue(u"STDMG"_s, NodeValueName::EntryId());
        if (!next)
            next = root ? root : tree.at(0);
        finish(next, {});
        return;
    }
    if (kind != NodeKind::CopiedMember && kind != NodeKind::MailItemMember &&
        kind != NodeKind::TypedMember)
        return; // members of a Dynamic Mail Group come and go with its loads
    const NodeHandle group = tree.parent(node);
    const std::vector<NodeHandle> doomed =
        tree.selectedCount() > 1 ? tree.selectedNodes() : std::vector<NodeHandle>{node};
    BusyScope busy(m_services.busy);
    const int removed = groups().removeMembers(doomed);
    NodeHandle next = removed == 1 ? tree.at(selIndex - 1) : NodeHandle();
    if (!next)
        next = group ? group : tree.at(0);
    finish(next, group);
}

void GroupCommands::doBtnCopy()
{
    TreeList &tree = m_services.workspace->tree();
    CopyToForm form(tree, m_lastCopyTarget, [this](int rootIndex) { doBtnNewMailGrp(rootIndex); });
    QString answer;
    if (form.fillCopyList() && m_services.dialogs->askCopyTarget(form))
        answer = form.answer();
    const int target = fieldOf(answer, u"\\"_s, 1).toInt();
    m_lastCopyTarget = fieldOf(answer, u"\\"_s, 2);
    // The chooser answers with the row it showed; from here on the group is meant.
    const Result<GroupId> group = MailGroups::idOf(tree, tree.at(target));
    if (target != 0 && group.ok())
        copyToGroup(*group);
    else
        tree.clearSelection();
}

void GroupCommands::copyToGroup(GroupId id)
{
    Result<ContactCopy::Plan> plan =
        groups().planCopy(id, m_services.workspace->tree().selectedNodes());
    if (!plan.ok())
        return;
    const NodeHandle group = plan->group;
    runJob(
        u"Copying Contacts"_s,
        [this, group, plan = std::move(*plan)](JobProgress &progress) mutable -> JobRunner::Apply {
            auto built = std::make_shared<ContactCopy::Built>(
                ContactCopy::build(std::move(plan), &progress));
            progress.checkCancelled();
            return [this, group, built] {
                const Result<GroupEditor::Copied> copied =
                    groups().applyCopy(group, std::move(*built));
                if (!copied.ok()) {
                    endJob(group);
                    return;
                }
                finish(group, group);
                if (!copied->refused.isEmpty())
                    m_services.dialogs->information(u"Not copied:\n"_s +
                                                    copied->refused.join(u'\n'));
            };
        });
}

void GroupCommands::runJob(const QString &caption, JobRunner::Work work)
{
    if (!m_services.jobs) {
        JobProgress inPlace;
        if (const JobRunner::Apply apply = work(inPlace))
            apply();
        return;
    }
    if (m_services.jobs->start(std::move(work)) && m_services.panels)
        m_services.panels->updateCaption(StatusPanels::ActivityPanel, caption);
}

void GroupCommands::endJob(NodeHandle counted)
{
    if (m_services.panels)
        m_services.panels->updateCaption(StatusPanels::ActivityPanel, QString());
    if (m_services.workspace->tree().isValid(counted))
        showCount(counted);
}

void GroupCommands::loadDynamicGroup(GroupId id)
{
    const NodeHandle group = groups().nodeOf(id);
    if (nodeKind(m_services.workspace->tree(), group) != NodeKind::DynamicGroup)
        return;
    if (m_services.jobs) {
        loadInBackground(id);
        return;
    }
    BusyScope busy(m_services.busy);
    const Result<int> loaded = groups().load(id, m_services.now());
    if (!loaded.ok()) {
        m_services.dialogs->information(loaded.error());
        return;
    }
    finish(group, group);
}

void GroupCommands::loadInBackground(GroupId id)
{
    Result<DynamicLoad::Plan> plan = groups().planLoad(id);
    if (!plan.ok())
        return;
    const NodeHandle group = plan->group;
    OlNamespace *session = m_services.workspace->session();
    const bool started = m_services.jobs->start([this, session, group, plan = std::move(*plan)](
                                                    JobProgress &progress) -> JobRunner::Apply {
        auto members = std::make_shared<Result<TreeBranch>>(
            DynamicLoad::readMembers(session, plan, &progress));
        progress.checkCancelled();
        return [this, group, members] {
            if (m_services.panels)
                m_services.panels->updateCaption(StatusPanels::ActivityPanel, QString());
            const Result<int> loaded =
                members->ok() ? groups().applyLoad(group, std::move(**members), m_services.now())
                              : Result<int>::failure(members->error());
            if (!loaded.ok()) {
                m_services.dialogs->information(loaded.error());
                return;
            }
            finish(group, group);
        };
    });
    if (started)
        DynamicLoad::announce(m_services.panels);
}

void GroupCommands::editDynamicGroup()
{
    TreeList &tree = m_services.workspace->tree();
    const NodeHandle group = tree.current();
    if (nodeKind(tree, group) != NodeKind::DynamicGroup)
        return;
    const QString oldCats = tree.value(group, NodeValueName::InCats()).toString();
    const QString oldIds = tree.value(group, NodeValueName::EntryIds()).toString();
    DynGrpForm form(tree, m_services.workspace->sourceFolderIds(), tree.caption(group), oldCats,
                    oldIds, tree.value(group, NodeValueName::LastLoaded()).toString(),
                    u"Parameters for Dynamic Mail Group"_s);
    if (!m_services.dialogs->askDynamicGroup(form) || form.answer().isEmpty())
        return;
    const DynGrpParms parms = DynGrpParms::fromText(form.answer());
    const GroupId id = *MailGroups::idOf(tree, group);
    MailGroups mailGroups = groups();
    (void)mailGroups.rename(id, parms.name);
    if (parms.categories.compare(oldCats, Qt::CaseInsensitive) != 0 ||
        parms.entryIds.compare(oldIds, Qt::CaseInsensitive) != 0) {
        (void)mailGroups.redefine(id, parms.definition());
        if (m_services.dialogs->questionYesNo(u"The definition of the Group has changed\r\n"
                                              u"Do you wish to reload the Group Now"_s))
            loadDynamicGroup(id);
        else if (m_services.dialogs->questionYesNo(u"Do you wish clear the prior list"_s))
            (void)mailGroups.clearMembers(id);
    }
    tree.refresh();
    saveGroups();
}

void GroupCommands::verifyAddresses()
{
    TreeList &tree = m_services.workspace->tree();
    const std::vector<NodeHandle> selected = tree.selectedNodes();
    const Result<GroupId> group = selected.size() == 1 ? MailGroups::idOf(tree, selected.front())
                                                       : Result<GroupId>::failure({});
    std::vector<NodeHandle> nodes = selected;
    if (group.ok())
        nodes = tree.children(groups().nodeOf(*group));
    else if (selected.size() == 1)
        nodes = tree.children(tree.parent(selected.front()));
    const auto verified = [this](bool changed) {
        m_services.workspace->tree().refresh();
        if (changed)
            saveGroups();
        m_services.dialogs->information(u"Verification Complete"_s);
    };
    if (!m_services.jobs) {
        {
            BusyScope busy(m_services.busy);
            groups().verifyMembers(nodes);
        }
        verified(true);
        return;
    }
    auto members = MemberVerification::plan(tree, nodes);
    OlNamespace *session = m_services.workspace->session();
    m_services.jobs->start([this, session, verified, members = std::move(members)](
                               JobProgress &progress) -> JobRunner::Apply {
        auto outcomes = std::make_shared<std::vector<MemberVerification::Outcome>>(
            MemberVerification::lookUp(session, members, &progress));
        progress.checkCancelled();
        return [this, verified, outcomes] {
            // Nothing changed, nothing to write: a large group's file is not rewritten.
            const bool changed = MemberVerification::apply(m_services.workspace->tree(), *outcomes);
            if (m_services.panels)
                m_services.panels->updateCaption(StatusPanels::CountPanel, QString());
            verified(changed);
        };
    });
}

void GroupCommands::importAddressBookGroups()
{
    TreeList &tree = m_services.workspace->tree();
    const NodeHandle folder = tree.at(m_services.selIndex());
    if (!folder || !m_services.workspace->session())
        return;
    Result<QStringList> problems = QStringList();
    {
        BusyScope busy(m_services.busy);
        problems = groups().importGroupCards(folder);
        tree.refresh();
    }
    if (!problems.ok()) {
        m_services.dialogs->critical(problems.error());
        return;
    }
    saveGroups();
    if (!problems->isEmpty())
        m_services.dialogs->information(problems->join(u'\n'));
}

QString GroupCommands::lastSavePath() const
{
    return m_services.workspace->settings().getSetting(parmsSection, lastSavePathKey,
                                                       m_services.workspace->options().appPath);
}

void GroupCommands::rememberFolder(const QString &path)
{
    (void)m_services.workspace->settings().saveSetting(parmsSection, lastSavePathKey,
                                                       QFileInfo(path).absolutePath());
}

namespace {

FileDialogRequest addressListRequest(FileDialogRequest::Mode mode, const QString &title,
                                     const QString &initialDir)
{
    FileDialogRequest request;
    request.mode = mode;
    request.title = title;
    request.initialDir = initialDir;
    request.defaultExt = u"txt"_s;
    request.nameFilters = {u"Text (*.txt)"_s, u"All Files (*)"_s};
    return request;
}

} // namespace

void GroupCommands::saveAddressList()
{
    TreeList &tree = m_services.workspace->tree();
    const NodeHandle node = tree.at(m_services.selIndex());
    if (!node)
        return;
    FileDialogRequest request = addressListRequest(FileDialogRequest::Mode::Save,
                                                   u"Save Address List As"_s, lastSavePath());
    request.overwritePrompt = true;
    const QString path = m_services.dialogs->chooseFile(request);
    if (path.isEmpty())
        return;
    runJob(u"Saving Address List"_s,
           [this, node, path,
            entries = editor().entriesOf(node)](JobProgress &progress) -> JobRunner::Apply {
               const Status written = AddressListFile::write(path, entries, &progress);
               return [this, node, path, written] {
                   rememberFolder(path);
                   endJob(node);
                   if (!written.ok())
                       m_services.dialogs->information(u"Unable to save file - "_s +
                                                       QDir::toNativeSeparators(path) + u": "_s +
                                                       written.error());
               };
           });
}

void GroupCommands::loadAddressList()
{
    TreeList &tree = m_services.workspace->tree();
    const NodeHandle group = tree.at(m_services.selIndex());
    if (nodeKind(tree, group) != NodeKind::StandardGroup)
        return;
    FileDialogRequest request =
        addressListRequest(FileDialogRequest::Mode::Open, u"Load Address List"_s, lastSavePath());
    const QString path = m_services.dialogs->chooseFile(request);
    if (path.isEmpty())
        return;
    Result<AddressListImport::Plan> plan =
        groups().planImport(*MailGroups::idOf(tree, group), path);
    if (!plan.ok())
        return;
    runJob(u"Loading Address List"_s,
           [this, group, path,
            plan = std::move(*plan)](JobProgress &progress) mutable -> JobRunner::Apply {
               auto built = std::make_shared<Result<AddressListImport::Built>>(
                   AddressListImport::read(std::move(plan), &progress));
               progress.checkCancelled();
               return [this, group, path, built] {
                   addressListLoaded(group, path, std::move(*built));
               };
           });
}

void GroupCommands::addressListLoaded(NodeHandle group, const QString &path,
                                      Result<AddressListImport::Built> &&built)
{
    rememberFolder(path);
    const Result<GroupEditor::Loaded> loaded =
        built.ok() ? groups().applyImport(group, std::move(*built))
                   : Result<GroupEditor::Loaded>::failure(built.error());
    if (!loaded.ok()) {
        endJob(group);
        m_services.workspace->tree().refresh();
        m_services.dialogs->information(u"Unable to Load File - "_s +
                                        QDir::toNativeSeparators(path) + u": "_s + loaded.error());
        return;
    }
    finish(group, group);
    m_services.dialogs->information(loaded->summary());
}

} // namespace corvel
