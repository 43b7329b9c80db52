#include "presentation/ButtonStateRules.h"

#include "presentation/ToolStates.h"
#include "tree/NodeKinds.h"

#include <initializer_list>

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

void enable(ToolStates &tools, std::initializer_list<QString> names)
{
    for (const QString &name : names)
        tools.setEnabled(name, true);
}

} // namespace

void ButtonStateRules::setButtonStates(ToolStates &tools, NodeKind kind, const Selection &selection)
{
    for (const QString &name :
         {u"btnSaveList"_s, u"btnLoadList"_s, u"btnRefresh"_s, u"btnLoadContacts"_s,
          u"btnEditItem"_s, u"btnChgName"_s, u"btnAddContact"_s, u"btnDelete"_s, u"btnCopy"_s,
          u"btnDoMail"_s, u"btnVerify"_s, u"btnGrpProperties"_s, u"btnImportGroups"_s,
          u"btnPublishGroup"_s})
        tools.setEnabled(name, false);
    tools.setVisible(u"btnLoadContacts", true);
    tools.setVisible(u"btnLoadMessages", false);

    if (!selection.sessionReady)
        return;
    if (selection.selectedCount < 2) {
        const bool notEmpty = selection.nodeHasDescendants;
        switch (kind) {
        case NodeKind::ContactFolder:
            enable(tools, {u"btnLoadContacts"_s, u"btnImportGroups"_s});
            break;
        case NodeKind::ContactFolderListed:
        case NodeKind::ContactFolderListing:
            enable(tools, {u"btnImportGroups"_s});
            if (notEmpty)
                enable(tools, {u"btnRefresh"_s, u"btnDoMail"_s, u"btnSaveList"_s});
            break;
        case NodeKind::MessageFolder:
            tools.setVisible(u"btnLoadContacts", false);
            tools.setVisible(u"btnLoadMessages", true);
            break;
        case NodeKind::MessageFolderListed:
        case NodeKind::MessageFolderListing:
            enable(tools, {u"btnRefresh"_s});
            break;
        case NodeKind::StandardGroup:
            enable(tools, {u"btnChgName"_s, u"btnAddContact"_s, u"btnDelete"_s, u"btnLoadList"_s,
                           u"btnPublishGroup"_s});
            if (notEmpty)
                enable(tools, {u"btnDoMail"_s, u"btnVerify"_s, u"btnSaveList"_s});
            break;
        case NodeKind::DynamicGroup:
            enable(tools,
                   {u"btnChgName"_s, u"btnDelete"_s, u"btnGrpProperties"_s, u"btnRefresh"_s});
            if (notEmpty)
                enable(tools, {u"btnDoMail"_s, u"btnSaveList"_s, u"btnVerify"_s});
            break;
        case NodeKind::DynamicMember:
            enable(tools, {u"btnDelete"_s, u"btnDoMail"_s, u"btnEditItem"_s, u"btnVerify"_s});
            break;
        case NodeKind::ContactRow:
            enable(tools, {u"btnEditItem"_s, u"btnCopy"_s, u"btnDoMail"_s});
            break;
        case NodeKind::MessageRow:
            enable(tools, {u"btnEditItem"_s, u"btnCopy"_s});
            break;
        case NodeKind::CopiedMember:
        case NodeKind::MailItemMember:
        case NodeKind::TypedMember:
            enable(tools, {u"btnAddContact"_s, u"btnEditItem"_s, u"btnDelete"_s, u"btnDoMail"_s,
                           u"btnVerify"_s});
            break;
        default:
            break;
        }
    }
    tools.recalcLayout();
}

void ButtonStateRules::setJobRunning(ToolStates &tools, bool running)
{
    for (const QString &name : {u"btnStdMailGrp"_s, u"btnDynMailGrp"_s, u"btnIncludeAll"_s,
                                u"btnMailSetup"_s, u"btnNewMsg"_s, u"btnLoadMessages"_s})
        tools.setEnabled(name, !running);
}

bool ButtonStateRules::availableDuringJob(QStringView tool)
{
    for (const QStringView name :
         {u"btnWebHome", u"btnSendEmail", u"btnHelpF1", u"btnHelpSrch", u"btnHelpHelp",
          u"btnHelpStd", u"btnHelpDyn", u"btnAbout", u"btnExit"}) {
        if (tool.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace corvel
