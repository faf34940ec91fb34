// The times of the line's report: a history's times are UTC in ISO 8601 to
// the millisecond ("2026-12-08T15:04:05.123Z"), which sort as text.
#ifndef TOLVANE_HISTORY_REPORTTIME_H
#define TOLVANE_HISTORY_REPORTTIME_H

#include <cstdint>
#include <optional>
#include <string>

namespace history {

// A time as a person gives it ("2026-12-08", "2026-12-08T15", "...T15:04",
// "...T15:04:05", "...T15:04:05.123", each with or without "Z"; UTC) in the
// history's form; unset when it is none of these or no such time exists.
std::optional<std::string> NormalTime(const std::string& text);

// Milliseconds since 1970 of a time in the history's form; unset for text
// of any other form.
std::optional<std::int64_t> MillisOf(const std::string& time);

} // namespace history

#endif
