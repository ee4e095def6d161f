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
    if (!std::isfinite(date)) return p;
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
    String word;       // lower case
    char16_t after = 0;  // the separator that follows, 0 at the end or before a word
};

const char* const kMonths[] = {"january", "february", "march",     "april",   "may",      "june",
                               "july",    "august",   "september", "october", "november", "december"};
const char* const kWeekdays[] = {"sunday", "monday", "tuesday", "wednesday", "thursday", "friday", "saturday"};

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
                if (t.digits++ < 9) t.number = t.number * 10 + (text[i] - u'0');
                else return false;
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
    Host clock;
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
                if (tokens[i].after == u'.' && i + 1 < tokens.size() && tokens[i + 1].kind == Token::kNumber) ++i;
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
            if (YearLike(*numbers[0])) year = FullYear(*numbers[0]);
            else year = CurrentYear(), day = int(numbers[0]->number);
        } else if (numbers.size() == 2) {
            const bool firstIsYear = YearLike(*numbers[0]) && !YearLike(*numbers[1]);
            const Token& y = firstIsYear ? *numbers[0] : *numbers[1];
            day = int((firstIsYear ? numbers[1] : numbers[0])->number);
            year = FullYear(y);
        } else {
            return false;
        }
    } else if (numbers.size() == 2) {
        if (YearLike(*numbers[1])) month = int(numbers[0]->number), year = FullYear(*numbers[1]);
        else if (YearLike(*numbers[0])) year = FullYear(*numbers[0]), month = int(numbers[1]->number);
        else month = int(numbers[0]->number), day = int(numbers[1]->number), year = CurrentYear();
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
    if (hasDate && (month < 1 || month > 12 || year < 100 || year > 9999 || day < 1 ||
                    day > DaysInMonth(year, month)))
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
