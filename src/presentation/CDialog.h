#pragma once

#include "presentation/CDialogRunner.h"
#include "presentation/FileDialogTarget.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <stdexcept>

namespace corvel {

// Thrown by ShowOpen and ShowSave when the user cancels and CancelError is set.
class CDialogCancelled : public std::runtime_error
{
public:
    static constexpr int ErrorNumber = 32755;
    CDialogCancelled()
        : std::runtime_error("Cancel was selected.")
    {
    }
};

// An open and save file dialog with the properties of the classic common-dialog control:
// a "|"-separated filter, a file name, flags, a filter index and multiple selection. The
// dialog itself is shown by a runner, so the rules here are the same on the screen and in
// tests. Callers read and write the public fields directly.
class CDialog
{
public:
    // Bits of Flags.
    enum : std::uint32_t
    {
        OFN_READONLY = 0x1,
        OFN_OVERWRITEPROMPT = 0x2,
        OFN_HIDEREADONLY = 0x4,
        OFN_NOCHANGEDIR = 0x8,
        OFN_SHOWHELP = 0x10,
        OFN_ALLOWMULTISELECT = 0x200,
        OFN_PATHMUSTEXIST = 0x800,
        OFN_FILEMUSTEXIST = 0x1000,
        OFN_CREATEPROMPT = 0x2000,
        OFN_NOREADONLYRETURN = 0x8000,
        OFN_EXPLORER = 0x80000,
        OFN_LONGNAMES = 0x200000,
    };

    explicit CDialog(CDialogRunner &runner);

    bool CancelError = false;
    std::uint32_t Flags = 0;
    QString HelpFile;
    int HelpCommand = 0;
    int HelpContext = 0;
    QString HelpKey;
    QString DialogTitle;
    QString Filename;
    QString FileTitle;
    QString InitDir;
    int FilterIndex = 1;
    QString DefaultExt;
    int MaxFileSize = 256; // kept for callers; a chosen name is never cut to it
    QString CustomFilter;
    QString CustomFilterFilespec;
    int Error = 0;

    // 1 runs ShowOpen, 2 ShowSave, without a target; other values do nothing.
    void setAction(int action);
    [[nodiscard]] int MultiSelect() const;
    void setMultiSelect(int mode);
    [[nodiscard]] const QString &Filter() const { return m_filter; }
    void setFilter(const QString &filter);
    [[nodiscard]] int FileReadOnly() const;
    void setFileReadOnly(int mode);
    [[nodiscard]] int FileMustExist() const;
    void setFileMustExist(int code);
    [[nodiscard]] bool FileMustBeWritable() const;
    void setFileMustBeWriteable(bool writable);

    void AddFilter(const QString &description, const QString &filespec, bool isDefault = false);
    void AddDefaultFilters(FileDialogTarget::Kind kind);

    // True when a file was chosen; a target is loaded from (open) or saved to (save) it.
    [[nodiscard]] bool ShowOpen(FileDialogTarget *target = nullptr);
    [[nodiscard]] bool ShowSave(FileDialogTarget *target = nullptr);

    [[nodiscard]] int SelectedFileCount() const { return static_cast<int>(m_selected.size()); }
    // The 1-based file's full name; "" outside 1 to the count.
    [[nodiscard]] QString SelectedFile(int index) const;

    // After a save of one file: writes the target to it. After an open: loads it.
    [[nodiscard]] Status SaveFrom(const FileDialogTarget &target) const;
    [[nodiscard]] Status LoadInto(FileDialogTarget &target) const;

private:
    [[nodiscard]] bool runDialog(CDialogRequest::Action action);
    void selectMultiple();
    [[nodiscard]] FileDialogTarget::Kind targetKind(const FileDialogTarget *target) const;

    CDialogRunner &m_runner;
    QString m_filter;
    bool m_restart = false;
    QStringList m_selected;
    CDialogRequest::Action m_lastAction = CDialogRequest::Action::Open;
    bool m_actionRan = false;
    QChar m_separator = QLatin1Char(' ');
};

} // namespace corvel
