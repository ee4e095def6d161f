// Calendar arithmetic, date text, and the date functions of the run-time
// library. Day numbers come from the civil-date formulas of the proleptic
// Gregorian calendar (era-based, valid far outside the language's range),
// shifted so that day 0 is 30 December 1899.
#include "DateTime.h"

#include <cmath>
#include <cstdio>

#include "Builtins.h"
#include "Engine.h"
#include "Operators.h"

namespace script::dt {

namespace {

constexpr long long kEpochShift = 25569;  // 1 January 1970 is day 25569

long long FloorDiv(long long a, long long b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

long long CivilToUnixDays(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = FloorDiv(y, 400);
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + (long long)doe - 719468;
}

}  // namespace

long long DaysFromCivil(long long year, long long month, long long day) {
    // Keep absurd arguments from overflowing; the caller's range check
    // rejects the result.
    if (year < -1000000 || year > 1000000 || month < -12000000 || month > 12000000) return 1LL << 40;
    year += FloorDiv(month - 1, 12);
    month = month - 1 - FloorDiv(month - 1, 12) * 12 + 1;
    return CivilToUnixDays(year, unsigned(month), 1) + kEpochShift + (day - 1);
}

void CivilFromDays(long long days, int* year, int* month, int* day) {
    long long z = days - kEpochShift + 719468;
    const long long era = FloorDiv(z, 146097);
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long y = (long long)yoe + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    *year = int(y + (m <= 2));
    *month = int(m);
    *day = int(d);
}

bool IsLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeap(year) ? 29 : kDays[(month - 1) % 12];
}

double Compose(long long days, double seconds) {
    const double fraction = seconds / 86400.0;
    return days >= 0 ? double(days) + fraction : double(days) - fraction;
}

Parts Split(double date) {
    Parts p;
    if (!(std::fabs(date) < 1e9)) return p;  // no date; keeps the arithmetic below defined
    long long days = (long long)std::trunc(date);
    long long seconds = std::llround(std::fabs(date - double(days)) * 86400.0);
    if (seconds >= 86400) {
        seconds -= 86400;
        ++days;
    }
    CivilFromDays(days, &p.year, &p.month, &p.day);
    p.hour = int(seconds / 3600);
    p.minute = int(seconds / 60 % 60);
    p.second = int(seconds % 60);
    p.weekday = int(((days + 6) % 7 + 7) % 7) + 1;
    return p;
}

double CheckRange(double date) {
    if (!(date >= kMinDate - 0.99999999 && date <= kMaxDate)) Raise(err::kOverflow);
    return date;
}

// ---- Date text ----------------------------------------------------------------------

namespace {

struct Token {
    enum Kind { kNumber, kWord } kind = kNumber;
    long long number = 0;
    int digits = 0;
    String word;         // lower case
    char16_t after = 0;  // the separator that follows, 0 at the end or before a word
};

const char* const kMonths[] = {"january", "february", "march",     "april",   "may",      "june",
                               "july",    "august",   "september", "october", "november", "december"};
const char* const kWeekdays[] = {"sunday",   "monday", "tuesday", "wednesday",
                                 "thursday", "friday", "saturday"};

// A full name or an abbreviation of at least three letters.
bool MatchesName(const String& word, const char* name) {
    if (word.size() < 3) return false;
    size_t i = 0;
    for (; i < word.size() && name[i]; ++i)
        if (word[i] != char16_t(name[i])) return false;
    return i == word.size();
}

int MonthOf(const String& word) {
    for (int m = 0; m < 12; ++m)
        if (MatchesName(word, kMonths[m])) return m + 1;
    if (word == u"sept") return 9;
    return 0;
}

bool IsWeekday(const String& word) {
    for (const char* name : kWeekdays)
        if (MatchesName(word, name)) return true;
    return false;
}

bool Tokenize(StringView text, std::vector<Token>* tokens) {
    size_t i = 0;
    while (i < text.size()) {
        const char16_t c = text[i];
        if (c >= u'0' && c <= u'9') {
            Token t;
            t.kind = Token::kNumber;
            for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
                if (t.digits++ < 9)
                    t.number = t.number * 10 + (text[i] - u'0');
                else
                    return false;
            }
            tokens->push_back(std::move(t));
        } else if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')) {
            Token t;
            t.kind = Token::kWord;
            for (; i < text.size(); ++i) {
                char16_t w = text[i];
                if (w >= u'A' && w <= u'Z') w = char16_t(w + 32);
                if (w < u'a' || w > u'z') break;
                t.word.push_back(w);
            }
            tokens->push_back(std::move(t));
        } else if (c == u' ' || c == u'\t' || c == u',' || c == u'/' || c == u'-' || c == u':' || c == u'.') {
            if (!tokens->empty() && c != u' ' && c != u'\t') {
                if (tokens->back().after && tokens->back().after != u' ') return false;  // "1//2"
                tokens->back().after = c;
            } else if (!tokens->empty() && !tokens->back().after) {
                tokens->back().after = u' ';
            }
            ++i;
        } else {
            return false;
        }
    }
    return true;
}

bool YearLike(const Token& t) { return t.digits >= 3 || t.number > 31; }

int FullYear(const Token& t) {
    if (t.digits <= 2) return int(t.number < 30 ? 2000 + t.number : 1900 + t.number);
    return int(t.number);
}

int CurrentYear() {
    CHost clock;
    return Split(clock.Now()).year;
}

}  // namespace

bool ParseDate(StringView text, double* date) {
    std::vector<Token> tokens;
    if (!Tokenize(text, &tokens) || tokens.empty()) return false;
    std::vector<const Token*> numbers;
    int month = 0, hour = -1, minute = 0, second = 0, ampm = 0;  // ampm: 1 AM, 2 PM
    for (size_t i = 0; i < tokens.size(); ++i) {
        const Token& t = tokens[i];
        if (t.kind == Token::kWord) {
            if (t.word == u"am" || t.word == u"a" || t.word == u"pm" || t.word == u"p") {
                if (ampm) return false;
                ampm = t.word[0] == u'a' ? 1 : 2;
                if (hour < 0) {  // "1 PM"
                    if (numbers.empty() || i == 0 || tokens[i - 1].kind != Token::kNumber) return false;
                    hour = int(numbers.back()->number);
                    numbers.pop_back();
                }
            } else if (int m = MonthOf(t.word)) {
                if (month) return false;
                month = m;
            } else if (!IsWeekday(t.word)) {
                return false;
            }
            continue;
        }
        if (t.after == u':') {
            if (hour >= 0 || i + 1 >= tokens.size() || tokens[i + 1].kind != Token::kNumber) return false;
            hour = int(t.number);
            minute = int(tokens[++i].number);
            if (tokens[i].after == u':') {
                if (i + 1 >= tokens.size() || tokens[i + 1].kind != Token::kNumber) return false;
                second = int(tokens[++i].number);
                if (tokens[i].after == u'.' && i + 1 < tokens.size() && tokens[i + 1].kind == Token::kNumber)
                    ++i;
            }
            if (tokens[i].after && tokens[i].after != u' ') return false;
            continue;
        }
        if (t.after == u'.' || t.after == u':') return false;
        numbers.push_back(&t);
    }
    if (ampm && hour < 0) return false;

    bool hasDate = month != 0 || !numbers.empty();
    int year = 0, day = 1;
    if (month) {
        if (numbers.size() == 1) {
            if (YearLike(*numbers[0]))
                year = FullYear(*numbers[0]);
            else
                year = CurrentYear(), day = int(numbers[0]->number);
        } else if (numbers.size() == 2) {
            const bool firstIsYear = YearLike(*numbers[0]) && !YearLike(*numbers[1]);
            const Token& y = firstIsYear ? *numbers[0] : *numbers[1];
            day = int((firstIsYear ? numbers[1] : numbers[0])->number);
            year = FullYear(y);
        } else {
            return false;
        }
    } else if (numbers.size() == 2) {
        if (YearLike(*numbers[1]))
            month = int(numbers[0]->number), year = FullYear(*numbers[1]);
        else if (YearLike(*numbers[0]))
            year = FullYear(*numbers[0]), month = int(numbers[1]->number);
        else
            month = int(numbers[0]->number), day = int(numbers[1]->number), year = CurrentYear();
    } else if (numbers.size() == 3) {
        if (YearLike(*numbers[0])) {
            year = FullYear(*numbers[0]), month = int(numbers[1]->number), day = int(numbers[2]->number);
        } else {
            month = int(numbers[0]->number), day = int(numbers[1]->number), year = FullYear(*numbers[2]);
        }
        if (month > 12 && day <= 12) std::swap(month, day);  // "31/1/2024"
    } else if (!numbers.empty()) {
        return false;
    }
    if (hasDate &&
        (month < 1 || month > 12 || year < 100 || year > 9999 || day < 1 || day > DaysInMonth(year, month)))
        return false;
    if (hour < 0 && !hasDate) return false;
    if (hour < 0) hour = 0;
    if (ampm) {
        if (hour < 1 || hour > 12) return false;
        hour = hour % 12 + (ampm == 2 ? 12 : 0);
    }
    if (hour > 23 || minute > 59 || second > 59) return false;
    const long long days = hasDate ? DaysFromCivil(year, month, day) : 0;
    *date = Compose(days, hour * 3600.0 + minute * 60.0 + second);
    return true;
}

}  // namespace script::dt

// ---- The date functions of the run-time library -------------------------------------

namespace script::dt {

namespace {

using Args = std::span<const CValue>;

bool Given(Args args, size_t i) { return i < args.size() && !args[i].IsMissing(); }

double NowOf(RuntimeState& state) {
    if (state.host) return state.host->Now();
    CHost clock;
    return clock.Now();
}

// A date argument: Null stays Null (the part functions answer Null).
bool DateArg(Args args, size_t i, double* date) {
    const CValue v = Plain(args[i]);
    if (v.IsNull()) return false;
    *date = ops::ToDate(v);
    return true;
}

int IntArg(Args args, size_t i, int fallback) {
    if (!Given(args, i)) return fallback;
    const CValue v = Plain(args[i]);
    if (v.IsNull()) Raise(err::kInvalidUseOfNull);
    return ops::ToLong(v);
}

double Checked(double date) {
    if (!(date >= kMinDate - 0.99999999 && date <= kMaxDate)) Raise(err::kInvalidCall);
    return date;
}

// Day numbers and seconds on one line, so that differences work across
// 30 December 1899 (where the date value's time fraction changes sign).
long long LinearSeconds(double date) {
    const Parts p = Split(date);
    return DaysFromCivil(p.year, p.month, p.day) * 86400 + p.hour * 3600 + p.minute * 60 + p.second;
}

long long DayNumber(const Parts& p) { return DaysFromCivil(p.year, p.month, p.day); }

double FromParts(const Parts& p) {
    return Compose(DayNumber(p), p.hour * 3600.0 + p.minute * 60.0 + p.second);
}

int FirstDay(Args args, size_t i) {
    const int first = IntArg(args, i, 1);
    if (first < 0 || first > 7) Raise(err::kInvalidCall);
    return first == 0 ? 1 : first;
}

// Weekday counted from `first` (1 = that day).
int WeekdayFrom(int weekday, int first) { return (weekday - first + 7) % 7 + 1; }

int Year2(int y) { return y >= 0 && y < 30 ? y + 2000 : y >= 30 && y < 100 ? y + 1900 : y; }

enum class Interval { kYear, kQuarter, kMonth, kDayOfYear, kDay, kWeekday, kWeek, kHour, kMinute, kSecond };

Interval IntervalArg(const CValue& v) {
    const String s = LowerName(ops::ToString(Plain(v)));
    if (s == u"yyyy") return Interval::kYear;
    if (s == u"q") return Interval::kQuarter;
    if (s == u"m") return Interval::kMonth;
    if (s == u"y") return Interval::kDayOfYear;
    if (s == u"d") return Interval::kDay;
    if (s == u"w") return Interval::kWeekday;
    if (s == u"ww") return Interval::kWeek;
    if (s == u"h") return Interval::kHour;
    if (s == u"n") return Interval::kMinute;
    if (s == u"s") return Interval::kSecond;
    Raise(err::kInvalidCall);
}

// Week of the year: 1 for the week holding 1 January (firstWeek 1), the
// first week with four days of the year (2) or the first full week (3).
int WeekOfYear(const Parts& p, int firstDay, int firstWeek) {
    const long long jan1 = DaysFromCivil(p.year, 1, 1);
    const int jan1Weekday = WeekdayFrom(int(((jan1 + 6) % 7 + 7) % 7) + 1, firstDay);
    const long long doy = DayNumber(p) - jan1;  // 0-based
    long long week;
    if (firstWeek == 2) {
        week = (doy + jan1Weekday - 1) / 7 + (jan1Weekday <= 4 ? 1 : 0);
    } else if (firstWeek == 3) {
        const int offset = jan1Weekday == 1 ? 0 : 8 - jan1Weekday;
        week = doy < offset ? 0 : (doy - offset) / 7 + 1;
    } else {
        week = (doy + jan1Weekday - 1) / 7 + 1;
    }
    if (week == 0) {
        Parts last = p;
        last.year = p.year - 1, last.month = 12, last.day = 31;
        return WeekOfYear(last, firstDay, firstWeek);
    }
    return int(week);
}

CValue Whole(long long n) {
    if (n >= INT32_MIN && n <= INT32_MAX) return CValue::Long(int32_t(n));
    return CValue::Double(double(n));
}

const char* const kMonthNames[] = {"January", "February", "March",     "April",   "May",      "June",
                                   "July",    "August",   "September", "October", "November", "December"};
const char* const kDayNames[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                 "Thursday", "Friday", "Saturday"};

String Name(const char* name, bool abbreviate) {
    String s;
    for (const char* c = name; *c && (!abbreviate || s.size() < 3); ++c) s.push_back(char16_t(*c));
    return s;
}

String Format(const char* format, int a, int b, int c) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, a, b, c);
    String s;
    for (const char* p = buf; *p; ++p) s.push_back(char16_t(*p));
    return s;
}

}  // namespace

CValue BiNow(RuntimeState& state, std::span<const CValue>) { return CValue::Date(NowOf(state)); }

CValue BiDate(RuntimeState& state, std::span<const CValue>) { return CValue::Date(std::trunc(NowOf(state))); }

CValue BiTime(RuntimeState& state, std::span<const CValue>) {
    const double now = NowOf(state);
    return CValue::Date(std::fabs(now - std::trunc(now)));
}

CValue BiTimer(RuntimeState& state, std::span<const CValue>) {
    const double now = NowOf(state);
    return CValue::Single(float(std::fabs(now - std::trunc(now)) * 86400.0));
}

CValue BiDateSerial(RuntimeState&, Args args) {
    for (size_t i = 0; i < 3; ++i)
        if (Plain(args[i]).IsNull()) Raise(err::kInvalidUseOfNull);
    const int year = Year2(IntArg(args, 0, 0));
    const long long days = DaysFromCivil(year, IntArg(args, 1, 1), IntArg(args, 2, 1));
    if (days < kMinDate || days > kMaxDate) Raise(err::kInvalidCall);
    return CValue::Date(double(days));
}

CValue BiTimeSerial(RuntimeState&, Args args) {
    for (size_t i = 0; i < 3; ++i)
        if (Plain(args[i]).IsNull()) Raise(err::kInvalidUseOfNull);
    const double seconds = IntArg(args, 0, 0) * 3600.0 + IntArg(args, 1, 0) * 60.0 + IntArg(args, 2, 0);
    const long long days = (long long)std::floor(seconds / 86400.0);
    return CValue::Date(Checked(Compose(days, seconds - double(days) * 86400.0)));
}

CValue BiDateValue(RuntimeState&, Args args) {
    double d;
    if (!DateArg(args, 0, &d)) return CValue::Null();
    return CValue::Date(std::trunc(d));
}

CValue BiTimeValue(RuntimeState&, Args args) {
    double d;
    if (!DateArg(args, 0, &d)) return CValue::Null();
    return CValue::Date(std::fabs(d - std::trunc(d)));
}

#define DATE_PART(fn, field)                             \
    CValue fn(RuntimeState&, Args args) {                 \
        double d;                                        \
        if (!DateArg(args, 0, &d)) return CValue::Null(); \
        return CValue::Integer(int16_t(Split(d).field));  \
    }
DATE_PART(BiYear, year)
DATE_PART(BiMonth, month)
DATE_PART(BiDay, day)
DATE_PART(BiHour, hour)
DATE_PART(BiMinute, minute)
DATE_PART(BiSecond, second)
#undef DATE_PART

CValue BiWeekday(RuntimeState&, Args args) {
    double d;
    if (!DateArg(args, 0, &d)) return CValue::Null();
    return CValue::Integer(int16_t(WeekdayFrom(Split(d).weekday, FirstDay(args, 1))));
}

CValue BiWeekdayName(RuntimeState&, Args args) {
    const int n = IntArg(args, 0, 0);
    const bool abbreviate = Given(args, 1) && ops::ToBool(Plain(args[1]));
    const int first = FirstDay(args, 2);
    if (n < 1 || n > 7) Raise(err::kInvalidCall);
    return CValue::Str(Name(kDayNames[(n - 1 + first - 1) % 7], abbreviate));
}

CValue BiMonthName(RuntimeState&, Args args) {
    const int n = IntArg(args, 0, 0);
    const bool abbreviate = Given(args, 1) && ops::ToBool(Plain(args[1]));
    if (n < 1 || n > 12) Raise(err::kInvalidCall);
    return CValue::Str(Name(kMonthNames[n - 1], abbreviate));
}

CValue BiDateAdd(RuntimeState&, Args args) {
    const Interval interval = IntervalArg(args[0]);
    const CValue count = Plain(args[1]);
    double date;
    if (count.IsNull()) Raise(err::kInvalidUseOfNull);
    if (!DateArg(args, 2, &date)) return CValue::Null();  // a Null date: Null
    const double n = std::trunc(ops::ToDouble(count));
    if (std::fabs(n) > 1e9) Raise(err::kInvalidCall);
    Parts p = Split(date);
    long long seconds = 0;
    switch (interval) {
        case Interval::kYear:
        case Interval::kQuarter:
        case Interval::kMonth: {
            const long long months = (long long)n * (interval == Interval::kYear      ? 12
                                                     : interval == Interval::kQuarter ? 3
                                                                                      : 1);
            const long long total = p.year * 12LL + (p.month - 1) + months;
            if (total < 100 * 12 || total > 9999 * 12 + 11) Raise(err::kInvalidCall);
            p.year = int(total / 12), p.month = int(total % 12) + 1;
            if (p.day > DaysInMonth(p.year, p.month))
                p.day = DaysInMonth(p.year, p.month);  // 31 January + 1 month
            return CValue::Date(Checked(FromParts(p)));
        }
        case Interval::kDayOfYear:
        case Interval::kDay:
        case Interval::kWeekday: seconds = (long long)n * 86400; break;
        case Interval::kWeek: seconds = (long long)n * 7 * 86400; break;
        case Interval::kHour: seconds = (long long)n * 3600; break;
        case Interval::kMinute: seconds = (long long)n * 60; break;
        case Interval::kSecond: seconds = (long long)n; break;
    }
    const long long linear = LinearSeconds(date) + seconds;
    const long long days = linear >= 0 ? linear / 86400 : -((-linear + 86399) / 86400);
    return CValue::Date(Checked(Compose(days, double(linear - days * 86400))));
}

CValue BiDateDiff(RuntimeState&, Args args) {
    const Interval interval = IntervalArg(args[0]);
    double d1, d2;
    const bool ok1 = DateArg(args, 1, &d1), ok2 = DateArg(args, 2, &d2);
    if (!ok1 || !ok2) return CValue::Null();
    const int first = FirstDay(args, 3);
    const Parts a = Split(d1), b = Split(d2);
    const long long s1 = LinearSeconds(d1), s2 = LinearSeconds(d2);
    auto floorDiv = [](long long x, long long y) { return x / y - ((x % y != 0) && ((x < 0) != (y < 0))); };
    switch (interval) {
        case Interval::kYear: return Whole(b.year - a.year);
        case Interval::kQuarter:
            return Whole((b.year * 4LL + (b.month - 1) / 3) - (a.year * 4LL + (a.month - 1) / 3));
        case Interval::kMonth: return Whole((b.year * 12LL + b.month) - (a.year * 12LL + a.month));
        case Interval::kDayOfYear:
        case Interval::kDay: return Whole(DayNumber(b) - DayNumber(a));
        case Interval::kWeekday: return Whole((DayNumber(b) - DayNumber(a)) / 7);
        case Interval::kWeek: {
            // Week starts (days on `first`) passed between the two dates.
            const long long wa = DayNumber(a) - (WeekdayFrom(a.weekday, first) - 1);
            const long long wb = DayNumber(b) - (WeekdayFrom(b.weekday, first) - 1);
            return Whole((wb - wa) / 7);
        }
        case Interval::kHour: return Whole(floorDiv(s2, 3600) - floorDiv(s1, 3600));
        case Interval::kMinute: return Whole(floorDiv(s2, 60) - floorDiv(s1, 60));
        case Interval::kSecond: return Whole(s2 - s1);
    }
    return CValue();
}

CValue BiDatePart(RuntimeState&, Args args) {
    const Interval interval = IntervalArg(args[0]);
    double d;
    if (!DateArg(args, 1, &d)) return CValue::Null();
    const int first = FirstDay(args, 2);
    const int firstWeek = IntArg(args, 3, 1);
    if (firstWeek < 0 || firstWeek > 3) Raise(err::kInvalidCall);
    const Parts p = Split(d);
    int r = 0;
    switch (interval) {
        case Interval::kYear: r = p.year; break;
        case Interval::kQuarter: r = (p.month - 1) / 3 + 1; break;
        case Interval::kMonth: r = p.month; break;
        case Interval::kDayOfYear: r = int(DayNumber(p) - DaysFromCivil(p.year, 1, 1)) + 1; break;
        case Interval::kDay: r = p.day; break;
        case Interval::kWeekday: r = WeekdayFrom(p.weekday, first); break;
        case Interval::kWeek: r = WeekOfYear(p, first, firstWeek == 0 ? 1 : firstWeek); break;
        case Interval::kHour: r = p.hour; break;
        case Interval::kMinute: r = p.minute; break;
        case Interval::kSecond: r = p.second; break;
    }
    return CValue::Integer(int16_t(r));
}

CValue BiIsDate(RuntimeState&, Args args) {
    const CValue& v = args[0];
    if (v.type() == Type::Date) return CValue::Boolean(true);
    if (!v.IsString()) return CValue::Boolean(false);
    double d;
    return CValue::Boolean(ParseDate(v.str(), &d));
}

CValue BiFormatDateTime(RuntimeState&, Args args) {
    double d;
    if (!DateArg(args, 0, &d)) Raise(err::kInvalidUseOfNull);  // as the other Format functions
    const int format = IntArg(args, 1, 0);
    const Parts p = Split(d);
    switch (format) {
        case 0: return CValue::Str(ops::FormatDate(d));
        case 1:
            return CValue::Str(Name(kDayNames[p.weekday - 1], false) + u", " +
                              Name(kMonthNames[p.month - 1], false) + Format(" %d, %d", p.day, p.year, 0));
        case 2: return CValue::Str(Format("%d/%d/%d", p.month, p.day, p.year));
        case 3:
            return CValue::Str(
                Format("%d:%02d:%02d", p.hour % 12 == 0 ? 12 : p.hour % 12, p.minute, p.second) +
                (p.hour < 12 ? u" AM" : u" PM"));
        case 4: return CValue::Str(Format("%02d:%02d", p.hour, p.minute, 0));
        default: Raise(err::kInvalidCall);
    }
}

}  // namespace script::dt
