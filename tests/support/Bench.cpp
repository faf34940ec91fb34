#include "Bench.h"

#include "ScratchDir.h"

#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#endif

const char kFilterDriverKey[] = "SYSTEM\\CurrentControlSet\\Services\\zq460filter";

void SetFilterDriverKey(bool present)
{
#ifdef _WIN32
    const wchar_t* key = L"SYSTEM\\CurrentControlSet\\Services\\zq460filter";
    if (present) {
        HKEY handle = nullptr;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_WRITE, nullptr, &handle, nullptr) ==
            ERROR_SUCCESS)
            RegCloseKey(handle);
    } else {
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, key);
    }
#else
    (void)present;
#endif
}

void WriteBench(const ScratchDir& dir, const std::string& body, bool driverPresent)
{
    std::string text = body;
    if (driverPresent)
        text += std::string("[Registry]\n") + kFilterDriverKey + "=1\n";
    dir.Write("HubBench.ini", text);
    SetFilterDriverKey(driverPresent);
}

std::string HubSection(int n, unsigned vid, unsigned pid, unsigned bcdDevice, unsigned depth, const std::string& more)
{
    char text[200];
    std::snprintf(text, sizeof text, "[Hub%d]\nVid=0x%04X\nPid=0x%04X\nBcdDevice=0x%04X\nDepth=%u\n", n, vid, pid,
                  bcdDevice, depth);
    return text + more;
}

std::string PlainHub(int n, unsigned depth, const std::string& more)
{
    return HubSection(n, 0x05E3, 0x0610, 0x0100, depth, "ChipVersion=0x10\n" + more);
}
