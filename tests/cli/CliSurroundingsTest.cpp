// tolvane-cli where its surroundings misbehave: output that cannot be
// written, several runs on one bench at once, image names that are not
// UTF-8.
#include "Bench.h"
#include "BenchFile.h"
#include "CliText.h"
#include "ImageWriter.h"
#include "RunProcess.h"
#include "ScratchDir.h"
#include "TextFile.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <map>
#include <sstream>
#include <thread>

namespace {

class CliSurroundingsTest : public testing::Test {
protected:
    ScratchDir dir;
};

std::string Image(std::uint16_t target, std::uint16_t version)
{
    ImageParams params;
    params.targetId = target;
    params.imageFlags = 0x00;
    params.versionWord = version;
    std::string bytes;
    std::string error;
    EXPECT_TRUE(BuildImage(params, bytes, error)) << error;
    return bytes;
}

// One site folder per run: its settings know every group's hubs, and its
// Bin holds the one image that fits its own group only.
std::string SiteIni(int groups)
{
    std::string text = "[TargetID_U3]\n";
    for (int g = 0; g < groups; ++g) {
        char line[40];
        std::snprintf(line, sizeof line, "05E3%04X=%04X\n", 0x0620 + g, 0x0D20 + g);
        text += line;
    }
    return text + "[HUBModule]\nHUBNumber=1\n[HUBFWCheck]\nCheckHUBFW=0\nFWVersion=219\n";
}

// The text output's lines as the log ends them, wherever the text was written.
std::string CrLfLines(const std::string& text)
{
    std::string log;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '\n' && (at == 0 || text[at - 1] != '\r'))
            log += '\r';
        log += text[at];
    }
    return log;
}

// "Device(N): NAME\r\n   =>Upgrade successful" as hub number to name.
std::map<int, std::string> Successes(const std::string& log)
{
    static const std::string kDone = "\r\n   =>Upgrade successful";
    std::map<int, std::string> found;
    for (std::size_t at = log.find("Device("); at != std::string::npos; at = log.find("Device(", at + 1)) {
        const std::size_t close = log.find("): ", at);
        const std::size_t end = log.find("\r\n", at);
        if (close == std::string::npos || end == std::string::npos || close > end ||
            log.compare(end, kDone.size(), kDone) != 0)
            continue;
        const std::string number = log.substr(at + 7, close - at - 7);
        if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos)
            continue;
        found[std::stoi(number)] = log.substr(close + 3, end - close - 3);
    }
    return found;
}

// Read as the library reads it: on Windows a reader that did not share
// deletion would itself keep the writers from replacing the file.
std::string ReadIfThere(const std::string& file)
{
    tolvane::platform::FileHandle reader;
    std::string text;
    std::string error;
    if (reader.Open(file, tolvane::platform::FileOpenOptions{}, error) == tolvane::platform::OpenStatus::Opened)
        tolvane::bench::ReadAll(reader, tolvane::bench::kMaxTextFileSize, text);
    return text;
}

} // namespace

TEST_F(CliSurroundingsTest, RunsAtOnceOnOneBenchKeepEveryRecordAndAlwaysLeaveAReadableState)
{
    constexpr int kRuns = 6;
    constexpr int kHubsPerRun = 3;
    std::string bench;
    for (int hub = 1; hub <= kRuns * kHubsPerRun; ++hub)
        bench += HubSection(hub, 0x05E3, 0x0620 + (hub - 1) % kRuns, 0x0600, 2, "ChipVersion=0x10\nUpdateMs=30\n");
    WriteBench(dir, bench);
    std::vector<std::vector<std::string>> runs;
    for (int run = 0; run < kRuns; ++run) {
        const std::string site = "site" + std::to_string(run);
        dir.Write(site + "/SpiFlash.ini", SiteIni(kRuns));
        const auto target = static_cast<std::uint16_t>(0x0D20 + run);
        dir.Write(site + "/Bin/RUN" + std::to_string(run) + ".BIN",
                  Image(target, static_cast<std::uint16_t>(0x0700 + run)));
        runs.push_back({"-C", site, "upgrade", "--settle-ms", "0"});
    }
    SetEnv("TOLVANE_BENCH", (dir.Path() / "HubBench.ini").string());

    // Whenever the state file is there, it reads.
    std::atomic<bool> done{false};
    std::atomic<int> reads{0};
    std::string torn;
    std::thread watcher([&] {
        while (!done) {
            const std::string text = ReadIfThere((dir.Path() / "HubBench.ini.state").string());
            tolvane::bench::HubFirmware firmware;
            std::string error;
            if (!text.empty() && !tolvane::bench::ParseState(text, firmware, error) && torn.empty())
                torn = error + " in:\n" + text;
            ++reads;
        }
    });
    const std::vector<ProcessResult> results = RunProgramsAtOnce("tolvane-cli", runs);
    done = true;
    watcher.join();
    SetEnv("TOLVANE_BENCH", "");
    EXPECT_EQ(torn, "");
    EXPECT_GT(reads.load(), 0);

    tolvane::bench::HubFirmware recorded;
    std::string error;
    ASSERT_TRUE(tolvane::bench::ParseState(dir.Read("HubBench.ini.state"), recorded, error)) << error;
    std::size_t successes = 0;
    for (int run = 0; run < kRuns; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        // Only the notes on the other runs' hubs, which no image of this run fits.
        std::istringstream notes(results[static_cast<std::size_t>(run)].err);
        for (std::string note; std::getline(notes, note);)
            EXPECT_NE(note.find(": no image fits; the nearest, RUN" + std::to_string(run) + ".BIN: "),
                      std::string::npos)
                << note;
        const auto mine = Successes(CrLfLines(results[static_cast<std::size_t>(run)].out));
        EXPECT_EQ(mine.size(), static_cast<std::size_t>(kHubsPerRun)) << results[static_cast<std::size_t>(run)].out;
        for (const auto& [hub, name] : mine) {
            EXPECT_EQ(name, "RUN" + std::to_string(run) + ".BIN");
            EXPECT_EQ((hub - 1) % kRuns, run);
            ASSERT_EQ(recorded.count(hub), 1u) << "hub " << hub << " was reported programmed but is not recorded";
            EXPECT_EQ(recorded[hub], 0x0700 + run) << "hub " << hub;
        }
        successes += mine.size();
    }
    EXPECT_EQ(recorded.size(), successes);
}

#ifndef _WIN32

TEST_F(CliSurroundingsTest, LostStandardOutputIsAnErrorAfterTheWholeRun)
{
    dir.Write("SpiFlash.ini", SiteIni(1));
    WriteBench(dir, HubSection(1, 0x05E3, 0x0620, 0x0600, 2, "ChipVersion=0x10\n"));
    dir.Write("Bin/A.BIN", Image(0x0D20, 0x0701));
    const std::string lost = "tolvane-cli: cannot write the standard output: No space left on device\n";

    struct Case {
        std::vector<std::string> args;
        int passingExit; // what the run itself would have returned
    };
    const Case cases[] = {{{"--help"}, 0}, {{"scan", "--settle-ms", "0"}, 0}, {{"upgrade", "--settle-ms", "0"}, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const ProcessResult full = RunProgram("tolvane-cli", c.args, "/dev/full");
        EXPECT_EQ(full.exitCode, 1);
        EXPECT_EQ(full.err, lost);
        dir.Remove("HubBench.ini.state");
        EXPECT_EQ(RunProgram("tolvane-cli", c.args, "/dev/null").exitCode, c.passingExit);
    }

    // The upgrade is not cut short by its output: the hub is programmed.
    ASSERT_EQ(RunProgram("tolvane-cli", {"upgrade", "--settle-ms", "0"}, "/dev/full").exitCode, 1);
    EXPECT_EQ(dir.Read("HubBench.ini.state").find("Hub1=0x0701\n") != std::string::npos, true);
}

TEST_F(CliSurroundingsTest, ImageNamedInLatin1IsChosenAndProgrammed)
{
    dir.Write("SpiFlash.ini", SiteIni(1));
    WriteBench(dir, HubSection(1, 0x05E3, 0x0620, 0x0600, 2, "ChipVersion=0x10\n"));
    dir.Write("Bin/caf\xE9.BIN", Image(0x0D20, 0x0702));
    dir.Write("Bin/\xFF\xC0\xAF.BIN", Image(0x0D21, 0x0703)); // fits no hub here, but opens

    const ProcessResult result = RunProgram("tolvane-cli", {"upgrade", "--settle-ms", "0"});
    EXPECT_EQ(result.exitCode, 0) << result.out;
    // The log shows the stray byte as its Latin-1 letter, as before.
    EXPECT_NE(result.out.find(CliText("Device(1): caf\xC3\xA9.BIN\r\n   =>Upgrade successful\r\n")), std::string::npos)
        << result.out;
    EXPECT_EQ(result.out.find(CliText("!!!Error opening file")), std::string::npos) << result.out;
    EXPECT_EQ(result.err, "");
    EXPECT_NE(dir.Read("HubBench.ini.state").find("Hub1=0x0702\n"), std::string::npos);
}

#endif
