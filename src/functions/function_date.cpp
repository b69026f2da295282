#include "functions/function_date.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "code/code_docs.h"
#include "code/code_function.h"
#include "code/code_value.h"

namespace kv {

namespace {
constexpr double kMsPerDay = 86400000.0;
// Day 0 (30 Dec 1899) counted from 1 Mar of year 0 in the proleptic Gregorian calendar.
constexpr int64_t kEpochShift = 693899;
// Day indices of 1 Jan 0001 and 31 Dec 9999; decoding clamps into this range (no overflow for any real).
constexpr int64_t kFirstDay = -693593;
constexpr int64_t kLastDay = 2958465;

struct Civil {
  int64_t year;
  int month, day;
};

// Days since 1 Mar 0000 <-> civil date (era-based; exact for the whole clamped range).
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  int64_t yoe = y - era * 400;
  int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe;
}

Civil CivilFromDays(int64_t z) {
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  return Civil{yoe + era * 400 + (m <= 2), m, d};
}

int64_t ClampDay(double whole) {
  if (!(whole >= static_cast<double>(kFirstDay))) return kFirstDay;
  if (whole > static_cast<double>(kLastDay)) return kLastDay;
  return static_cast<int64_t>(whole);
}
}  // namespace

bool IsLeapYear(int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int64_t year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool ValidDate(int64_t y, int64_t m, int64_t d) {
  return y >= 1 && y <= 9999 && m >= 1 && m <= 12 && d >= 1 && d <= DaysInMonth(y, static_cast<int>(m));
}

bool ValidTime(int64_t h, int64_t mi, int64_t s) {
  if (h == 24 && mi == 0 && s == 0) return true;
  return h >= 0 && h <= 23 && mi >= 0 && mi <= 59 && s >= 0 && s <= 59;
}

int64_t EncodeDate(int64_t y, int m, int d) { return DaysFromCivil(y, m, d) - kEpochShift; }

double EncodeTime(int64_t h, int64_t mi, int64_t s, int64_t ms) {
  return static_cast<double>(((h * 60 + mi) * 60 + s) * 1000 + ms) / kMsPerDay;
}

double CombineDateTime(int64_t day, double timeOfDay) {
  double t = std::fabs(timeOfDay);
  return day >= 0 ? static_cast<double>(day) + t : static_cast<double>(day) - t;
}

DateParts DecodeDateTime(double dt) {
  DateParts p;
  if (!std::isfinite(dt)) dt = 0;
  double whole = std::trunc(dt);
  int64_t day = ClampDay(whole);
  int64_t ms = day == static_cast<int64_t>(whole) ? std::llround(std::fabs(dt - whole) * kMsPerDay) : 0;
  if (ms >= static_cast<int64_t>(kMsPerDay)) {  // 23:59:59.9996 rounds to the next midnight
    ms = 0;
    if (day < kLastDay) ++day;
  }
  Civil c = CivilFromDays(day + kEpochShift);
  p.day = day;
  p.year = static_cast<int>(c.year);
  p.month = c.month;
  p.dayOfMonth = c.day;
  p.hour = static_cast<int>(ms / 3600000);
  p.minute = static_cast<int>(ms / 60000 % 60);
  p.second = static_cast<int>(ms / 1000 % 60);
  p.millisecond = static_cast<int>(ms % 1000);
  return p;
}

double LinearDays(double dt) {
  double whole = std::trunc(dt);
  return whole + std::fabs(dt - whole);
}

int Weekday(double dt) {
  int64_t day = DecodeDateTime(dt).day;
  return static_cast<int>(((day + 6) % 7 + 7) % 7) + 1;  // day 0 was a Saturday
}

int IsoWeek(double dt) {
  int64_t day = DecodeDateTime(dt).day;
  int isoWeekday = (Weekday(static_cast<double>(day)) + 5) % 7 + 1;  // Monday 1 .. Sunday 7
  int64_t thursday = day - isoWeekday + 4;
  Civil c = CivilFromDays(thursday + kEpochShift);
  int64_t jan1 = EncodeDate(c.year, 1, 1);
  return static_cast<int>((thursday - jan1) / 7 + 1);
}

std::string DateText(double dt) {
  DateParts p = DecodeDateTime(dt);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", p.year, p.month, p.dayOfMonth);
  return buf;
}

std::string TimeText(double dt) {
  DateParts p = DecodeDateTime(dt);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", p.hour, p.minute, p.second);
  return buf;
}

// ---- now ----

namespace {
std::function<double()>& NowProvider() {
  static std::function<double()> provider;
  return provider;
}
}  // namespace

void SetDateNowProvider(std::function<double()> provider) { NowProvider() = std::move(provider); }

double LocalDateTimeFromSystemClock() {
  auto now = std::chrono::system_clock::now();
  std::time_t secs = std::chrono::system_clock::to_time_t(now);
  int64_t ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  if (ms < 0) ms += 1000;
  std::tm local{};
  if (std::tm* t = std::localtime(&secs)) local = *t;  // the system's time zone (TZ)
  int64_t day = EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
  return CombineDateTime(day, EncodeTime(local.tm_hour, local.tm_min, std::min(local.tm_sec, 59), ms));
}

double DateNow() {
  const std::function<double()>& p = NowProvider();
  return p ? p() : LocalDateTimeFromSystemClock();
}

// ---- script functions ----

namespace {

#define KV_FN(name)                                                                              \
  void name([[maybe_unused]] RValue& result, CInstance*, CInstance*, [[maybe_unused]] int argc, \
            [[maybe_unused]] RValue* args)

double D(const RValue* args, int i) { return args[i].Real(); }
int64_t I(const RValue* args, int i) { return RoundToInt64(args[i].Real()); }
double Sign(double diff) { return diff < 0 ? -1.0 : (diff > 0 ? 1.0 : 0.0); }
constexpr double kOneMs = 1.0 / kMsPerDay;

double TimeOfDay(double dt) { return std::fabs(dt - std::trunc(dt)); }
double DaySpan(const RValue* args) { return std::fabs(LinearDays(D(args, 0)) - LinearDays(D(args, 1))); }

// The date `months` months later; a missing day becomes the month's last day; time of day kept.
// Results outside years 1..9999 give 0, like an invalid date.
double AddMonths(double dt, int64_t months) {
  DateParts p = DecodeDateTime(dt);
  if (months > 120000 || months < -120000) return 0;
  int64_t total = p.year * int64_t(12) + (p.month - 1) + months;
  int64_t year = total >= 0 ? total / 12 : -((-total + 11) / 12);
  int month = static_cast<int>(total - year * 12) + 1;
  if (year < 1 || year > 9999) return 0;
  int day = std::min(p.dayOfMonth, DaysInMonth(year, month));
  return CombineDateTime(EncodeDate(year, month, day), TimeOfDay(dt));
}

KV_FN(FnCurrentDateTime) { result = DateNow(); }
KV_FN(FnCurrentDate) { result = std::trunc(DateNow()); }
KV_FN(FnCurrentTime) { result = TimeOfDay(DateNow()); }

KV_FN(FnCreateDateTime) {
  int64_t y = I(args, 0), mo = I(args, 1), d = I(args, 2), h = I(args, 3), mi = I(args, 4), s = I(args, 5);
  if (ValidDate(y, mo, d) && ValidTime(h, mi, s))
    result = CombineDateTime(EncodeDate(y, static_cast<int>(mo), static_cast<int>(d)), EncodeTime(h, mi, s));
}
KV_FN(FnCreateDate) {
  int64_t y = I(args, 0), mo = I(args, 1), d = I(args, 2);
  if (ValidDate(y, mo, d)) result = static_cast<double>(EncodeDate(y, static_cast<int>(mo), static_cast<int>(d)));
}
KV_FN(FnCreateTime) {
  int64_t h = I(args, 0), mi = I(args, 1), s = I(args, 2);
  if (ValidTime(h, mi, s)) result = EncodeTime(h, mi, s);
}
KV_FN(FnValidDateTime) {
  result = (ValidDate(I(args, 0), I(args, 1), I(args, 2)) && ValidTime(I(args, 3), I(args, 4), I(args, 5))) ? 1.0 : 0.0;
}
KV_FN(FnValidDate) { result = ValidDate(I(args, 0), I(args, 1), I(args, 2)) ? 1.0 : 0.0; }
KV_FN(FnValidTime) { result = ValidTime(I(args, 0), I(args, 1), I(args, 2)) ? 1.0 : 0.0; }

KV_FN(FnIncYear) {
  int64_t n = I(args, 1);
  result = (n > 10000 || n < -10000) ? 0.0 : AddMonths(D(args, 0), n * 12);
}
KV_FN(FnIncMonth) { result = AddMonths(D(args, 0), I(args, 1)); }
KV_FN(FnIncWeek) { result = CheckFinite(D(args, 0) + 7.0 * static_cast<double>(I(args, 1))); }
KV_FN(FnIncDay) { result = CheckFinite(D(args, 0) + static_cast<double>(I(args, 1))); }
KV_FN(FnIncHour) { result = CheckFinite(D(args, 0) + static_cast<double>(I(args, 1)) / 24.0); }
KV_FN(FnIncMinute) { result = CheckFinite(D(args, 0) + static_cast<double>(I(args, 1)) / 1440.0); }
KV_FN(FnIncSecond) { result = CheckFinite(D(args, 0) + static_cast<double>(I(args, 1)) / 86400.0); }

KV_FN(FnGetYear) { result = DecodeDateTime(D(args, 0)).year; }
KV_FN(FnGetMonth) { result = DecodeDateTime(D(args, 0)).month; }
KV_FN(FnGetDay) { result = DecodeDateTime(D(args, 0)).dayOfMonth; }
KV_FN(FnGetHour) { result = DecodeDateTime(D(args, 0)).hour; }
KV_FN(FnGetMinute) { result = DecodeDateTime(D(args, 0)).minute; }
KV_FN(FnGetSecond) { result = DecodeDateTime(D(args, 0)).second; }
KV_FN(FnGetWeekday) { result = Weekday(D(args, 0)); }
KV_FN(FnGetWeek) { result = IsoWeek(D(args, 0)); }

int64_t DayOfYear(const DateParts& p) { return p.day - EncodeDate(p.year, 1, 1) + 1; }
int64_t HourOfYear(const DateParts& p) { return (DayOfYear(p) - 1) * 24 + p.hour; }
int64_t MinuteOfYear(const DateParts& p) { return HourOfYear(p) * 60 + p.minute; }
KV_FN(FnGetDayOfYear) { result = static_cast<double>(DayOfYear(DecodeDateTime(D(args, 0)))); }
KV_FN(FnGetHourOfYear) { result = static_cast<double>(HourOfYear(DecodeDateTime(D(args, 0)))); }
KV_FN(FnGetMinuteOfYear) { result = static_cast<double>(MinuteOfYear(DecodeDateTime(D(args, 0)))); }
KV_FN(FnGetSecondOfYear) {
  DateParts p = DecodeDateTime(D(args, 0));
  result = static_cast<double>(MinuteOfYear(p) * 60 + p.second);
}

KV_FN(FnDaySpan) { result = CheckFinite(DaySpan(args)); }
KV_FN(FnYearSpan) { result = CheckFinite(DaySpan(args) / 365.25); }
KV_FN(FnMonthSpan) { result = CheckFinite(DaySpan(args) / 30.4375); }
KV_FN(FnWeekSpan) { result = CheckFinite(DaySpan(args) / 7.0); }
KV_FN(FnHourSpan) { result = CheckFinite(DaySpan(args) * 24.0); }
KV_FN(FnMinuteSpan) { result = CheckFinite(DaySpan(args) * 1440.0); }
KV_FN(FnSecondSpan) { result = CheckFinite(DaySpan(args) * 86400.0); }

KV_FN(FnCompareDateTime) {
  double diff = CheckFinite(LinearDays(D(args, 0)) - LinearDays(D(args, 1)));
  result = std::fabs(diff) < kOneMs ? 0.0 : Sign(diff);
}
KV_FN(FnCompareDate) { result = Sign(std::trunc(D(args, 0)) - std::trunc(D(args, 1))); }
KV_FN(FnCompareTime) {
  double diff = TimeOfDay(D(args, 0)) - TimeOfDay(D(args, 1));
  result = std::fabs(diff) < kOneMs ? 0.0 : Sign(diff);
}
KV_FN(FnDateOf) { result = std::trunc(D(args, 0)); }
KV_FN(FnTimeOf) { result = D(args, 0) - std::trunc(D(args, 0)); }

KV_FN(FnDateTimeString) {
  double dt = D(args, 0);
  std::string text = DateText(dt);
  if (dt != std::trunc(dt)) text += ' ' + TimeText(dt);
  result.SetString(text);
}
KV_FN(FnDateString) { result.SetString(DateText(D(args, 0))); }
KV_FN(FnTimeString) { result.SetString(TimeText(D(args, 0))); }
KV_FN(FnDaysInMonth) {
  DateParts p = DecodeDateTime(D(args, 0));
  result = DaysInMonth(p.year, p.month);
}
KV_FN(FnDaysInYear) { result = IsLeapYear(DecodeDateTime(D(args, 0)).year) ? 366.0 : 365.0; }
KV_FN(FnLeapYear) { result = IsLeapYear(DecodeDateTime(D(args, 0)).year) ? 1.0 : 0.0; }
KV_FN(FnIsToday) { result = DecodeDateTime(D(args, 0)).day == DecodeDateTime(DateNow()).day ? 1.0 : 0.0; }

#undef KV_FN

}  // namespace

void RegisterDateFunctions() {
  RegisterFunction("date_current_datetime", FnCurrentDateTime, 0);
  RegisterFunction("date_current_date", FnCurrentDate, 0);
  RegisterFunction("date_current_time", FnCurrentTime, 0);
  RegisterFunction("date_create_datetime", FnCreateDateTime, 6);
  RegisterFunction("date_create_date", FnCreateDate, 3);
  RegisterFunction("date_create_time", FnCreateTime, 3);
  RegisterFunction("date_valid_datetime", FnValidDateTime, 6);
  RegisterFunction("date_valid_date", FnValidDate, 3);
  RegisterFunction("date_valid_time", FnValidTime, 3);
  RegisterFunction("date_inc_year", FnIncYear, 2);
  RegisterFunction("date_inc_month", FnIncMonth, 2);
  RegisterFunction("date_inc_week", FnIncWeek, 2);
  RegisterFunction("date_inc_day", FnIncDay, 2);
  RegisterFunction("date_inc_hour", FnIncHour, 2);
  RegisterFunction("date_inc_minute", FnIncMinute, 2);
  RegisterFunction("date_inc_second", FnIncSecond, 2);
  RegisterFunction("date_get_year", FnGetYear, 1);
  RegisterFunction("date_get_month", FnGetMonth, 1);
  RegisterFunction("date_get_day", FnGetDay, 1);
  RegisterFunction("date_get_hour", FnGetHour, 1);
  RegisterFunction("date_get_minute", FnGetMinute, 1);
  RegisterFunction("date_get_second", FnGetSecond, 1);
  RegisterFunction("date_get_weekday", FnGetWeekday, 1);
  RegisterFunction("date_get_week", FnGetWeek, 1);
  RegisterFunction("date_get_day_of_year", FnGetDayOfYear, 1);
  RegisterFunction("date_get_hour_of_year", FnGetHourOfYear, 1);
  RegisterFunction("date_get_minute_of_year", FnGetMinuteOfYear, 1);
  RegisterFunction("date_get_second_of_year", FnGetSecondOfYear, 1);
  RegisterFunction("date_day_span", FnDaySpan, 2);
  RegisterFunction("date_year_span", FnYearSpan, 2);
  RegisterFunction("date_month_span", FnMonthSpan, 2);
  RegisterFunction("date_week_span", FnWeekSpan, 2);
  RegisterFunction("date_hour_span", FnHourSpan, 2);
  RegisterFunction("date_minute_span", FnMinuteSpan, 2);
  RegisterFunction("date_second_span", FnSecondSpan, 2);
  RegisterFunction("date_compare_datetime", FnCompareDateTime, 2);
  RegisterFunction("date_compare_date", FnCompareDate, 2);
  RegisterFunction("date_compare_time", FnCompareTime, 2);
  RegisterFunction("date_date_of", FnDateOf, 1);
  RegisterFunction("date_time_of", FnTimeOf, 1);
  RegisterFunction("date_datetime_string", FnDateTimeString, 1);
  RegisterFunction("date_date_string", FnDateString, 1);
  RegisterFunction("date_time_string", FnTimeString, 1);
  RegisterFunction("date_days_in_month", FnDaysInMonth, 1);
  RegisterFunction("date_days_in_year", FnDaysInYear, 1);
  RegisterFunction("date_leap_year", FnLeapYear, 1);
  RegisterFunction("date_is_today", FnIsToday, 1);
  DescribeFunctions("Dates and times", {
      {"date_current_datetime", "", "The current date and time."},
      {"date_current_date", "", "Today's date, at midnight."},
      {"date_current_time", "", "The current time of day."},
      {"date_create_datetime", "year, month, day, hour, minute, second",
       "The date-time value of the given moment, 0 when it is not a valid one."},
      {"date_create_date", "year, month, day", "The date value of the given day, 0 when it is not a valid date."},
      {"date_create_time", "hour, minute, second", "The time-of-day value of the given time, 0 when it is not valid."},
      {"date_valid_datetime", "year, month, day, hour, minute, second",
       "Whether the arguments make a valid date and time."},
      {"date_valid_date", "year, month, day", "Whether the arguments make a valid date."},
      {"date_valid_time", "hour, minute, second", "Whether the arguments make a valid time of day."},
      {"date_inc_year", "date, amount",
       "The date amount years later (the last day of the month when the day is missing)."},
      {"date_inc_month", "date, amount",
       "The date amount months later (the last day of the month when the day is missing)."},
      {"date_inc_week", "date, amount", "The date amount weeks later."},
      {"date_inc_day", "date, amount", "The date amount days later."},
      {"date_inc_hour", "date, amount", "The date amount hours later."},
      {"date_inc_minute", "date, amount", "The date amount minutes later."},
      {"date_inc_second", "date, amount", "The date amount seconds later."},
      {"date_get_year", "date", "The year of the date."},
      {"date_get_month", "date", "The month of the date, 1 to 12."},
      {"date_get_day", "date", "The day of the month of the date."},
      {"date_get_hour", "date", "The hour of the date's time of day."},
      {"date_get_minute", "date", "The minute of the date's time of day."},
      {"date_get_second", "date", "The second of the date's time of day."},
      {"date_get_weekday", "date", "The day of the week, 1 (Sunday) to 7 (Saturday)."},
      {"date_get_week", "date", "The ISO week number of the date."},
      {"date_get_day_of_year", "date", "The day of the year, 1 for 1 January."},
      {"date_get_hour_of_year", "date", "The hours since the start of the date's year."},
      {"date_get_minute_of_year", "date", "The minutes since the start of the date's year."},
      {"date_get_second_of_year", "date", "The seconds since the start of the date's year."},
      {"date_day_span", "date1, date2", "The number of days between two dates, fractions included."},
      {"date_year_span", "date1, date2", "The number of years between two dates, fractions included."},
      {"date_month_span", "date1, date2", "The number of months between two dates, fractions included."},
      {"date_week_span", "date1, date2", "The number of weeks between two dates, fractions included."},
      {"date_hour_span", "date1, date2", "The number of hours between two dates, fractions included."},
      {"date_minute_span", "date1, date2", "The number of minutes between two dates, fractions included."},
      {"date_second_span", "date1, date2", "The number of seconds between two dates, fractions included."},
      {"date_compare_datetime", "date1, date2", "-1, 0 or 1 as date1 is before, at or after date2."},
      {"date_compare_date", "date1, date2",
       "-1, 0 or 1 as the day of date1 is before, the same as or after that of date2."},
      {"date_compare_time", "date1, date2", "-1, 0 or 1 comparing only the times of day of the two dates."},
      {"date_date_of", "date", "The date part of a date-time (its midnight)."},
      {"date_time_of", "date", "The time-of-day part of a date-time."},
      {"date_datetime_string", "date", "The date and time written as text."},
      {"date_date_string", "date", "The date written as text."},
      {"date_time_string", "date", "The time of day written as text."},
      {"date_days_in_month", "date", "The number of days in the date's month."},
      {"date_days_in_year", "date", "The number of days in the date's year."},
      {"date_leap_year", "date", "Whether the date's year is a leap year."},
      {"date_is_today", "date", "Whether the date falls on today."},
  });
}

}  // namespace kv
