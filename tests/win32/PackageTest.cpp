// The Windows kits as they leave the build, unpacked by the package_layout
// test: the 32-bit branch turns the user away, the release kit's a.bat runs
// the dialog and waits for it, and the demo kit goes all the way from the
// launcher through an upgrade (with the launcher's 64-bit twin where no
// 32-bit program runs). Each test works on a copy of the kit.
#include "Bench.h"
#include "ProgramFolder.h"
#include "ScratchDir.h"
#include "WindowDriver.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <system_error>

namespace fs = std::filesystem;

namespace {
constexpr DWORD kStartMs = 60000; // cmd.exe, the program, the settle pause and the scan
constexpr DWORD kUpgradeMs = 60000;
constexpr DWORD kQuickMs = 10000;
constexpr const char* kTwin = "tolvane-launcher-twin.exe";

std::wstring Quoted(const fs::path& path)
{
    return L"\"" + path.wstring() + L"\"";
}

std::wstring Cmd()
{
    wchar_t folder[MAX_PATH] = {};
    GetSystemDirectoryW(folder, MAX_PATH);
    return Quoted(fs::path(folder) / L"cmd.exe");
}

std::string Slurp(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool FilterDriverKeyExists()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Services\\zq460filter", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

class KitTest : public testing::Test {
protected:
    ~KitTest() override { EndStrayDialogs(); }

    // A copy of an unpacked kit ("release" or "demo") in the scratch folder.
    fs::path CopyKit(const char* kit)
    {
        EXPECT_EQ(DisplayProblem(), "");
        const fs::path unpacked = ProgramFolder().parent_path() / "testwork" / "kits" / kit;
        EXPECT_TRUE(fs::exists(unpacked / "TolvaneEndUser.exe")) << unpacked.string() << " is not unpacked";
        const fs::path copy = dir.Path() / kit;
        fs::copy(unpacked, copy, fs::copy_options::recursive);
        return copy;
    }

    // The kit's launcher, or where no 32-bit program runs (the reason is in
    // TOLVANE_NO_32BIT_PROGRAMS), its 64-bit twin put beside it: the twin
    // takes the x64 path from the same folder, as the launcher does under
    // WOW64. Empty, with a failure, when the twin is not there.
    fs::path LauncherIn(const fs::path& kit)
    {
        const char* no32Bit = std::getenv("TOLVANE_NO_32BIT_PROGRAMS");
        if (no32Bit == nullptr)
            return kit / "TolvaneEndUser.exe";
        const fs::path twin = ProgramFolder().parent_path() / "testwork" / "launcher-twin" / kTwin;
        std::error_code error;
        fs::copy_file(twin, kit / kTwin, error);
        EXPECT_FALSE(error) << twin.string() << ": " << error.message();
        if (error)
            return {};
        std::cout << "the 64-bit twin stands in for TolvaneEndUser.exe: " << no32Bit << std::endl;
        return kit / kTwin;
    }

    fs::path Output() const { return dir.Path().parent_path() / (dir.Path().filename().wstring() + L".out"); }

    // Runs the demo kit's a.bat through to the dialog, checks that the
    // filter driver's key is there while it is open, closes it and waits for
    // a.bat to end.
    void RunDemoBatch(const fs::path& kit)
    {
        ChildProcess batch(Cmd() + L" /c " + Quoted(kit / "x64" / "a.bat"), dir.Path(), Output());
        ASSERT_TRUE(batch.Started());
        const HWND dialog = WaitForDialog(0, kStartMs);
        ASSERT_NE(dialog, nullptr) << Slurp(Output());
        EXPECT_TRUE(FilterDriverKeyExists()) << "no key while the demo runs";
        EXPECT_EQ(DialogDriver(dialog).Text(IDC_LOG).rfind(L"3 devices found:\r\n", 0), 0u);
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        const std::optional<DWORD> code = batch.WaitForExit(kQuickMs);
        ASSERT_TRUE(code.has_value()) << "a.bat still runs after the dialog was closed";
        EXPECT_EQ(*code, 0u) << Slurp(Output());
    }

    ScratchDir dir;
};
} // namespace

TEST_F(KitTest, The32BitBranchSaysThat64BitWindowsIsNeeded)
{
    const fs::path kit = CopyKit("release");
    ChildProcess batch(Cmd() + L" /c a.bat", kit / "x86", Output());
    ASSERT_TRUE(batch.Started());
    const std::optional<DWORD> code = batch.WaitForExit(kQuickMs);
    ASSERT_TRUE(code.has_value());
    EXPECT_NE(*code, 0u);
    EXPECT_NE(Slurp(Output()).find("needs 64-bit Windows"), std::string::npos) << Slurp(Output());
}

// With a library put next to Tolvane.exe, as the README tells for the hub
// maker's; the simulated one and a bench stand in for it and the hubs here.
TEST_F(KitTest, ReleaseBatchRunsTheDialogAndWaitsUntilItIsClosed)
{
    const fs::path kit = CopyKit("release");
    fs::copy_file(ProgramFolder() / "ZQ460API.dll", kit / "x64" / "ZQ460API.dll");
    std::ofstream(kit / "x64" / "HubBench.ini", std::ios::binary)
        << "[Hub1]\nVid=0x3C5E\nPid=0x0460\nBcdDevice=0x8011\nDepth=1\n";
    SetFilterDriverKey(true);

    // Started from elsewhere, as the launcher may: a.bat finds its folder.
    ChildProcess batch(Cmd() + L" /c " + Quoted(kit / "x64" / "a.bat"), dir.Path(), Output());
    ASSERT_TRUE(batch.Started());
    const HWND dialog = WaitForDialog(0, kStartMs);
    ASSERT_NE(dialog, nullptr) << Slurp(Output());
    EXPECT_TRUE(fs::equivalent(ProgramOf(dialog), kit / "x64" / "Tolvane.exe")) << ProgramOf(dialog).string();
    DialogDriver window(dialog);
    EXPECT_EQ(window.Text(IDC_LOG), L"1 device  found:\r\n(1)Depth1, V/PID = 3C5E/0460, FW Version = V1.18\r\n");

    EXPECT_FALSE(batch.WaitForExit(1000).has_value()) << "a.bat ended while the dialog is open";
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    const std::optional<DWORD> code = batch.WaitForExit(kQuickMs);
    ASSERT_TRUE(code.has_value()) << "a.bat still runs after the dialog was closed";
    EXPECT_EQ(*code, 0u);
}

TEST_F(KitTest, DemoKitUpgradesTheBenchFromTheLauncher)
{
    const fs::path kit = CopyKit("demo");
    // The demo's a.bat has to create the key for the scan to pass.
    SetFilterDriverKey(false);

    const fs::path launcherExe = LauncherIn(kit);
    ASSERT_FALSE(launcherExe.empty());
    ChildProcess launcher(Quoted(launcherExe), kit, Output());
    ASSERT_TRUE(launcher.Started()) << launcherExe.string();
    const HWND dialog = WaitForDialog(0, kStartMs);
    ASSERT_NE(dialog, nullptr) << Slurp(Output());
    EXPECT_TRUE(fs::equivalent(ProgramOf(dialog), kit / "x64" / "Tolvane.exe")) << ProgramOf(dialog).string();
    DialogDriver window(dialog);
    const std::wstring list = L"3 devices found:\r\n"
                              L"(1)Depth1, V/PID = 3C5E/0460, FW Version = V1.18\r\n"
                              L"(2)Depth2, V/PID = 3C5E/0460, FW Version = V2.18\r\n"
                              L"(3)Depth2, V/PID = 05E3/0610, FW Version = 0654\r\n";
    EXPECT_EQ(window.Text(IDC_LOG), list);
    ASSERT_TRUE(window.Enabled(IDC_START_UPGRADE));

    window.PressLater(IDC_START_UPGRADE);
    const HWND box = window.WaitForOwnedBox(kUpgradeMs);
    ASSERT_NE(box, nullptr) << "no success box";
    EXPECT_EQ(MessageBoxText(box), L"Upgrade is completed.\r\nPlease power cycle the hub.");
    ASSERT_TRUE(window.CloseBox(box, kQuickMs));
    EXPECT_EQ(window.Text(IDC_LOG), list + L"ISP in device(3) is being upgraded.\r\n"
                                           L"Device(3): HUB0610.BIN\r\n   =>Upgrade successful\r\n"
                                           L"ISP in device(2) is being upgraded.\r\n"
                                           L"Device(2): HUB460.BIN\r\n   =>Upgrade successful\r\n"
                                           L"ISP in device(1) is being upgraded.\r\n"
                                           L"Device(1): HUB460.BIN\r\n   =>Upgrade successful\r\n");
    const std::string state = Slurp(kit / "x64" / "HubBench.ini.state");
    for (const char* line : {"Hub1=0x9021", "Hub2=0x9021", "Hub3=0x0655"})
        EXPECT_NE(state.find(line), std::string::npos) << line << " in\n" << state;

    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    const std::optional<DWORD> code = launcher.WaitForExit(kQuickMs);
    ASSERT_TRUE(code.has_value()) << "the launcher still runs after the dialog was closed";
    EXPECT_EQ(*code, 0u) << Slurp(Output());
    EXPECT_EQ(Slurp(Output()).find("UpdateFW failed"), std::string::npos) << Slurp(Output());
}

// A demo on a real machine must leave the registry as it found it: a key it
// created would later hide a missing filter driver; a key that was there is
// the driver's and stays.
TEST_F(KitTest, DemoBatchRemovesTheKeyItCreatedAndKeepsOneThatWasThere)
{
    const fs::path kit = CopyKit("demo");
    SetFilterDriverKey(false);
    ASSERT_NO_FATAL_FAILURE(RunDemoBatch(kit));
    EXPECT_FALSE(FilterDriverKeyExists()) << "the demo left the key it created behind";

    SetFilterDriverKey(true);
    ASSERT_NO_FATAL_FAILURE(RunDemoBatch(kit));
    EXPECT_TRUE(FilterDriverKeyExists()) << "the demo removed a key it had not created";
}
