// The registry of a Linux machine: the [Registry] section of the hub bench
// file says which keys under HKEY_LOCAL_MACHINE exist. Linked into the Linux
// programs next to the simulated library; Windows asks its real registry.
// With the real hubs selected (TOLVANE_HUBS=system), the kernel's hub driver
// answers instead.
#include "BenchFile.h"
#include "HubSource.h"
#include "Platform.h"
#include "SystemIsp.h"

namespace tolvane::platform {

bool MachineKeyExists(const std::wstring& subKey)
{
    if (tolvane::syshubs::SelectedHubSource() != tolvane::syshubs::HubSource::Bench)
        return tolvane::syshubs::SystemMachineKeyExists();
    try {
        tolvane::bench::Bench bench;
        std::string error;
        // A missing or broken bench means no keys: the simulated library
        // reports bench trouble itself, so staying quiet here avoids telling
        // the user twice.
        if (tolvane::bench::LoadBench(tolvane::bench::BenchPath(), bench, error) != tolvane::bench::BenchStatus::Loaded)
            return false;
        return bench.HasRegistryKey(WideToUtf8(subKey));
    } catch (...) {
        return false;
    }
}

} // namespace tolvane::platform
