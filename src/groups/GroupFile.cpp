#include "groups/GroupFile.h"

#include "support/AtomicFile.h"
#include "support/DataFile.h"
#include "tree/NodeKinds.h"
#include "tree/TreeBranchFile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace corvel {

namespace {

QString posixError(const QString &what, const QString &path)
{
    return QStringLiteral("%1 %2: %3")
        .arg(what, path, QString::fromLocal8Bit(std::strerror(errno)));
}

bool isRoot(const TreeBranch &branch, NodeKind kind)
{
    // The branch file has no tree to ask, so its root's kind is read from the stored value.
    return !branch.isEmpty() &&
           branch.value(0, NodeValueName::olType()).toInt() == static_cast<int>(kind) &&
           branch.value(0, NodeValueName::olType()).isNumber();
}

} // namespace

Result<GroupFile::Branches> GroupFile::read(const QString &path)
{
    using R = Result<Branches>;
    const auto read = DataFile::read(path);
    if (!read.ok())
        return R::failure(read.error());
    const QByteArray &bytes = *read;
    // We never write an empty group file; one is what a crash or a full disk leaves.
    if (bytes.isEmpty())
        return R::failure(QStringLiteral("%1: the file is empty").arg(path));

    qsizetype used = 0;
    auto standard = TreeBranchFile::decode(bytes, &used);
    if (!standard.ok())
        return R::failure(QStringLiteral("%1: %2").arg(path, standard.error()));
    auto dynamic = TreeBranchFile::decode(QByteArrayView(bytes).sliced(used));
    if (!dynamic.ok())
        return R::failure(QStringLiteral("%1: %2 (second branch)").arg(path, dynamic.error()));
    if (!isRoot(*standard, NodeKind::StandardRoot) || !isRoot(*dynamic, NodeKind::DynamicRoot))
        return R::failure(
            QStringLiteral("%1: the group data is damaged (the group roots are missing)")
                .arg(path));
    return Branches{std::move(*standard), std::move(*dynamic)};
}

Status GroupFile::write(const QString &path, const QString &backupPath, const TreeList &tree,
                        NodeHandle standardRoot, NodeHandle dynamicRoot)
{
    return replace(path, backupPath,
                   TreeBranchFile::encode(tree, standardRoot) +
                       TreeBranchFile::encode(tree, dynamicRoot));
}

GroupFile::Snapshot GroupFile::snapshot(const TreeList &tree, NodeHandle standardRoot,
                                        NodeHandle dynamicRoot)
{
    return {TreeSnapshot(tree, standardRoot), TreeSnapshot(tree, dynamicRoot)};
}

Status GroupFile::write(const QString &path, const QString &backupPath, const Snapshot &snapshot)
{
    return replace(path, backupPath,
                   TreeBranchFile::encode(snapshot.standard) +
                       TreeBranchFile::encode(snapshot.dynamic));
}

Status GroupFile::replace(const QString &path, const QString &backupPath,
                          const QByteArray &contents)
{
    // Hold on to the file being replaced under a private name, so that it becomes the
    // backup only once the new file is safely in place.
    const QByteArray encodedPath = QFile::encodeName(path);
    const QByteArray previous =
        QFile::encodeName(QFileInfo(path).absolutePath() + QStringLiteral("/.") +
                          QFileInfo(path).fileName() + QStringLiteral(".previous"));
    ::unlink(previous.constData());
    bool havePrevious = false;
    struct stat st
    {
    };
    if (::lstat(encodedPath.constData(), &st) == 0) {
        // Only a regular file (or a link to one) is ever replaced: anything else in its
        // place, a link to nothing included, is the user's to mend.
        if (::stat(encodedPath.constData(), &st) != 0 || !S_ISREG(st.st_mode))
            return Status::failure(
                QStringLiteral("cannot replace %1: it is not a regular file").arg(path));
        if (::link(encodedPath.constData(), previous.constData()) != 0)
            return Status::failure(posixError(QStringLiteral("cannot keep the previous"), path));
        havePrevious = true;
    }

    if (const Status written = AtomicFile::write(path, contents, 0600); !written.ok()) {
        if (havePrevious)
            ::unlink(previous.constData());
        return written;
    }
    if (havePrevious &&
        ::rename(previous.constData(), QFile::encodeName(backupPath).constData()) != 0) {
        const QString reason =
            posixError(QStringLiteral("saved, but cannot keep the backup"), backupPath);
        ::unlink(previous.constData());
        return Status::failure(reason);
    }
    return {};
}

} // namespace corvel
