#include "workspace/InstanceLock.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <sys/wait.h>
#include <unistd.h>

using namespace corvel;

namespace {

TEST(InstanceLock, ASecondHolderIsRefusedUntilTheFirstLetsGo)
{
    QTemporaryDir dir;
    InstanceLock first(dir.path());
    ASSERT_TRUE(first.tryLock());
    InstanceLock second(dir.path());
    EXPECT_FALSE(second.tryLock());
    EXPECT_TRUE(second.refusal().contains(QString::number(::getpid())))
        << second.refusal().toStdString();
    first.unlock();
    EXPECT_TRUE(second.tryLock());
}

TEST(InstanceLock, ALockLeftByAProgramThatDiedIsTakenOver)
{
    QTemporaryDir dir;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Takes the lock and dies without releasing it, as a crash would.
        InstanceLock *leaked = new InstanceLock(dir.path());
        ::_exit(leaked->tryLock() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    InstanceLock lock(dir.path());
    ASSERT_TRUE(QFile::exists(lock.filePath()));
    EXPECT_TRUE(lock.tryLock()) << lock.refusal().toStdString();
}

TEST(InstanceLock, AnUnwritableFolderIsReportedNotTakenForAnotherProgram)
{
    InstanceLock lock(QStringLiteral("/proc/corvel-no-such-folder"));
    EXPECT_FALSE(lock.tryLock());
    EXPECT_FALSE(lock.refusal().contains(QStringLiteral("in use"))) << lock.refusal().toStdString();
}

} // namespace
