#include "HistoryLines.h"

#include "HistoryFile.h"
#include "Platform.h"
#include "TextEscape.h"

#include <cstdio>
#include <random>

using nlohmann::json;

namespace history {

std::string NewRunId()
{
    std::random_device source;
    std::uint64_t value = source();
    value = value << 32 | source();
    char text[20];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

std::string Hex(unsigned value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

json Line(const RunStamp& stamp, const char* kind)
{
    return {{"time", tolvane::platform::UtcNow()}, {"host", stamp.host}, {"run", stamp.run}, {"kind", kind}};
}

json HubJson(unsigned entry, const HubInfo& hub)
{
    return {{"index", entry},
            {"number", entry + 1},
            {"depth", hub.depth},
            {"port", hub.portIndex},
            {"vid", Hex(hub.descriptor.idVendor, 4)},
            {"pid", Hex(hub.descriptor.idProduct, 4)},
            {"manufacturer", EscapeField(hub.manufacturer, sizeof hub.manufacturer, EscapeFor::Data)},
            {"product", EscapeField(hub.product, sizeof hub.product, EscapeFor::Data)}};
}

json ImageJson(const LineImage& image)
{
    json out = {{"name", EscapeBytes(image.name, EscapeFor::Data)}, {"firmwareVersion", Hex(image.version, 4)}};
    if (image.size)
        out["size"] = *image.size;
    if (image.sha256)
        out["sha256"] = *image.sha256;
    return out;
}

std::string Dump(const json& line)
{
    return line.dump(-1, ' ', false, json::error_handler_t::replace) + "\n";
}

} // namespace history
