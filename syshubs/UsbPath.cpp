#include "UsbPath.h"

#include <algorithm>

namespace tolvane::syshubs {

namespace {
// Digits only, no sign or blank, at most limit; the kernel writes plain
// decimal numbers.
bool ReadNumber(const std::string& text, std::size_t& at, unsigned limit, unsigned& value)
{
    const std::size_t start = at;
    value = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
        value = value * 10 + static_cast<unsigned>(text[at] - '0');
        if (value > limit)
            return false;
        ++at;
    }
    return at > start;
}

constexpr unsigned kMaxBus = 0xFFFF;
constexpr unsigned kMaxPort = 255;
constexpr std::size_t kMaxLevels = 255;
} // namespace

bool ParseUsbName(const std::string& name, UsbPlace& place)
{
    UsbPlace parsed;
    std::size_t at = 0;
    if (name.compare(0, 3, "usb") == 0) {
        at = 3;
        if (!ReadNumber(name, at, kMaxBus, parsed.bus) || at != name.size())
            return false;
        place = parsed;
        return true;
    }
    if (!ReadNumber(name, at, kMaxBus, parsed.bus) || at == name.size() || name[at] != '-')
        return false;
    char separator = '-';
    while (at < name.size() && name[at] == separator) {
        ++at;
        unsigned port = 0;
        if (!ReadNumber(name, at, kMaxPort, port) || port == 0 || parsed.ports.size() == kMaxLevels)
            return false;
        parsed.ports.push_back(static_cast<std::uint8_t>(port));
        separator = '.';
    }
    if (at != name.size())
        return false;
    place = parsed;
    return true;
}

bool PlaceBefore(const UsbPlace& a, const UsbPlace& b)
{
    if (a.bus != b.bus)
        return a.bus < b.bus;
    return std::lexicographical_compare(a.ports.begin(), a.ports.end(), b.ports.begin(), b.ports.end());
}

} // namespace tolvane::syshubs
