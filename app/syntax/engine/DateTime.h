// Calendar arithmetic of the language's dates, shared by the conversions
// (CDate, CStr of a date) and the date functions of the run-time library.
//
// A date is a double: whole days since 30 December 1899 (proleptic
// Gregorian), the time as the fraction. For dates before that day the
// fraction still counts forward from midnight: -1.25 is 29 December 1899,
// 6:00 AM. Valid dates run from 1 January 100 to 31 December 9999.
#pragma once

#include <span>

#include "Value.h"

namespace script {
struct RuntimeState;
}

namespace script::dt {

constexpr double kMinDate = -657434.0;         // 1 January 100
constexpr double kMaxDate = 2958465.99999999;  // 31 December 9999, 23:59:59

struct Parts {
    int year = 1899, month = 12, day = 30;
    int hour = 0, minute = 0, second = 0;
    int weekday = 7;  // 1 = Sunday
};

// Day number of a calendar date; month and day outside their range carry
// into the year and month (month 13 is January of the next year, day 0 the
// last day of the month before).
long long DaysFromCivil(long long year, long long month, long long day);
void CivilFromDays(long long days, int* year, int* month, int* day);
bool IsLeap(int year);
int DaysInMonth(int year, int month);

// A date and a time of day (seconds since midnight) as one date value.
double Compose(long long days, double seconds);
// Splits a date; the time is rounded to the second.
Parts Split(double date);
// Throws Overflow outside the valid range.
double CheckRange(double date);

// US English date text: "1/31/2024", "2024-01-31", "January 31, 2024",
// "31 Jan 2024", "13:05", "1:05:30 PM", a date followed by a time. False
// when the text is no date. A date without a year takes the current year.
bool ParseDate(StringView text, double* date);

// ---- The date functions of the run-time library -----------------------------
CValue BiDate(RuntimeState&, std::span<const CValue>);
CValue BiTime(RuntimeState&, std::span<const CValue>);
CValue BiNow(RuntimeState&, std::span<const CValue>);
CValue BiTimer(RuntimeState&, std::span<const CValue>);
CValue BiDateSerial(RuntimeState&, std::span<const CValue>);
CValue BiTimeSerial(RuntimeState&, std::span<const CValue>);
CValue BiDateValue(RuntimeState&, std::span<const CValue>);
CValue BiTimeValue(RuntimeState&, std::span<const CValue>);
CValue BiYear(RuntimeState&, std::span<const CValue>);
CValue BiMonth(RuntimeState&, std::span<const CValue>);
CValue BiDay(RuntimeState&, std::span<const CValue>);
CValue BiHour(RuntimeState&, std::span<const CValue>);
CValue BiMinute(RuntimeState&, std::span<const CValue>);
CValue BiSecond(RuntimeState&, std::span<const CValue>);
CValue BiWeekday(RuntimeState&, std::span<const CValue>);
CValue BiWeekdayName(RuntimeState&, std::span<const CValue>);
CValue BiMonthName(RuntimeState&, std::span<const CValue>);
CValue BiDateAdd(RuntimeState&, std::span<const CValue>);
CValue BiDateDiff(RuntimeState&, std::span<const CValue>);
CValue BiDatePart(RuntimeState&, std::span<const CValue>);
CValue BiIsDate(RuntimeState&, std::span<const CValue>);
CValue BiFormatDateTime(RuntimeState&, std::span<const CValue>);

}  // namespace script::dt
