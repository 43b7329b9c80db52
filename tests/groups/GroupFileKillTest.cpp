#include "groups/GroupFile.h"
#include "groups/GroupStore.h"
#include "tree/NodeKinds.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace corvel;

// A process killed while it writes the group file leaves the old file or the new one,
// whole: never a mix, never a torn file that start-up would refuse.
TEST(GroupFileKill, KillDuringSaveLeavesAWholeFile)
{
    constexpr int small = 10, large = 20000;
    for (int round = 0; round < 4; ++round) {
        QTemporaryDir dir;
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(ready[0]);
            GroupStore store(dir.path(), QString());
            TreeList tree;
            (void)store.addGroupRoots(tree, {});
            const NodeHandle group =
                tree.addNode(u"G"_s, findNodeOfKind(tree, NodeKind::StandardRoot));
            setNodeKind(tree, group, NodeKind::StandardGroup);
            // Alternate between two sizes, telling the parent after each finished save.
            for (int i = 0;; ++i) {
                tree.removeDescendants(group);
                const int n = i % 2 == 0 ? small : large;
                for (int m = 0; m < n; ++m)
                    tree.addNode(QString(), group);
                if (!store.saveGroupFile(tree).ok())
                    _exit(2);
                const char done = 1;
                if (write(ready[1], &done, 1) != 1)
                    _exit(3);
            }
        }
        close(ready[1]);
        char done = 0;
        for (int saves = 0; saves < 2 + round; ++saves)
            ASSERT_EQ(read(ready[0], &done, 1), 1);
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        close(ready[0]);

        GroupStore store(dir.path(), QString());
        const auto branches = GroupFile::read(store.groupFilePath());
        ASSERT_TRUE(branches.ok()) << qPrintable(branches.error());
        const size_t nodes = branches->standard.nodes().size();
        EXPECT_TRUE(nodes == 2 + small || nodes == 2 + large) << nodes;
    }
}
