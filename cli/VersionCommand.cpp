#include "VersionCommand.h"

#include "Commands.h"
#include "ExitStatus.h"
#include "HubUpgrader.h"
#include "ZQ460API.h"

std::string VersionText(int result, std::uint32_t libraryVersion)
{
    // The log shows the library's version in the same hex ("API Version: ").
    const std::string library =
        result == 0
            ? CHubUpgrader::Format("ISP library ZQ460API, version %x\n", static_cast<unsigned>(libraryVersion))
            : CHubUpgrader::Format("ISP library ZQ460API, version unknown (RX_GetDllVersion returned %d)\n", result);
    return "tolvane-cli " TOLVANE_VERSION "\n" + library +
           "built with " TOLVANE_BUILD_COMPILER " for " TOLVANE_BUILD_SYSTEM ", " TOLVANE_BUILD_TYPE "\n";
}

int RunVersionCommand()
{
    std::uint32_t version = 0;
    const int result = RX_GetDllVersion(&version);
    WriteText(VersionText(result, version));
    return kExitDone;
}
