#include "shell/ui/stop_signal_notifier.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <atomic>
#include <csignal>
#include <vector>

#include "shell/ui/qt_test_app.h"

namespace kavu {
namespace {

std::atomic<int> g_earlier_handler_calls{0};
void EarlierHandler(int) { ++g_earlier_handler_calls; }

using Handler = void (*)(int);
Handler CurrentHandler(int signal) {
  struct sigaction now {};
  ::sigaction(signal, nullptr, &now);
  return now.sa_handler;
}

// Runs the event loop until `received` holds `count` signals or a second has passed.
void ProcessUntil(const std::vector<int>& received, size_t count) {
  QElapsedTimer t;
  t.start();
  while (received.size() < count && t.elapsed() < 1000) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

TEST(StopSignalNotifier, ASignalArrivesOnTheEventLoopOnceAndTheEarlierActionsComeBack) {
  test::QtTestApp();
  // The actions in force before: a handler of the test's own for each of the three.
  for (const int s : {SIGINT, SIGTERM, SIGHUP}) ::signal(s, EarlierHandler);
  std::vector<int> received;
  {
    StopSignalNotifier notifier;
    ASSERT_TRUE(notifier.Installed());
    QObject::connect(&notifier, &StopSignalNotifier::Received, [&](int s) { received.push_back(s); });
    for (const int s : {SIGINT, SIGTERM, SIGHUP}) EXPECT_NE(CurrentHandler(s), EarlierHandler) << s;
    ASSERT_EQ(::raise(SIGTERM), 0);
    // Nothing is emitted inside the handler: only the event loop delivers it.
    EXPECT_TRUE(received.empty());
    ProcessUntil(received, 1);
    ASSERT_EQ(received, std::vector<int>{SIGTERM});
    // After the first signal a second one would take its default action (the program ends).
    for (const int s : {SIGINT, SIGTERM, SIGHUP}) EXPECT_EQ(CurrentHandler(s), SIG_DFL) << s;
    EXPECT_EQ(g_earlier_handler_calls.load(), 0);
  }
  // Gone: the earlier actions are back and a signal reaches them, not a closed socket.
  for (const int s : {SIGINT, SIGTERM, SIGHUP}) EXPECT_EQ(CurrentHandler(s), EarlierHandler) << s;
  ASSERT_EQ(::raise(SIGHUP), 0);
  EXPECT_EQ(g_earlier_handler_calls.load(), 1);
  // A new notifier works again and names the signal it got.
  {
    StopSignalNotifier notifier;
    QObject::connect(&notifier, &StopSignalNotifier::Received, [&](int s) { received.push_back(s); });
    ASSERT_EQ(::raise(SIGHUP), 0);
    ProcessUntil(received, 2);
    EXPECT_EQ(received, (std::vector<int>{SIGTERM, SIGHUP}));
  }
  for (const int s : {SIGINT, SIGTERM, SIGHUP}) ::signal(s, SIG_DFL);
}

}  // namespace
}  // namespace kavu
