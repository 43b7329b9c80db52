#pragma once

#include <QString>

#include <memory>

class QLockFile;

namespace corvel {

// Who may change the mail groups: the window holds this lock for its whole run, and the
// command-line companion takes it around every change of groups, so the group file is
// never written by two programs. A lock left by a program that crashed is taken over.
class InstanceLock
{
public:
    // The lock file lives in the folder of the data files.
    explicit InstanceLock(const QString &appPath);
    ~InstanceLock();
    InstanceLock(const InstanceLock &) = delete;
    InstanceLock &operator=(const InstanceLock &) = delete;

    // False when another running program holds it; refusal() then says which.
    [[nodiscard]] bool tryLock();
    [[nodiscard]] bool isLocked() const;
    void unlock();
    [[nodiscard]] QString refusal() const;
    [[nodiscard]] QString filePath() const { return m_path; }

private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
    QString m_refusal;
};

} // namespace corvel
