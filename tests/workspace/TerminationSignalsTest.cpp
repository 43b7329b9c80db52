#include "workspace/TerminationSignals.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <csignal>
#include <vector>

using namespace corvel;

namespace {

bool handledByDefault(int signalNumber)
{
    struct sigaction current = {};
    ::sigaction(signalNumber, nullptr, &current);
    return current.sa_handler == SIG_DFL;
}

// The window closes on these signals as if the user had closed it: the handler must run on
// the event loop (a signal handler may not touch the window), once per signal, and the
// default way of ending must come back when the window is gone.
TEST(TerminationSignals, EachSignalReachesTheEventLoopOnceAndOnlyOneInstanceListens)
{
    int argc = 1;
    char name[] = "tests_workspace";
    char *argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    for (int round = 0; round < 2; ++round) { // a second window after the first is gone
        std::vector<int> received;
        {
            TerminationSignals listener([&received](int number) { received.push_back(number); });
            ASSERT_TRUE(listener.isActive());
            TerminationSignals second([](int) {});
            EXPECT_FALSE(second.isActive());

            for (const int number : {SIGTERM, SIGINT, SIGHUP})
                ASSERT_EQ(::raise(number), 0);
            EXPECT_TRUE(received.empty()) << "not from within the signal handler";
            for (int i = 0; i < 100 && received.size() < 3; ++i)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            EXPECT_EQ(received, (std::vector<int>{SIGTERM, SIGINT, SIGHUP}));
        }
        for (const int number : {SIGTERM, SIGINT, SIGHUP})
            EXPECT_TRUE(handledByDefault(number)) << number;
    }
}

} // namespace
