#include "HubSource.h"

#include "TextEscape.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tolvane::syshubs {

namespace {
const char kVariable[] = "TOLVANE_HUBS";
}

HubSource HubSourceFromText(const char* text)
{
    if (text == nullptr || *text == '\0' || std::strcmp(text, "bench") == 0)
        return HubSource::Bench;
    if (std::strcmp(text, "system") == 0)
        return HubSource::System;
    return HubSource::Invalid;
}

HubSource SelectedHubSource()
{
    return HubSourceFromText(std::getenv(kVariable));
}

void ReportInvalidHubSource()
{
    const char* value = std::getenv(kVariable);
    std::fprintf(stderr, "ZQ460API: %s=%s is neither bench nor system; no hubs reported\n", kVariable,
                 EscapeBytes(value ? value : "").c_str());
}

} // namespace tolvane::syshubs
