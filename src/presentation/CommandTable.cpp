#include "presentation/CommandTable.h"

using namespace Qt::StringLiterals;

namespace corvel {

namespace {

ToolDef makeTool(QString name, QString menu, QString toolbar, QString description,
                 ToolCategory category)
{
    ToolDef def;
    def.name = std::move(name);
    def.menuCaption = std::move(menu);
    def.toolbarCaption = std::move(toolbar);
    def.description = std::move(description);
    def.category = category;
    return def;
}

// The fifteen tools the right-click band and the toolbar share, in their order.
std::vector<BandEntry> treeTools()
{
    return {
        {u"btnLoadContacts"_s, false, {}}, {u"btnLoadMessages"_s, false, {}},
        {u"btnRefresh"_s, false, {}},      {u"btnEditItem"_s, true, {}},
        {u"btnDelete"_s, false, {}},       {u"btnCopy"_s, false, {}},
        {u"btnNewMailGrp"_s, true, {}},    {u"btnChgName"_s, false, {}},
        {u"btnAddContact"_s, false, {}},   {u"btnGrpProperties"_s, false, {}},
        {u"btnVerify"_s, false, {}},       {u"btnNewMsg"_s, true, {}},
        {u"btnDoMail"_s, false, {}},       {u"btnSaveList"_s, true, {}},
        {u"btnLoadList"_s, false, {}},
    };
}

} // namespace

CommandTable::CommandTable()
{
    using C = ToolCategory;
    m_tools = {
        makeTool(u"btnLoadContacts"_s, u"&Load Contacts"_s, u"Load Contacts"_s,
                 u"Load Contacts from the Selected Folder"_s, C::Folders),
        makeTool(u"btnLoadMessages"_s, u"&Load Messages"_s, u"Load Messages"_s,
                 u"Load Messages from the Selected Folder"_s, C::Folders),
        makeTool(u"btnRefresh"_s, u"&Refresh"_s, u"Refresh"_s,
                 u"Refresh Folder Data From the Store"_s, C::Folders),
        makeTool(u"btnEditItem"_s, u"Edit Item"_s, u"Edit Item"_s, u"Edit Item"_s, C::Tools),
        makeTool(u"btnDelete"_s, u"&Delete Item"_s, u"Delete Item"_s, u"Delete the Item"_s,
                 C::Tools),
        makeTool(u"btnCopy"_s, u"C&opy Contacts to Mail Group"_s, u"Copy Contacts to Mail Group"_s,
                 u"Copy Contacts to Mail Group"_s, C::Tools),
        makeTool(u"btnNewMailGrp"_s, u"New Mail Group"_s, u"New Mail Group"_s,
                 u"Create New Mail Group"_s, C::Folders),
        makeTool(u"btnChgName"_s, u"&Change Group Name"_s, u"Change Group Name"_s,
                 u"Change Group Name"_s, C::Tools),
        makeTool(u"btnAddContact"_s, u"&Add Address"_s, u"&Add Address"_s,
                 u"Add a new email address"_s, C::Tools),
        makeTool(u"btnGrpProperties"_s, u"&Group Properties"_s, u"Group Properties"_s,
                 u"View/Change Group Properties"_s, C::Folders),
        makeTool(u"btnVerify"_s, u"&Verify Addresses"_s, u"Verify Addresses"_s,
                 u"Verify Email Addresses"_s, C::Tools),
        makeTool(u"btnNewMsg"_s, u"Ne&w Message"_s, u"New Message"_s, u"Create New Mail Message"_s,
                 C::Tools),
        makeTool(u"btnDoMail"_s, u"Create &Mail"_s, u"Create Mail"_s, u"Mail to a Group"_s,
                 C::Tools),
        makeTool(u"btnSaveList"_s, u"&Save List as Text File"_s, u"Save List as Text File"_s,
                 u"Save List as Text File"_s, C::Folders),
        makeTool(u"btnLoadList"_s, u"Load Addresses &from Text File"_s,
                 u"Load Addresses from Text File"_s, u"Load Addresses from Text File"_s,
                 C::Folders),
        makeTool(u"btnImportGroups"_s, u"&Import Address Book Groups..."_s,
                 u"Import Address Book Groups"_s, u"Import Groups from the Address Book"_s,
                 C::Folders),
        makeTool(u"btnPublishGroup"_s, u"&Publish to Address Book..."_s,
                 u"Publish to Address Book"_s,
                 u"Publish the Group as a Group Card in a Contact Folder"_s, C::Folders),
        makeTool(u"btnExit"_s, u"&Exit"_s, u"&Exit"_s, u"Exit"_s, C::Tools),
        makeTool(u"btnIncludeAll"_s, u"Include Other Personal Folders"_s, {},
                 u"Include Contacts from Other Personal Folders"_s, C::Options),
        makeTool(u"btnMailSetup"_s, u"Mail &Setup..."_s, {},
                 u"Set up the mail stores and how mail is sent"_s, C::Options),
        makeTool(u"mnuFile"_s, u"&File"_s, {}, {}, C::BuiltInMenus),
        makeTool(u"mnuGroups"_s, u"&Groups"_s, {}, u"Group Functions"_s, C::BuiltInMenus),
        makeTool(u"mnuMail"_s, u"&Mail"_s, {}, u"Mail Functions"_s, C::BuiltInMenus),
        makeTool(u"mnuOptions"_s, u"&Options"_s, {}, u"Set Options"_s, C::BuiltInMenus),
        makeTool(u"mnuHelp"_s, u"&Help"_s, {}, u"Help Topics"_s, C::BuiltInMenus),
        makeTool(u"btnHelpF1"_s, u"&Help Contents"_s, {}, u"Help Contents"_s, C::Help),
        makeTool(u"btnHelpSrch"_s, u"Search for Help On"_s, {}, u"Search for Help On"_s, C::Help),
        makeTool(u"btnHelpStd"_s, u"Standard Mail Groups"_s, {}, u"Help on Standard Mail Groups"_s,
                 C::Help),
        makeTool(u"btnHelpDyn"_s, u"Dynamic Mail Groups"_s, {}, u"Help on Dynamic Mail Groups"_s,
                 C::Help),
        makeTool(u"btnHelpHelp"_s, u"Help on Help"_s, {}, u"Help on Help"_s, C::Help),
        makeTool(u"btnWebHome"_s, u"Tessary Systems Home Page"_s, {},
                 u"Go To Tessary Systems Home Page"_s, C::Help),
        makeTool(u"btnSendEmail"_s, u"Send Email to Tessary Systems"_s, {}, {}, C::Help),
        makeTool(u"btnAbout"_s, u"About Corvel"_s, {}, u"About Corvel"_s, C::Help),
        makeTool(u"btnStdMailGrp"_s, u"Standard Mail Group"_s, {}, u"Make Standard Mail Group"_s,
                 C::Folders),
        makeTool(u"btnDynMailGrp"_s, u"Dynamic Mail Group"_s, {}, u"Make Dynamic Mail Group"_s,
                 C::Folders),
    };
    for (ToolDef &def : m_tools) {
        if (def.name == u"btnRefresh"_s)
            def.shortcut = u"F5"_s;
        else if (def.name == u"btnHelpF1"_s)
            def.shortcut = u"F1"_s;
        else if (def.name == u"btnNewMailGrp"_s)
            def.subBand = u"MailGroup"_s;
        else if (def.name == u"btnIncludeAll"_s)
            def.checkable = true;
        else if (def.name == u"btnLoadMessages"_s)
            def.initiallyVisible = false;
        else if (def.name.startsWith(u"mnu"_s))
            def.subBand = def.name.mid(3);
    }

    std::vector<BandEntry> toolbar = treeTools();
    std::vector<BandEntry> popupTools = treeTools();
    popupTools.push_back({u"btnPublishGroup"_s, true, {}});
    toolbar.push_back({u"btnExit"_s, true, {}});
    m_bands = {
        {u"popTL1"_s, u"popTL1"_s, BandKind::Popup, popupTools},
        {u"smlTBar"_s, u"Small Toolbar"_s, BandKind::Toolbar, toolbar},
        {u"Options"_s,
         u"popOptions"_s,
         BandKind::Popup,
         {{u"btnIncludeAll"_s, false, {}}, {u"btnMailSetup"_s, true, {}}}},
        {u"File"_s,
         u"popFile"_s,
         BandKind::Popup,
         {{u"btnSaveList"_s, false, {}},
          {u"btnLoadList"_s, false, u"&Load Addresses from Text File"_s},
          {u"btnExit"_s, true, {}}}},
        {u"mnuBar1"_s,
         u"mnuBar1"_s,
         BandKind::MenuBar,
         {{u"mnuFile"_s, false, {}},
          {u"mnuGroups"_s, false, {}},
          {u"mnuMail"_s, false, {}},
          {u"mnuOptions"_s, false, {}},
          {u"mnuHelp"_s, false, {}}}},
        {u"Groups"_s,
         u"popGroups"_s,
         BandKind::Popup,
         {{u"btnLoadContacts"_s, false, {}},
          {u"btnLoadMessages"_s, false, {}},
          {u"btnRefresh"_s, false, {}},
          {u"btnNewMailGrp"_s, true, {}},
          {u"btnChgName"_s, false, {}},
          {u"btnAddContact"_s, false, {}},
          {u"btnGrpProperties"_s, false, {}},
          {u"btnVerify"_s, false, {}},
          {u"btnImportGroups"_s, true, {}},
          {u"btnPublishGroup"_s, false, {}}}},
        {u"Mail"_s,
         u"popMail"_s,
         BandKind::Popup,
         {{u"btnNewMsg"_s, false, {}}, {u"btnDoMail"_s, false, {}}}},
        {u"Help"_s,
         u"Help"_s,
         BandKind::Popup,
         {{u"btnHelpF1"_s, false, {}},
          {u"btnHelpSrch"_s, false, {}},
          {u"btnHelpStd"_s, false, {}},
          {u"btnHelpDyn"_s, false, {}},
          {u"btnHelpHelp"_s, false, {}},
          {u"btnWebHome"_s, true, {}},
          {u"btnSendEmail"_s, false, {}},
          {u"btnAbout"_s, true, {}}}},
        {u"MailGroup"_s,
         u"MailGroup"_s,
         BandKind::Popup,
         {{u"btnStdMailGrp"_s, false, {}}, {u"btnDynMailGrp"_s, true, {}}}},
    };
}

const ToolDef *CommandTable::tool(QStringView name) const
{
    for (const ToolDef &def : m_tools) {
        if (name.compare(def.name, Qt::CaseInsensitive) == 0)
            return &def;
    }
    return nullptr;
}

const BandDef *CommandTable::band(QStringView name) const
{
    for (const BandDef &def : m_bands) {
        if (name.compare(def.name, Qt::CaseInsensitive) == 0)
            return &def;
    }
    return nullptr;
}

QString CommandTable::captionIn(const BandDef &band, const BandEntry &entry) const
{
    if (!entry.caption.isEmpty())
        return entry.caption;
    const ToolDef *def = tool(entry.tool);
    if (!def)
        return entry.tool;
    if (band.kind == BandKind::Toolbar && !def->toolbarCaption.isEmpty())
        return def->toolbarCaption;
    return def->menuCaption;
}

} // namespace corvel
