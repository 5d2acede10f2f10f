#include <gtest/gtest.h>

#include "web/http_dates.h"

namespace kavu {
namespace {

TEST(HttpDates, TextAndParseRoundTrip) {
  const uint64_t t = FileTimeFromUnixSeconds(784111777);  // Sun, 06 Nov 1994 08:49:37 GMT
  EXPECT_EQ(GmtText(t), "Sun, 06 Nov 1994 08:49:37 GMT");
  EXPECT_EQ(ParseGmt("Sun, 06 Nov 1994 08:49:37 GMT"), t);
  EXPECT_EQ(ParseGmt("sun, 6 nov 1994 8:49:37 gmt"), t);  // month and day names in any case
  EXPECT_EQ(ParseGmt(GmtText(FileTimeFromUnixSeconds(1700000000))), FileTimeFromUnixSeconds(1700000000));
  EXPECT_EQ(GmtText(FileTimeFromUnixSeconds(951782400)), "Tue, 29 Feb 2000 00:00:00 GMT");  // leap day
}

TEST(HttpDates, RefusesIncompleteOrOutOfRange) {
  EXPECT_EQ(ParseGmt(""), 0u);
  EXPECT_EQ(ParseGmt("Sun, 06 Nov 1994 08:49"), 0u);           // six fields
  EXPECT_EQ(ParseGmt("Sun, 06 Foo 1994 08:49:37 GMT"), 0u);    // no such month
  EXPECT_EQ(ParseGmt("Sun, 32 Nov 1994 08:49:37 GMT"), 0u);    // day
  EXPECT_EQ(ParseGmt("Sun, 06 Nov 1799 08:49:37 GMT"), 0u);    // year
  EXPECT_EQ(ParseGmt("Sun, 06 Nov 3001 08:49:37 GMT"), 0u);
  EXPECT_EQ(ParseGmt("Sun, 06 Nov 1994 61:49:37 GMT"), 0u);    // hour
  EXPECT_NE(ParseGmt("Sun, 06 Nov 1994 60:60:60 GMT"), 0u);    // 60 is still accepted
}

TEST(HttpDates, UnrepresentableTimeFallsBackInsteadOfStopping) {
  const uint64_t fallback = FileTimeFromUnixSeconds(784111777);
  EXPECT_EQ(GmtText(~uint64_t{0}, fallback), "Sun, 06 Nov 1994 08:49:37 GMT");
  EXPECT_EQ(GmtText(~uint64_t{0}, ~uint64_t{0}), "Mon, 01 Jan 1601 00:00:00 GMT");
}

}  // namespace
}  // namespace kavu
