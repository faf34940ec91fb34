#include "ReportTime.h"

#include <cstddef>

namespace history {

namespace {
bool Digits(const std::string& text, std::size_t at, std::size_t count, int& out)
{
    if (at + count > text.size())
        return false;
    out = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        out = out * 10 + (text[i] - '0');
    }
    return true;
}

bool IsLeap(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysIn(int year, int month)
{
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

// Days from 1970-01-01 to the date (the civil calendar's count).
std::int64_t DaysFromCivil(int year, int month, int day)
{
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yoe = year - era * 400;
    const std::int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

struct Parts {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, milli = 0;
};

bool Valid(const Parts& p)
{
    return p.month >= 1 && p.month <= 12 && p.day >= 1 && p.day <= DaysIn(p.year, p.month) && p.hour <= 23 &&
           p.minute <= 59 && p.second <= 59;
}

// The fields present in text, in order; false at the first that is wrong.
bool Split(std::string text, Parts& p)
{
    if (!text.empty() && text.back() == 'Z')
        text.pop_back();
    if (!Digits(text, 0, 4, p.year) || text.size() < 10 || text[4] != '-' || !Digits(text, 5, 2, p.month) ||
        text[7] != '-' || !Digits(text, 8, 2, p.day))
        return false;
    if (text.size() == 10)
        return true;
    if (text[10] != 'T' || !Digits(text, 11, 2, p.hour))
        return false;
    if (text.size() == 13)
        return true;
    if (text[13] != ':' || !Digits(text, 14, 2, p.minute))
        return false;
    if (text.size() == 16)
        return true;
    if (text[16] != ':' || !Digits(text, 17, 2, p.second))
        return false;
    if (text.size() == 19)
        return true;
    return text.size() == 23 && text[19] == '.' && Digits(text, 20, 3, p.milli);
}

std::string Two(int value)
{
    return std::string(1, static_cast<char>('0' + value / 10)) + static_cast<char>('0' + value % 10);
}
} // namespace

std::optional<std::string> NormalTime(const std::string& text)
{
    Parts p;
    if (!Split(text, p) || !Valid(p))
        return std::nullopt;
    const std::string milli = std::to_string(1000 + p.milli).substr(1);
    return std::to_string(10000 + p.year).substr(1) + "-" + Two(p.month) + "-" + Two(p.day) + "T" + Two(p.hour) + ":" +
           Two(p.minute) + ":" + Two(p.second) + "." + milli + "Z";
}

std::optional<std::int64_t> MillisOf(const std::string& time)
{
    Parts p;
    if (time.size() != 24 || time.back() != 'Z' || !Split(time, p) || !Valid(p))
        return std::nullopt;
    const std::int64_t seconds =
        DaysFromCivil(p.year, p.month, p.day) * 86400 + p.hour * 3600 + p.minute * 60 + p.second;
    return seconds * 1000 + p.milli;
}

} // namespace history
