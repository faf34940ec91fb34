// The clock on both systems, which differ only in the name of the
// thread-safe UTC breakdown.
#include "Platform.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace tolvane::platform {

std::string UtcNow()
{
    const auto now = std::chrono::system_clock::now();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm parts{};
#ifdef _WIN32
    if (gmtime_s(&parts, &seconds) != 0)
        return std::string();
#else
    if (::gmtime_r(&seconds, &parts) == nullptr)
        return std::string();
#endif
    char text[40];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &parts);
    std::snprintf(text + length, sizeof text - length, ".%03dZ", static_cast<int>(ms % 1000));
    return text;
}

} // namespace tolvane::platform
