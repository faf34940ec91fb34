// Runs tolvane-cli in a scratch folder with a settings file, a bench and
// images, and reads its JSON documents.
#ifndef TOLVANE_TESTS_CLIFIXTURE_H
#define TOLVANE_TESTS_CLIFIXTURE_H

#include "Bench.h"
#include "ImageWriter.h"
#include "RunProcess.h"
#include "ScratchDir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#ifdef _WIN32
#include "FileDigest.h"
#endif

// The SHA-256 of a file as sha256sum computes it. Wine runs no Linux
// program: there the system's own digest stands in, which the platform tests
// check against the published vectors.
inline std::string ReferenceSha256(const std::string& path)
{
#ifdef _WIN32
    tolvane::platform::FileDigest digest;
    std::string error;
    EXPECT_TRUE(tolvane::platform::Sha256File(path, digest, error)) << error;
    return digest.sha256;
#else
    const ProcessResult result = RunExecutable("/usr/bin/sha256sum", {path});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    // A name with a backslash or a line end makes sha256sum start the line
    // with a backslash.
    return result.out.substr(result.out.rfind('\\', 0) == 0 ? 1 : 0, 64);
#endif
}

// Settings with every hub model of the benches below and the firmware
// check set as asked.
inline std::string CliIni(int check, int hubNumber = 1, const std::string& more = "")
{
    return "[TargetID_U3]\n3C5E0460=0D12\n05E30610=0D13\n[Misc]\nManufacturer&ProductStringCompare=0\n"
           "[HUBModule]\nHUBNumber=" +
           std::to_string(hubNumber) + "\n" + more + "[HUBFWCheck]\nCheckHUBFW=" + std::to_string(check) +
           "\nFWVersion=219\n";
}

inline ImageParams CliImage(std::uint16_t target, std::uint8_t flags, std::uint16_t version)
{
    ImageParams params;
    params.targetId = target;
    params.imageFlags = flags;
    params.versionWord = version;
    return params;
}

class CliFixture : public testing::Test {
protected:
    ProcessResult Cli(std::vector<std::string> args) { return RunProgram("tolvane-cli", args); }

    // Runs a command with --json; the document must parse.
    nlohmann::json CliJson(std::vector<std::string> args, int& exitCode)
    {
        args.push_back("--json");
        const ProcessResult result = RunProgram("tolvane-cli", args);
        exitCode = result.exitCode;
        nlohmann::json document = nlohmann::json::parse(result.out, nullptr, false);
        EXPECT_FALSE(document.is_discarded()) << result.out;
        return document;
    }

    void WriteImage(const std::string& name, const ImageParams& params)
    {
        std::string bytes;
        std::string error;
        ASSERT_TRUE(BuildImage(params, bytes, error)) << error;
        dir.Write("Bin/" + name, bytes);
    }

    // The demo's three hubs: two special models that take HUB460.BIN and one
    // other that takes GL.BIN; hub3 keys are added to the third hub.
    void WriteDemo(int check, const std::string& hub3 = "", unsigned vid3 = 0x05E3, unsigned version3 = 0x0654)
    {
        dir.Write("SpiFlash.ini", CliIni(check));
        WriteBench(dir, HubSection(1, 0x3C5E, 0x0460, 0x8011, 1,
                                   "PortIndex=1\nChipVersion=0xB2\nHubFlags=0x30\nBcdUSB=0x0320\n"
                                   "Manufacturer=Tolvane Demo\nProduct=USB3.2 Hub\nUpdateMs=30\n") +
                            HubSection(2, 0x3C5E, 0x0460, 0x8021, 2, "PortIndex=3\nChipVersion=0xB2\n") +
                            HubSection(3, vid3, 0x0610, version3, 2, "PortIndex=4\nChipVersion=0x10\n" + hub3));
        WriteImage("HUB460.BIN", CliImage(0x0D12, 0x08, 0x9021));
        WriteImage("GL.BIN", CliImage(0x0D13, 0x00, 0x0655));
    }

    ScratchDir dir;
};

#endif
