#pragma once

#include <QString>

namespace corvel {

// An exclusive lock on a file, taken at once or not at all (never waited for), and released
// when this object goes or its process dies: a holder that crashed leaves nothing to clear.
class FileLock
{
public:
    explicit FileLock(const QString &path);
    ~FileLock();
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;

    [[nodiscard]] bool held() const { return m_fd >= 0; }
    // The locked file, open for reading and writing while held; -1 otherwise.
    [[nodiscard]] int fd() const { return m_fd; }
    // Why it is not held: EWOULDBLOCK while another holds it, else why the file cannot be
    // opened; 0 when held.
    [[nodiscard]] int error() const { return m_error; }

private:
    int m_fd = -1;
    int m_error = 0;
};

} // namespace corvel
