#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <string>

#include "functions/call_builtin.h"
#include "functions/function_date.h"

namespace kv {
namespace {

using test::BuiltinCaller;

class DateFunctions : public ::testing::Test {
 protected:
  void SetUp() override { RegisterDateFunctions(); }
  void TearDown() override { SetDateNowProvider(nullptr); }

  double Date(int y, int m, int d) { return call.Real("date_create_date", {double(y), double(m), double(d)}); }
  double DateTime(int y, int m, int d, int h, int mi, int s) {
    return call.Real("date_create_datetime", {double(y), double(m), double(d), double(h), double(mi), double(s)});
  }
  std::string Text(double dt) { return call.Str("date_datetime_string", {dt}); }

  BuiltinCaller call;
};

// Sets TZ for one scope and restores the previous zone afterwards.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* tz) {
    const char* old = std::getenv("TZ");
    hadOld_ = old != nullptr;
    if (hadOld_) old_ = old;
    setenv("TZ", tz, 1);
    tzset();
  }
  ~ScopedTimeZone() {
    if (hadOld_) setenv("TZ", old_.c_str(), 1);
    else unsetenv("TZ");
    tzset();
  }

 private:
  bool hadOld_ = false;
  std::string old_;
};

TEST_F(DateFunctions, CreationAndValidity) {
  EXPECT_EQ(Date(2000, 2, 29), 36585);
  EXPECT_EQ(Date(2000, 2, 30), 0);
  EXPECT_EQ(Date(1900, 2, 29), 0);  // 1900 is not a leap year
  EXPECT_EQ(Date(1899, 12, 30), 0);
  EXPECT_EQ(Date(1899, 12, 29), -1);
  EXPECT_EQ(Date(1, 1, 1), -693593);
  EXPECT_EQ(Date(9999, 12, 31), 2958465);
  EXPECT_EQ(Date(10000, 1, 1), 0);
  EXPECT_EQ(Date(0, 1, 1), 0);
  EXPECT_EQ(call.Real("date_create_time", {12.0, 0.0, 0.0}), 0.5);
  EXPECT_EQ(call.Real("date_create_time", {25.0, 0.0, 0.0}), 0);
  EXPECT_EQ(call.Real("date_create_time", {24.0, 0.0, 0.0}), 1);
  EXPECT_EQ(call.Real("date_valid_time", {24.0, 0.0, 1.0}), 0);
  EXPECT_EQ(call.Real("date_valid_time", {23.0, 59.0, 59.0}), 1);
  EXPECT_EQ(call.Real("date_valid_date", {2004.0, 2.0, 29.0}), 1);
  EXPECT_EQ(call.Real("date_valid_datetime", {2004.0, 2.0, 29.0, 0.0, 60.0, 0.0}), 0);
  EXPECT_EQ(call.Real("date_valid_date", {2004.0, 2.4, 29.0}), 1);  // arguments are rounded
  EXPECT_DOUBLE_EQ(DateTime(2000, 1, 1, 6, 0, 0), 36526.25);
  EXPECT_DOUBLE_EQ(DateTime(1899, 12, 29, 6, 0, 0), -1.25);  // before day 0 the time is subtracted
}

TEST_F(DateFunctions, DecodingParts) {
  double dt = DateTime(2008, 3, 1, 13, 45, 30);
  struct Case {
    const char* fn;
    double expected;
  } cases[] = {
      {"date_get_year", 2008},         {"date_get_month", 3},           {"date_get_day", 1},
      {"date_get_hour", 13},           {"date_get_minute", 45},         {"date_get_second", 30},
      {"date_get_weekday", 7},         {"date_get_day_of_year", 61},    {"date_get_hour_of_year", 60 * 24 + 13},
      {"date_get_minute_of_year", (60 * 24 + 13) * 60 + 45},            {"date_get_second_of_year", ((60 * 24 + 13) * 60 + 45) * 60 + 30},
      {"date_days_in_month", 31},      {"date_days_in_year", 366},      {"date_leap_year", 1},
      {"date_date_of", 39508},
  };
  for (const Case& c : cases) EXPECT_EQ(call.Real(c.fn, {dt}), c.expected) << c.fn;
  EXPECT_NEAR(call.Real("date_time_of", {dt}), (13 * 3600 + 45 * 60 + 30) / 86400.0, 1e-9);
  EXPECT_EQ(call.Real("date_get_hour", {-1.25}), 6);
  EXPECT_EQ(call.Real("date_get_day", {-1.25}), 29);
  EXPECT_EQ(call.Real("date_get_weekday", {0.0}), 7);  // 30 Dec 1899 was a Saturday
  EXPECT_EQ(call.Real("date_get_weekday", {1.0}), 1);
  EXPECT_EQ(call.Real("date_get_second", {0.99999999999}), 0);  // rounds to the next midnight
  EXPECT_EQ(call.Real("date_get_day", {0.99999999999}), 31);
  EXPECT_EQ(call.Real("date_get_year", {1e300}), 9999);  // far out of range: clamped, no overflow
  EXPECT_EQ(call.Real("date_days_in_month", {Date(2100, 2, 1)}), 28);
}

TEST_F(DateFunctions, IsoWeeks) {
  struct Case {
    int y, m, d, week;
  } cases[] = {{2005, 1, 1, 53}, {2005, 1, 3, 1}, {2008, 12, 29, 1}, {2009, 12, 31, 53}, {2010, 1, 4, 1},
               {2004, 12, 31, 53}, {2007, 1, 1, 1}, {2012, 6, 15, 24}};
  for (const Case& c : cases) EXPECT_EQ(call.Real("date_get_week", {Date(c.y, c.m, c.d)}), c.week) << c.y << "-" << c.m << "-" << c.d;
}

TEST_F(DateFunctions, ArithmeticAcrossBoundaries) {
  struct Case {
    const char* fn;
    double from;
    double amount;
    double expected;
  } cases[] = {
      {"date_inc_month", Date(2001, 1, 31), 1, Date(2001, 2, 28)},
      {"date_inc_month", Date(2004, 1, 31), 1, Date(2004, 2, 29)},
      {"date_inc_month", Date(2004, 12, 15), 1, Date(2005, 1, 15)},
      {"date_inc_month", Date(2005, 1, 15), -13, Date(2003, 12, 15)},
      {"date_inc_year", Date(2004, 2, 29), 1, Date(2005, 2, 28)},
      {"date_inc_year", Date(2004, 2, 29), 4, Date(2008, 2, 29)},
      {"date_inc_year", Date(9999, 1, 1), 1, 0},  // past year 9999: an invalid date
      {"date_inc_week", Date(2004, 12, 30), 1, Date(2005, 1, 6)},
      {"date_inc_day", Date(2004, 2, 28), 1, Date(2004, 2, 29)},
      {"date_inc_day", Date(2004, 2, 28), 1.5, Date(2004, 3, 1)},  // amounts are rounded (1.5 -> 2)
      {"date_inc_hour", Date(2004, 12, 31), 36, Date(2005, 1, 1) + 0.5},
  };
  for (const Case& c : cases) EXPECT_DOUBLE_EQ(call.Real(c.fn, {c.from, c.amount}), c.expected) << c.fn << " " << c.from;
  double t = DateTime(2001, 1, 31, 18, 0, 0);
  EXPECT_DOUBLE_EQ(call.Real("date_inc_month", {t, 1.0}), DateTime(2001, 2, 28, 18, 0, 0));  // time kept
  EXPECT_NEAR(call.Real("date_inc_second", {t, 3600.0}), DateTime(2001, 1, 31, 19, 0, 0), 1e-9);
  EXPECT_NEAR(call.Real("date_inc_minute", {t, -60.0}), DateTime(2001, 1, 31, 17, 0, 0), 1e-9);
}

TEST_F(DateFunctions, SpansAndComparisons) {
  double a = DateTime(2000, 1, 1, 0, 0, 0), b = DateTime(2000, 1, 2, 12, 0, 0);
  EXPECT_EQ(call.Real("date_day_span", {a, b}), 1.5);
  EXPECT_EQ(call.Real("date_day_span", {b, a}), 1.5);
  EXPECT_EQ(call.Real("date_hour_span", {a, b}), 36);
  EXPECT_EQ(call.Real("date_minute_span", {a, b}), 36 * 60);
  EXPECT_EQ(call.Real("date_second_span", {a, b}), 36 * 3600);
  EXPECT_EQ(call.Real("date_week_span", {a, a + 14}), 2);
  EXPECT_EQ(call.Real("date_year_span", {a, a + 365.25}), 1);
  EXPECT_EQ(call.Real("date_month_span", {a, a + 30.4375}), 1);
  EXPECT_EQ(call.Real("date_day_span", {-1.25, 0.0}), 0.75);  // 29 Dec 06:00 to 30 Dec 00:00

  EXPECT_EQ(call.Real("date_compare_datetime", {a, a + 0.5 / 86400000}), 0);
  EXPECT_EQ(call.Real("date_compare_datetime", {a, a + 2.0 / 86400000}), -1);
  EXPECT_EQ(call.Real("date_compare_datetime", {b, a}), 1);
  EXPECT_EQ(call.Real("date_compare_datetime", {-1.75, -1.25}), 1);  // 29 Dec 18:00 is after 29 Dec 06:00
  EXPECT_EQ(call.Real("date_compare_date", {a + 0.9, a + 0.1}), 0);
  EXPECT_EQ(call.Real("date_compare_date", {a, b}), -1);
  EXPECT_EQ(call.Real("date_compare_time", {a + 0.75, b}), 1);
  EXPECT_EQ(call.Real("date_compare_time", {a + 0.5, b}), 0);
}

TEST_F(DateFunctions, TextForms) {
  EXPECT_EQ(Text(DateTime(2005, 1, 2, 3, 4, 5)), "2005-01-02 03:04:05");
  EXPECT_EQ(Text(Date(2005, 1, 2)), "2005-01-02");  // exactly midnight: no time
  EXPECT_EQ(call.Str("date_date_string", {Date(1999, 12, 31) + 0.5}), "1999-12-31");
  EXPECT_EQ(call.Str("date_time_string", {Date(1999, 12, 31) + 0.5}), "12:00:00");
}

TEST_F(DateFunctions, NowFollowsTheInjectedClock) {
  double fixed = DateTime(2010, 6, 15, 8, 30, 0);
  SetDateNowProvider([fixed] { return fixed; });
  EXPECT_EQ(call.Real("date_current_datetime"), fixed);
  EXPECT_EQ(call.Real("date_current_date"), Date(2010, 6, 15));
  EXPECT_NEAR(call.Real("date_current_time"), 8.5 / 24, 1e-9);
  EXPECT_EQ(call.Real("date_is_today", {Date(2010, 6, 15) + 0.99}), 1);
  EXPECT_EQ(call.Real("date_is_today", {Date(2010, 6, 16)}), 0);
}

TEST(DateNow, UsesTheSystemTimeZone) {
  double utc, ahead;
  {
    ScopedTimeZone tz("UTC0");
    utc = LocalDateTimeFromSystemClock();
  }
  {
    ScopedTimeZone tz("XYZ-5:30");  // POSIX sign: 5 h 30 min east of UTC
    ahead = LocalDateTimeFromSystemClock();
  }
  EXPECT_NEAR(LinearDays(ahead) - LinearDays(utc), 5.5 / 24, 2.0 / 86400);
  std::time_t now = std::time(nullptr);
  EXPECT_NEAR(LinearDays(utc), static_cast<double>(now) / 86400.0 + 25569.0, 2.0 / 86400);
}

}  // namespace
}  // namespace kv
