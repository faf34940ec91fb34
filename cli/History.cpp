#include "History.h"

#include "AppendFile.h"
#include "JsonReport.h"
#include "TextEscape.h"

#include <random>

using nlohmann::json;

std::string NewRunId()
{
    std::random_device source;
    std::uint64_t value = source();
    value = value << 32 | source();
    return CHubUpgrader::Format("%016llx", static_cast<unsigned long long>(value));
}

std::string HistoryLine(const HubRecord& record, const std::string& time, const std::string& host,
                        const std::string& runId)
{
    const HubInfo& hub = record.hub;
    json image = nullptr;
    if (record.image)
        image = {{"name", EscapeBytes(record.image->name)}, {"firmwareVersion", Hex(record.image->version, 4)}};
    const json line = {{"time", time},
                       {"host", host},
                       {"run", runId},
                       {"hub",
                        {{"index", record.entry},
                         {"number", record.entry + 1},
                         {"depth", hub.depth},
                         {"port", hub.portIndex},
                         {"vid", Hex(hub.descriptor.idVendor, 4)},
                         {"pid", Hex(hub.descriptor.idProduct, 4)},
                         {"manufacturer", EscapeField(hub.manufacturer, sizeof hub.manufacturer)},
                         {"product", EscapeField(hub.product, sizeof hub.product)}}},
                       {"oldVersion", Hex(hub.descriptor.bcdDevice, 4)},
                       {"image", image},
                       {"outcome", OutcomeName(record.Outcome())},
                       {"libraryResult", record.libraryResult ? json(*record.libraryResult) : json(nullptr)},
                       {"verified", record.verified ? json(*record.verified) : json(nullptr)}};
    return line.dump(-1, ' ', false, json::error_handler_t::replace) + "\n";
}

bool AppendHistory(const std::string& path, const std::vector<HubRecord>& records, std::string& error)
{
    const std::string time = UtcNow();
    const std::string host = EscapeBytes(HostName());
    const std::string runId = NewRunId();
    bool whole = true;
    for (const HubRecord& record : records) {
        std::string failure;
        if (!AppendWhole(path, HistoryLine(record, time, host, runId), failure) && whole) {
            error = failure;
            whole = false;
        }
    }
    return whole;
}
