// What tolvane-cli writes stays readable and parseable: one JSON document
// whatever the temporary folder, one form of a name in every output, the
// plan on lines of its own, and no image kept that nothing prints.
#include "CliFixture.h"
#include "RunRecorder.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

using nlohmann::json;

namespace {
class CliOutputTest : public CliFixture {};

// Restores an environment variable when the test ends.
class EnvironmentChange {
public:
    EnvironmentChange(const char* name, const std::string& value) : m_name(name)
    {
        const char* old = std::getenv(name);
        m_old = old ? old : "";
        SetEnv(name, value);
    }
    ~EnvironmentChange() { SetEnv(m_name, m_old); }

private:
    std::string m_name;
    std::string m_old;
};
} // namespace

TEST_F(CliOutputTest, JsonStaysOneDocumentWithoutATemporaryFolder)
{
    WriteDemo(1);
    const struct {
        const char* name;
        std::vector<std::string> args;
    } cases[] = {
        {"scan", {"scan", "--settle-ms", "0"}},
        {"plan", {"plan", "--explain", "--settle-ms", "0"}},
        {"upgrade", {"upgrade", "--settle-ms", "0", "--verify"}},
    };
#ifdef _WIN32
    const EnvironmentChange tmp("TMP", "Z:\\nonexistent");
    const EnvironmentChange temp("TEMP", "Z:\\nonexistent");
#else
    const EnvironmentChange tmp("TMPDIR", "/nonexistent");
#endif
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        int status = -1;
        const json doc = CliJson(c.args, status);
        EXPECT_EQ(doc["notes"].get<std::string>().rfind("[HUBFWCheck] Found  \n\t\t", 0), 0u) << doc["notes"];
        EXPECT_TRUE(doc["scanPassed"].get<bool>());
    }
}

TEST_F(CliOutputTest, ThePlanStartsOnALineOfItsOwn)
{
    WriteDemo(1);
    const ProcessResult result = Cli({"plan", "--settle-ms", "0"});
    EXPECT_EQ(result.out.rfind("[HUBFWCheck] Found  \n", 0), 0u) << result.out;
    EXPECT_NE(result.out.find("\n\t\t\nDevice(3) 05E3/0610"), std::string::npos) << result.out;
}

TEST_F(CliOutputTest, AnUnopenableImageSaysWhy)
{
    WriteDemo(0);
    std::filesystem::create_directories(dir.Path() / "Bin" / "A_DIR.BIN");
    const ProcessResult result = Cli({"plan", "--explain", "--settle-ms", "0"});
#ifdef _WIN32
    const std::string reason = "\n    A_DIR.BIN: cannot be opened: ";
#else
    const std::string reason = "\n    A_DIR.BIN: cannot be opened: " + std::string(std::strerror(EISDIR)) + "\n";
#endif
    EXPECT_NE(result.out.find(reason), std::string::npos) << result.out;
}

#ifndef _WIN32
// A Latin-1 byte in a name is a byte, never the letter it would be in
// Latin-1 nor a replacement character, and a control character never
// reaches the terminal raw; Windows names are Unicode and show as such.
TEST_F(CliOutputTest, ANameShowsTheSameInEveryOutput)
{
    const struct {
        const char* name;
        std::string file;
        std::string shown;
    } cases[] = {
        {"Latin-1", "caf\xE9.BIN", "caf\\xE9.BIN"},
        {"UTF-8", "caf\xC3\xA9.BIN", "caf\xC3\xA9.BIN"},
        {"escape", "a\x1B[2Jb.BIN", "a\\x1B[2Jb.BIN"},
        {"line end", "a\nb.BIN", "a\\x0Ab.BIN"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteDemo(0);
        dir.Remove("HubBench.ini.state");
        dir.Remove("Bin/GL.BIN");
        WriteImage(c.file, CliImage(0x0D13, 0x00, 0x0655));
        const std::string path = "Bin/" + c.file;
        const std::string shownPath = "Bin/" + c.shown;

        const ProcessResult text = Cli({"plan", "--explain", "--settle-ms", "0"});
        EXPECT_NE(text.out.find("would write " + c.shown + " (layout B)"), std::string::npos) << text.out;
        EXPECT_NE(text.out.find("\n    " + c.shown + ": chosen\n"), std::string::npos) << text.out;
        EXPECT_NE(text.out.find("\n    chosen image " + c.shown + ": sha256 " + ReferenceSha256(path)),
                  std::string::npos)
            << text.out;
        const ProcessResult inspect = Cli({"inspect", path});
        EXPECT_EQ(inspect.out.rfind(shownPath + "\n", 0), 0u) << inspect.out;

        int status = -1;
        const json plan = CliJson({"plan", "--explain", "--settle-ms", "0"}, status);
        EXPECT_EQ(plan["plan"][0]["image"]["name"], c.shown);
        EXPECT_EQ(plan["plan"][0]["images"][0]["name"], c.shown);
        EXPECT_EQ(plan["plan"][0]["decision"].get<std::string>().find("would write " + c.shown), 0u);
        EXPECT_EQ(CliJson({"inspect", path}, status)["images"][0]["file"], shownPath);
        const json upgrade = CliJson({"upgrade", "--settle-ms", "0"}, status);
        EXPECT_EQ(upgrade["results"][0]["image"]["name"], c.shown);
        for (const std::string* out : {&text.out, &inspect.out}) {
            EXPECT_EQ(out->find('\x1B'), std::string::npos);
            EXPECT_EQ(out->find("\xEF\xBF\xBD"), std::string::npos);
        }
        dir.Remove(path);
    }
}
#endif

TEST(RunRecorderMemory, KeepsJudgedImagesOnlyWhenAskedForThem)
{
    for (const bool everyImage : {false, true}) {
        RunRecorder recorder(everyImage);
        recorder.OnHubStart(0, HubInfo{});
        ImageVerdict verdict;
        verdict.test = ImageTest::TargetId;
        for (int i = 0; i < 1000; ++i)
            recorder.OnImageConsidered(verdict, false);
        EXPECT_EQ(recorder.WantsEveryImage(), everyImage);
        EXPECT_EQ(recorder.hubs.back().images.size(), everyImage ? 1000u : 0u);
    }
}
