#include "presentation/CDialog.h"

namespace corvel {

namespace {

constexpr QChar zeroChar(u'\0');
constexpr QChar pathSeparator(u'/');
const QString allFilesDescription = QStringLiteral("All Files (*.*)");
const QString allFilesSpec = QStringLiteral("*.*");

QString lastPathComponent(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(pathSeparator);
    return slash < 0 ? path : path.mid(slash + 1);
}

} // namespace

CDialog::CDialog(CDialogRunner &runner)
    : m_runner(runner)
{
}

void CDialog::setAction(int action)
{
    if (action == 1)
        (void)ShowOpen();
    else if (action == 2)
        (void)ShowSave();
}

int CDialog::MultiSelect() const
{
    if (!(Flags & OFN_ALLOWMULTISELECT))
        return 0;
    return (Flags & OFN_EXPLORER) ? 2 : 1;
}

void CDialog::setMultiSelect(int mode)
{
    switch (mode) {
    case 0:
        Flags &= ~(OFN_ALLOWMULTISELECT | OFN_EXPLORER);
        break;
    case 1:
        Flags = (Flags | OFN_ALLOWMULTISELECT) & ~OFN_EXPLORER;
        break;
    case 2:
        Flags |= OFN_ALLOWMULTISELECT | OFN_EXPLORER;
        break;
    default:
        break;
    }
}

void CDialog::setFilter(const QString &filter)
{
    m_filter = filter;
    m_restart = false;
}

int CDialog::FileReadOnly() const
{
    if (Flags & OFN_HIDEREADONLY)
        return 2;
    return (Flags & OFN_READONLY) ? 1 : 0;
}

void CDialog::setFileReadOnly(int mode)
{
    switch (mode) {
    case 0:
        Flags &= ~(OFN_READONLY | OFN_HIDEREADONLY);
        break;
    case 1:
        Flags = (Flags | OFN_READONLY) & ~OFN_HIDEREADONLY;
        break;
    case 2:
        Flags |= OFN_HIDEREADONLY;
        break;
    default:
        break;
    }
}

int CDialog::FileMustExist() const
{
    const bool path = Flags & OFN_PATHMUSTEXIST;
    const bool file = Flags & OFN_FILEMUSTEXIST;
    const bool create = Flags & OFN_CREATEPROMPT;
    const bool overwrite = Flags & OFN_OVERWRITEPROMPT;
    if (file && path)
        return 1;
    if (create && path)
        return 4;
    if (overwrite && path && !create)
        return 6;
    if (path && !create && !overwrite)
        return 2;
    if (!path && !create && !overwrite)
        return 0;
    if (overwrite && !create && !path)
        return 5;
    return 3;
}

void CDialog::setFileMustExist(int code)
{
    switch (code) {
    case 1:
        Flags |= OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
        break;
    case 2:
        Flags |= OFN_PATHMUSTEXIST;
        break;
    case 3:
        Flags = (Flags & ~(OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST)) | OFN_CREATEPROMPT;
        break;
    case 4:
        Flags = (Flags & ~OFN_FILEMUSTEXIST) | OFN_PATHMUSTEXIST | OFN_CREATEPROMPT;
        break;
    case 5:
        Flags = (Flags & ~OFN_PATHMUSTEXIST) | OFN_OVERWRITEPROMPT;
        break;
    case 6:
        Flags |= OFN_PATHMUSTEXIST | OFN_OVERWRITEPROMPT;
        break;
    default:
        break;
    }
}

bool CDialog::FileMustBeWritable() const
{
    return Flags & OFN_NOREADONLYRETURN;
}

void CDialog::setFileMustBeWriteable(bool writable)
{
    if (writable)
        Flags |= OFN_NOREADONLYRETURN;
    else
        Flags &= ~OFN_NOREADONLYRETURN;
}

void CDialog::AddFilter(const QString &description, const QString &filespec, bool isDefault)
{
    if (m_restart) {
        m_filter.clear();
        m_restart = false;
    }
    if (!m_filter.isEmpty() && !m_filter.endsWith(u'|'))
        m_filter += u'|';
    m_filter += description;
    if (!filespec.contains(u';'))
        m_filter += QStringLiteral(" (") + filespec + u')';
    m_filter += u'|' + filespec;
    if (isDefault)
        FilterIndex = static_cast<int>((m_filter.count(u'|') + 1) / 2);
}

void CDialog::AddDefaultFilters(FileDialogTarget::Kind kind)
{
    using Kind = FileDialogTarget::Kind;
    switch (kind) {
    case Kind::RichText:
        AddFilter(QStringLiteral("All Document files"), QStringLiteral("*.rtf;*.txt"));
        AddFilter(QStringLiteral("Rich Text Box files"), QStringLiteral("*.rtf"), true);
        AddFilter(QStringLiteral("Text Files"), QStringLiteral("*.txt"));
        break;
    case Kind::Picture:
        AddFilter(QStringLiteral("All Image files"),
                  QStringLiteral("*.bmp;*.dib;*.wmf;*.emf;*.ico;*.cur"));
        AddFilter(QStringLiteral("Bitmaps"), QStringLiteral("*.bmp;*.dib"));
        AddFilter(QStringLiteral("Metafiles"), QStringLiteral("*.wmf;*.emf"));
        AddFilter(QStringLiteral("Icons"), QStringLiteral("*.ico;*.cur"));
        break;
    case Kind::List:
        AddFilter(QStringLiteral("Data Files"), QStringLiteral("*.dat;*.lst"));
        break;
    case Kind::Text:
        AddFilter(QStringLiteral("Text files "), QStringLiteral("*.txt"));
        break;
    case Kind::Other:
        return;
    }
    if (m_filter.isEmpty())
        return;
    if (!m_filter.endsWith(u'|'))
        m_filter += u'|';
    m_filter += allFilesDescription + u'|' + allFilesSpec + u'|';
    FilterIndex = 2;
}

FileDialogTarget::Kind CDialog::targetKind(const FileDialogTarget *target) const
{
    return target ? target->kind() : FileDialogTarget::Kind::Other;
}

bool CDialog::runDialog(CDialogRequest::Action action)
{
    CDialogRequest request;
    request.action = action;
    request.title = DialogTitle;
    request.filter = m_filter;
    request.filter.replace(u'|', zeroChar);
    request.filterIndex = FilterIndex;
    request.fileName = Filename;
    request.initDir = InitDir;
    request.defaultExt = DefaultExt;
    request.flags = Flags & ~(OFN_SHOWHELP | OFN_LONGNAMES);
    // A blank cannot separate names here, where names commonly hold blanks: every
    // multiple selection comes back as an Explorer-style list.
    m_separator = (Flags & OFN_ALLOWMULTISELECT) ? zeroChar : QLatin1Char(' ');
    request.separator = m_separator;

    const CDialogReply reply = m_runner.run(request);
    m_lastAction = action;
    m_actionRan = true;
    m_restart = true;
    if (!reply.chosen) {
        Error = reply.extendedError;
        if (Error == 0 && CancelError)
            throw CDialogCancelled();
        return false;
    }
    Error = 0;
    m_selected.clear();
    Flags = reply.flags;
    FilterIndex = reply.filterIndex;
    const QString end = m_separator == zeroChar ? QString(2, zeroChar) : QString(zeroChar);
    const qsizetype stop = reply.fileBuffer.indexOf(end);
    Filename = stop < 0 ? reply.fileBuffer : reply.fileBuffer.left(stop);
    if (!(Flags & OFN_NOCHANGEDIR))
        InitDir = reply.directory;
    const QString last = lastPathComponent(Filename);
    FileTitle = last.left(last.indexOf(u'.'));
    return true;
}

void CDialog::selectMultiple()
{
    const QStringList parts = Filename.split(m_separator);
    if (parts.size() < 2) {
        m_selected = {Filename};
        return;
    }
    QString directory = parts.front();
    if (!directory.endsWith(pathSeparator))
        directory += pathSeparator;
    for (qsizetype i = 1; i < parts.size(); ++i) {
        if (!parts[i].isEmpty())
            m_selected.append(directory + parts[i]);
    }
}

bool CDialog::ShowOpen(FileDialogTarget *target)
{
    if (target && m_filter.isEmpty())
        AddDefaultFilters(targetKind(target));
    if (!runDialog(CDialogRequest::Action::Open))
        return false;
    if (!(Flags & OFN_ALLOWMULTISELECT)) {
        m_selected = {Filename};
        if (target)
            (void)LoadInto(*target);
        return true;
    }
    selectMultiple();
    return true;
}

bool CDialog::ShowSave(FileDialogTarget *target)
{
    if (target && m_filter.isEmpty())
        AddDefaultFilters(targetKind(target));
    Flags |= OFN_HIDEREADONLY;
    if (!runDialog(CDialogRequest::Action::Save))
        return false;
    m_selected = {Filename};
    if (target)
        (void)SaveFrom(*target);
    return true;
}

QString CDialog::SelectedFile(int index) const
{
    if (index < 1 || index > m_selected.size())
        return {};
    return m_selected[index - 1];
}

Status CDialog::SaveFrom(const FileDialogTarget &target) const
{
    if (!m_actionRan || m_lastAction != CDialogRequest::Action::Save || m_selected.size() != 1)
        return Status::failure(QStringLiteral("No single file was chosen to save to."));
    return target.saveFile(m_selected.front());
}

Status CDialog::LoadInto(FileDialogTarget &target) const
{
    if (!m_actionRan || m_lastAction != CDialogRequest::Action::Open || m_selected.size() != 1)
        return Status::failure(QStringLiteral("No single file was chosen to load."));
    return target.loadFile(m_selected.front());
}

} // namespace corvel
