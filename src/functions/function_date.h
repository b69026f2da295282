// Date and time functions. A date-time is a real: the whole part counts days since 30 December 1899
// (day 0), the fraction is the time of day (0.5 is noon). Before day 0 the whole part still names the day and
// the fraction's magnitude is the time (-1.25 is 29 December 1899, 06:00). Gregorian calendar, years 1..9999.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace kv {

struct DateParts {
  int64_t day = 0;  // day index (whole part)
  int year = 1899, month = 12, dayOfMonth = 30;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};

bool IsLeapYear(int64_t year);
int DaysInMonth(int64_t year, int month);
bool ValidDate(int64_t year, int64_t month, int64_t day);
bool ValidTime(int64_t hour, int64_t minute, int64_t second);  // 24:00:00 is valid
// Day index of a valid date (no check).
int64_t EncodeDate(int64_t year, int month, int day);
// Time of day as a fraction of a day (no check).
double EncodeTime(int64_t hour, int64_t minute, int64_t second, int64_t millisecond = 0);
// Whole day and time of day joined with the sign convention above.
double CombineDateTime(int64_t day, double timeOfDay);
// Calendar and clock parts; the time is rounded to the millisecond (a carry to 24:00 moves to the next day).
DateParts DecodeDateTime(double dateTime);
// Position on a continuous day scale (day + time of day), used by spans and comparisons.
double LinearDays(double dateTime);
// ISO 8601 week number (1..53) of the date's day.
int IsoWeek(double dateTime);
// 1 = Sunday .. 7 = Saturday.
int Weekday(double dateTime);
// Fixed formats standing in for the regional ones: "YYYY-MM-DD" and "HH:MM:SS".
std::string DateText(double dateTime);
std::string TimeText(double dateTime);

// The current local date-time (system time zone). Replaceable so runs and tests can fix "now".
void SetDateNowProvider(std::function<double()> provider);  // empty = the system clock
double DateNow();
double LocalDateTimeFromSystemClock();

// Registers the 47 date functions.
void RegisterDateFunctions();

}  // namespace kv
