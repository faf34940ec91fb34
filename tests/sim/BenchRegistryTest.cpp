// The registry stand-in of the Linux programs: the bench's [Registry] section.
#include "BenchVariable.h"
#include "Deadline.h"
#include "Platform.h"
#include "ScratchDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <sys/stat.h>

namespace fs = std::filesystem;
using tolvane::platform::MachineKeyExists;

namespace {
const wchar_t* const kFilterKey = L"SYSTEM\\CurrentControlSet\\Services\\zq460filter";
} // namespace

TEST(BenchRegistry, RegistrySectionListsTheKeys)
{
    ScratchDir dir;
    BenchVariable noOverride(nullptr);
    dir.Write("HubBench.ini", "[Registry]\n"
                              "SYSTEM\\CurrentControlSet\\Services\\zq460filter=1\n"
                              "SYSTEM\\CurrentControlSet\\Services\\zq460bus=0\n"
                              "SOFTWARE\\Caf\xC3\xA9=1\n");

    EXPECT_TRUE(MachineKeyExists(kFilterKey));
    EXPECT_TRUE(MachineKeyExists(L"system\\currentcontrolset\\services\\ZQ460FILTER"));
    EXPECT_FALSE(MachineKeyExists(L"SYSTEM\\CurrentControlSet\\Services\\zq460bus")) << "=0 means absent";
    EXPECT_FALSE(MachineKeyExists(L"SYSTEM\\CurrentControlSet\\Services\\zq460filter\\Enum"));
    EXPECT_TRUE(MachineKeyExists(L"SOFTWARE\\Caf\u00e9")) << "keys are narrowed as UTF-8";
}

TEST(BenchRegistry, NoKeysWithoutAUsableBench)
{
    ScratchDir dir;
    BenchVariable noOverride(nullptr);
    EXPECT_FALSE(MachineKeyExists(kFilterKey)) << "no bench file";

    dir.Write("HubBench.ini", "[Registry]\nSYSTEM\\CurrentControlSet\\Services\\zq460filter=1\n"
                              "this line is not a setting\n");
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const bool exists = MachineKeyExists(kFilterKey);
    const std::string out = testing::internal::GetCapturedStdout();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(exists) << "a malformed bench lists nothing";
    EXPECT_EQ(out + err, "") << "bench errors are the simulated library's to report";
}

TEST(BenchRegistry, BenchPathComesFromTheEnvironment)
{
    ScratchDir dir;
    dir.Write("HubBench.ini", "[Registry]\nSYSTEM\\CurrentControlSet\\Services\\zq460filter=1\n");
    dir.Write("elsewhere/Other.ini", "[Registry]\nSOFTWARE\\Tolvane=1\n");

    {
        const std::string other = (dir.Path() / "elsewhere" / "Other.ini").string();
        BenchVariable redirect(other.c_str());
        EXPECT_TRUE(MachineKeyExists(L"SOFTWARE\\Tolvane"));
        EXPECT_FALSE(MachineKeyExists(kFilterKey)) << "the working directory's bench is not read";
    }
    {
        const std::string missing = (dir.Path() / "elsewhere" / "Missing.ini").string();
        BenchVariable redirect(missing.c_str());
        EXPECT_FALSE(MachineKeyExists(kFilterKey));
    }
    BenchVariable noOverride(nullptr);
    EXPECT_TRUE(MachineKeyExists(kFilterKey));
}

TEST(BenchRegistry, BenchThatIsAPipeADeviceOrTooLargeListsNoKeysAtOnce)
{
    ScratchDir dir;
    BenchVariable noOverride(nullptr);
    const std::string key = "[Registry]\nSYSTEM\\CurrentControlSet\\Services\\zq460filter=1\n";
    const Deadline deadline(20); // a pipe opened for reading would wait for a writer
    const struct {
        const char* what;
        void (*make)(const std::string& key);
    } cases[] = {
        {"a pipe", [](const std::string&) { ASSERT_EQ(mkfifo("HubBench.ini", 0600), 0); }},
        {"a link to /dev/zero", [](const std::string&) { fs::create_symlink("/dev/zero", "HubBench.ini"); }},
        {"the key, then more than 16 MiB",
         [](const std::string& text) {
             std::ofstream("HubBench.ini", std::ios::binary) << text << ';' << std::string(16u << 20, 'x');
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove("HubBench.ini");
        c.make(key);
        EXPECT_FALSE(MachineKeyExists(kFilterKey));
    }
    fs::remove("HubBench.ini");
    std::ofstream("HubBench.ini", std::ios::binary) << key << ';' << std::string((16u << 20) - key.size() - 1, 'x');
    EXPECT_TRUE(MachineKeyExists(kFilterKey)) << "16 MiB exactly is still read";
}
