#include "RunIdentity.h"

#include "Platform.h"

namespace {
// An empty variable names nothing, as if it were unset.
std::optional<std::string> Given(const std::optional<std::string>& option, const char* variable)
{
    if (option)
        return option;
    std::optional<std::string> value = tolvane::platform::EnvironmentValue(variable);
    if (value && value->empty())
        return std::nullopt;
    return value;
}
} // namespace

RunIdentity ResolveRunIdentity(const std::optional<std::string>& station, const std::optional<std::string>& lot)
{
    RunIdentity identity;
    identity.station = Given(station, "TOLVANE_STATION").value_or(tolvane::platform::HostName());
    identity.lot = Given(lot, "TOLVANE_LOT");
    return identity;
}
