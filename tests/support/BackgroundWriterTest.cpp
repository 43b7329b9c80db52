#include "support/BackgroundWriter.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <atomic>
#include <memory>
#include <thread>

using namespace corvel;

namespace {

// Writes record their name once `open`; "bad" fails.
struct Disk
{
    std::atomic<bool> started{false};
    std::atomic<bool> open{false};
    QStringList written; // on the writer's thread, one write at a time
    QStringList heard;   // on the test's thread

    BackgroundWriter::Write write(const QString &name)
    {
        return [this, name] {
            started = true;
            while (!open)
                std::this_thread::yield();
            written << name;
            return name == QLatin1String("bad") ? Status::failure(name) : Status();
        };
    }
    BackgroundWriter::Done done(const QString &name)
    {
        return [this, name](const Status &status) {
            heard << name + (status.ok() ? QString() : QLatin1String(" failed"));
        };
    }
};

} // namespace

// Each write holds the whole file: the one waiting gives way to a newer, and the newest is
// always the last written, whatever ends the writer.
TEST(BackgroundWriter, WritesInOrderDroppingOnlyWhatANewerReplaces)
{
    const struct
    {
        const char *ending;
        QStringList written;
        QStringList heard;
    } cases[] = {
        {"flush",
         {QLatin1String("a"), QLatin1String("bad")},
         {QLatin1String("a"), QLatin1String("bad failed")}},
        {"destroy", {QLatin1String("a"), QLatin1String("bad")}, {}},
        {"supersede", {QLatin1String("a")}, {}},
    };
    for (const auto &c : cases) {
        Disk disk;
        {
            auto writer = std::make_unique<BackgroundWriter>();
            for (const char *name : {"a", "b", "bad"}) {
                writer->post(disk.write(QLatin1String(name)), disk.done(QLatin1String(name)));
                while (!disk.started) // "a" is in hand before the others wait
                    std::this_thread::yield();
            }
            EXPECT_FALSE(writer->isIdle());
            disk.open = true;
            if (QLatin1String(c.ending) == QLatin1String("flush"))
                writer->flush();
            else if (QLatin1String(c.ending) == QLatin1String("supersede"))
                writer->supersede();
            else
                writer.reset();
            EXPECT_TRUE(!writer || writer->isIdle()) << c.ending;
        }
        EXPECT_EQ(disk.written, c.written) << c.ending;
        EXPECT_EQ(disk.heard, c.heard) << c.ending;
    }
}
