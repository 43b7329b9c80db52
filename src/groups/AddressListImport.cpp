#include "groups/AddressListImport.h"

#include "groups/MemberBranch.h"
#include "groups/MemberCheck.h"
#include "support/PercentMeter.h"

namespace corvel {

namespace {

// Of the bar: reading the file up to here, making the members after.
constexpr int readShare = 50;

} // namespace

AddressListImport::Plan AddressListImport::plan(const TreeList &tree, NodeHandle group,
                                                const QString &path)
{
    return {group, path, HeldAddresses::of(tree, group)};
}

Result<AddressListImport::Built> AddressListImport::read(Plan plan, StatusPanels *progress)
{
    PercentMeter meter(progress, 100, 0, readShare);
    const auto entries = AddressListFile::read(plan.path, [&meter](qint64 done, qint64 size) {
        meter.reach(size > 0 ? static_cast<size_t>(done * 100 / size) : 100);
    });
    if (!entries.ok())
        return Result<Built>::failure(entries.error());
    return build(*entries, std::move(plan.held), progress, readShare);
}

AddressListImport::Built
AddressListImport::build(const std::vector<AddressListFile::Entry> &entries, HeldAddresses held,
                         StatusPanels *progress, int first)
{
    PercentMeter meter(progress, entries.size(), first);
    MemberBranch members;
    members.reserve(entries.size());
    Built built;
    for (const AddressListFile::Entry &entry : entries) {
        meter.step();
        const Result<QString> name = MemberCheck::name(entry.name);
        const Result<QString> address = MemberCheck::address(entry.address);
        if (!name.ok() || !address.ok()) {
            built.loaded.refused.emplace_back(entry.line,
                                              !address.ok() ? address.error() : name.error());
            continue;
        }
        members.add(NodeKind::TypedMember, QString(), *name, *address);
        ++built.loaded.added;
        built.loaded.alreadyHeld += held.contains(*address) ? 1 : 0;
    }
    built.members = members.take();
    return built;
}

Result<GroupEditor::Loaded> AddressListImport::apply(TreeList &tree, const GroupStore &store,
                                                     NodeHandle group, Built &&built)
{
    const Status attached = GroupEditor(tree, store).attachMembers(group, std::move(built.members));
    if (!attached.ok())
        return Result<GroupEditor::Loaded>::failure(attached.error());
    return std::move(built.loaded);
}

} // namespace corvel
