#include "HistoryReaderShape.h"

#include <limits>
#include <map>
#include <set>

using nlohmann::json;

namespace history {

namespace {
constexpr unsigned kHubs = 32; // the entries of the library's hub table

const std::map<std::string, LineKind> kKinds = {
    {"run-start", LineKind::RunStart}, {"scan-failed", LineKind::ScanFailed}, {"write-start", LineKind::WriteStart},
    {"result", LineKind::Result},      {"verify", LineKind::Verify},          {"run-end", LineKind::RunEnd}};

// "program" is what earlier versions wrote for a programmed hub.
const std::set<std::string> kOutcomes = {"programmed", "current", "no-image",   "failed",
                                         "refused",    "program", "not-written"};

bool IsText(const json& value)
{
    return value.is_string() && value.get_ref<const std::string&>().size() <= kLongestField;
}

// A text field: absent leaves out as it is; present, it must be text.
bool OptionalText(const json& object, const char* field, std::string& out)
{
    const auto found = object.find(field);
    if (found == object.end())
        return true;
    if (!IsText(*found))
        return false;
    out = found->get<std::string>();
    return true;
}

bool RequiredText(const json& object, const char* field, std::string& out)
{
    return object.contains(field) && OptionalText(object, field, out);
}

// A whole number from low to high; 1.5, 4294967297 for a hub and "3" are not.
bool WholeIn(const json& value, std::int64_t low, std::int64_t high, std::int64_t& out)
{
    if (value.is_number_unsigned()) {
        const auto number = value.get<std::uint64_t>();
        if (number > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
            return false;
        out = static_cast<std::int64_t>(number);
    } else if (value.is_number_integer()) {
        out = value.get<std::int64_t>();
    } else {
        return false;
    }
    return out >= low && out <= high;
}

// Copies a whole number field into kept when present and in range.
bool OptionalWhole(const json& object, const char* field, std::int64_t low, std::int64_t high, json& kept)
{
    const auto found = object.find(field);
    if (found == object.end())
        return true;
    std::int64_t number = 0;
    if (!WholeIn(*found, low, high, number))
        return false;
    kept[field] = number;
    return true;
}

bool CopyText(const json& object, const char* field, json& kept)
{
    std::string text;
    if (!OptionalText(object, field, text))
        return false;
    if (object.contains(field))
        kept[field] = text;
    return true;
}

bool TakeHub(const json& line, json& hub)
{
    const auto found = line.find("hub");
    if (found == line.end() || !found->is_object() || !found->contains("index"))
        return false;
    const json& given = *found;
    hub = json::object();
    if (!OptionalWhole(given, "index", 0, kHubs - 1, hub) || !OptionalWhole(given, "number", 1, kHubs, hub) ||
        !OptionalWhole(given, "depth", 0, 255, hub) || !OptionalWhole(given, "port", 0, 255, hub))
        return false;
    for (const char* field : {"vid", "pid", "manufacturer", "product"})
        if (!CopyText(given, field, hub))
            return false;
    return true;
}

bool TakeImage(const json& line, json& image)
{
    const auto found = line.find("image");
    image = nullptr;
    if (found == line.end() || found->is_null())
        return true;
    if (!found->is_object())
        return false;
    image = json::object();
    return CopyText(*found, "name", image) && CopyText(*found, "firmwareVersion", image) &&
           CopyText(*found, "sha256", image) &&
           OptionalWhole(*found, "size", 0, std::numeric_limits<std::int64_t>::max(), image);
}

// Absent and null leave out unset.
bool OptionalBool(const json& line, const char* field, std::optional<bool>& out)
{
    const auto found = line.find(field);
    if (found == line.end() || found->is_null())
        return true;
    if (!found->is_boolean())
        return false;
    out = found->get<bool>();
    return true;
}

bool TakeResult(const json& line, ReadLine& out)
{
    if (!RequiredText(line, "outcome", out.outcome) || kOutcomes.count(out.outcome) == 0)
        return false;
    if (!OptionalText(line, "reason", out.reason))
        return false;
    const auto result = line.find("libraryResult");
    if (result != line.end() && !result->is_null()) {
        std::int64_t number = 0;
        if (!WholeIn(*result, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max(),
                     number))
            return false;
        out.libraryResult = static_cast<std::int32_t>(number);
    }
    return TakeImage(line, out.image) && OptionalBool(line, "verified", out.verified);
}

bool TakeVerify(const json& line, ReadLine& out)
{
    const auto after = line.find("versionAfter");
    out.versionAfter = nullptr;
    if (after != line.end() && !after->is_null()) {
        if (!IsText(*after))
            return false;
        out.versionAfter = *after;
    }
    return OptionalBool(line, "verified", out.verified);
}

bool TakeRunEnd(const json& line, ReadLine& out)
{
    const auto numbers = line.find("notStarted");
    if (numbers != line.end()) {
        if (!numbers->is_array() || numbers->size() > kHubs)
            return false;
        for (const json& number : *numbers) {
            std::int64_t hub = 0;
            if (!WholeIn(number, 1, kHubs, hub))
                return false;
            out.notStarted.push_back(static_cast<unsigned>(hub));
        }
    }
    const auto interruption = line.find("interruption");
    return interruption == line.end() || interruption->is_null() ||
           OptionalText(line, "interruption", out.interruption);
}

// The fields added after the reader's first version: one of another type or
// out of range is left out, and the line is taken as it was before them.
std::optional<std::string> LaterText(const json& object, const char* field)
{
    const auto found = object.find(field);
    if (found == object.end() || !IsText(*found))
        return std::nullopt;
    return found->get<std::string>();
}

std::optional<std::int64_t> LaterWhole(const json& object, const char* field, std::int64_t low, std::int64_t high)
{
    const auto found = object.find(field);
    std::int64_t number = 0;
    if (found == object.end() || !WholeIn(*found, low, high, number))
        return std::nullopt;
    return number;
}

bool TakeRunStart(const json& line, ReadLine& out)
{
    std::string name = "?";
    std::string version = "?";
    if (!OptionalText(line, "program", name) || !OptionalText(line, "programVersion", version))
        return false;
    out.program = name + " " + version;
    out.station = LaterText(line, "station");
    out.lot = LaterText(line, "lot");
    if (const auto board = LaterWhole(line, "board", 1, std::numeric_limits<std::uint32_t>::max()))
        out.board = static_cast<unsigned>(*board);
    const auto list = line.find("approvedList");
    if (list != line.end() && list->is_object())
        out.signer = LaterText(*list, "signer").value_or(std::string());
    return true;
}

// The hub's version before the write and the library's time, where given.
bool TakeHubExtras(const json& line, ReadLine& out)
{
    out.oldVersion = LaterText(line, "oldVersion").value_or(std::string());
    if (const auto ms = LaterWhole(line, "libraryMs", 0, std::numeric_limits<std::int64_t>::max()))
        out.libraryMs = static_cast<std::uint64_t>(*ms);
    return true;
}

bool TakeKind(const json& line, ReadLine& out)
{
    switch (out.kind) {
    case LineKind::RunStart:
        return TakeRunStart(line, out);
    case LineKind::ScanFailed:
        return true;
    case LineKind::WriteStart:
        return TakeHub(line, out.hub) && TakeImage(line, out.image) && TakeHubExtras(line, out);
    case LineKind::Result:
        return TakeHub(line, out.hub) && TakeResult(line, out) && TakeHubExtras(line, out);
    case LineKind::Verify:
        return TakeHub(line, out.hub) && TakeVerify(line, out);
    case LineKind::RunEnd:
        return TakeRunEnd(line, out);
    }
    return false;
}
} // namespace

bool TakeShape(const json& line, ReadLine& out)
{
    out = ReadLine{};
    out.host = "?";
    if (!line.is_object() || !RequiredText(line, "run", out.run) || !RequiredText(line, "time", out.time) ||
        !OptionalText(line, "host", out.host))
        return false;
    // Lines without a kind are an earlier version's results.
    const auto kind = line.find("kind");
    if (kind != line.end()) {
        if (!kind->is_string())
            return false;
        const auto known = kKinds.find(kind->get<std::string>());
        if (known == kKinds.end())
            return false;
        out.kind = known->second;
    }
    return TakeKind(line, out);
}

} // namespace history
