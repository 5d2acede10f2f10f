// LogThrottle on a clock in the test's hand: one line per interval, the rest counted into one
// summary, whether the tick or the next event brings it out.
#include <gtest/gtest.h>

#include <vector>

#include "web/log_throttle.h"
#include "web/raw_client_fixture.h"

namespace kavu::test {
namespace {

TEST(LogThrottle, OneLinePerIntervalAndTheRestAsOneSummary) {
  FakeClock clock;
  std::vector<std::pair<int64_t, int64_t>> summaries;
  LogThrottle t([&](int64_t events, int64_t amount) { summaries.push_back({events, amount}); }, &clock);
  EXPECT_TRUE(t.Add(5));  // the first event gets its own line
  EXPECT_FALSE(t.Add(3));
  EXPECT_FALSE(t.Add(4));
  t.Flush();  // the interval has not passed yet
  EXPECT_TRUE(summaries.empty());
  clock.Advance(999);
  t.Flush();
  EXPECT_TRUE(summaries.empty());
  clock.Advance(1);
  t.Flush();
  EXPECT_EQ(summaries, (std::vector<std::pair<int64_t, int64_t>>{{2, 7}}));
  t.Flush();  // nothing held back any more
  EXPECT_EQ(summaries.size(), 1u);
  // The summary was a line: the next event within the interval is held back again.
  EXPECT_FALSE(t.Add(1));
  // When the interval is over and events are held back, the next event brings out the summary
  // (including itself) instead of a line of its own: never two lines at once.
  clock.Advance(1000);
  EXPECT_FALSE(t.Add(10));
  EXPECT_EQ(summaries, (std::vector<std::pair<int64_t, int64_t>>{{2, 7}, {2, 11}}));
  // After a quiet interval an event has its own line again.
  clock.Advance(1000);
  EXPECT_TRUE(t.Add(1));
}

}  // namespace
}  // namespace kavu::test
