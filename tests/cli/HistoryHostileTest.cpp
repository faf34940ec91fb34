// tolvane-cli history on files made by an attacker or a careless operator:
// it always answers, with the status the file deserves, shows no raw control
// or bidirectional character to a person, and its JSON holds its schema.
#include "CliFixture.h"

#include "Utf8.h"

#include <cstdio>
#include <filesystem>

#ifndef _WIN32
#include <sys/stat.h>
#endif

using nlohmann::json;

namespace {
const std::string kTime = R"("time":"2026-12-09T06:00:00.000Z")";

std::string Line(const std::string& kind, const std::string& more = "", const std::string& host = "bench-7")
{
    return "{" + kTime + R"(,"host":")" + host + R"(","run":"00000000000000aa","kind":")" + kind + "\"" + more + "}\n";
}

std::string Hub(unsigned index, const std::string& vid = "3C5E")
{
    return R"(,"hub":{"index":)" + std::to_string(index) + R"(,"number":)" + std::to_string(index + 1) +
           R"(,"depth":1,"port":1,"vid":")" + vid + R"(","pid":"0460","manufacturer":"","product":""})";
}

std::string Image(const std::string& name)
{
    return R"(,"image":{"name":")" + name + R"(","firmwareVersion":"9021"})";
}

std::string Start(const std::string& host = "bench-7")
{
    return Line("run-start", R"(,"program":"tolvane-cli","programVersion":"1.0")", host);
}

std::string Result(unsigned index, const std::string& more)
{
    return Line("result", Hub(index) + Image("HUB.BIN") + R"(,"oldVersion":"8011")" + more);
}

// The first raw control, DEL, C1 control, bidirectional control or invisible
// or line-breaking character in text, or its size when there is none. Line ends are the output's own.
std::size_t FirstUnsafe(const std::string& text)
{
    for (std::size_t at = 0; at < text.size();) {
        const auto byte = static_cast<unsigned char>(text[at]);
        if (byte == '\n' || (byte >= 0x20 && byte < 0x7F)) {
            ++at;
            continue;
        }
        std::uint32_t cp = 0;
        const std::size_t length = utf8::DecodeAt(text, at, cp);
        // The bidirectional controls, and what shows nothing or breaks a line.
        const bool bidi = cp == 0x061C || cp == 0x200E || cp == 0x200F || (cp >= 0x202A && cp <= 0x202E) ||
                          (cp >= 0x2066 && cp <= 0x2069) || (cp >= 0x200B && cp <= 0x200D) || cp == 0x2028 ||
                          cp == 0x2029 || (cp >= 0x2060 && cp <= 0x2064) || cp == 0xFEFF;
        if (length == 0 || cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || bidi)
            return at;
        at += length;
    }
    return text.size();
}

struct HostileCase {
    const char* name;
    std::string text; // the history's bytes
    int status;
    const char* shown;    // in the text output
    const char* hidden;   // never in the text output (null: no such check)
    std::size_t problems; // lines reported as not the history's
};

class HistoryHostileTest : public CliFixture {
protected:
    // The text and the JSON of one history, both checked.
    void Check(const HostileCase& c)
    {
        SCOPED_TRACE(c.name);
        dir.Write("h.jsonl", c.text);
        const ProcessResult text = Cli({"history", "h.jsonl"});
        EXPECT_EQ(text.exitCode, c.status) << text.err;
        EXPECT_EQ(FirstUnsafe(text.out), text.out.size()) << text.out;
        EXPECT_NE(text.out.find(c.shown), std::string::npos) << text.out;
        if (c.hidden) {
            EXPECT_EQ(text.out.find(c.hidden), std::string::npos) << text.out;
        }
        int status = -1;
        const json document = CliJson({"history", "h.jsonl"}, status);
        EXPECT_EQ(status, c.status);
        EXPECT_EQ(document["problemCount"], c.problems);
        dir.Write(std::string(c.name) + ".json", document.dump());
        m_documents.push_back(std::string(c.name) + ".json");
    }

    // Every document kept so far holds the published schema.
    void ExpectDocumentsValid()
    {
#ifndef _WIN32
        std::vector<std::string> args{TOLVANE_SOURCE_DIR "/tests/schema/validate.py",
                                      TOLVANE_SOURCE_DIR "/docs/schema/history-report.schema.json"};
        args.insert(args.end(), m_documents.begin(), m_documents.end());
        const ProcessResult result = RunExecutable("/usr/bin/python3", args);
        EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
#endif
    }

private:
    std::vector<std::string> m_documents;
};
} // namespace

TEST_F(HistoryHostileTest, EveryHostileHistoryIsAnsweredSafely)
{
    const std::string write0 = Line("write-start", Hub(0) + Image("HUB.BIN"));
    const std::string done0 = Result(0, R"(,"outcome":"programmed","libraryResult":0,"verified":null)");
    // Each at its own millisecond: the same line twice is a repeat.
    std::string many;
    for (unsigned i = 0; i < 300; ++i) {
        std::string line = Line("write-start", Hub(i % 32) + Image("HUB.BIN"));
        char ms[4];
        std::snprintf(ms, sizeof ms, "%03u", i);
        line.replace(line.find(".000Z"), 5, std::string(".") + ms + "Z");
        many += line;
    }
    const std::string end = Line("run-end");
    const HostileCase cases[] = {
        {"a whole run", Start() + write0 + done0 + Line("run-end"), 0, "1 programmed", nullptr, 0},
        {"an image name of the wrong type", Start() + Line("write-start", Hub(0) + R"(,"image":{"name":5})"), 0,
         "line 2: not a history line", "interrupted", 1},
        {"a hub of the wrong type", Start() + Line("write-start", R"(,"hub":"0")"), 0, "line 2: not a history line",
         nullptr, 1},
        {"a host forging a line", Start(R"(x\r\nrun 0 fake on bench-7: 3 programmed)") + write0, 1,
         "on x\\x0D\\x0Arun 0 fake", "\nrun 0 fake", 0},
        {"a host hiding the warning", Start(R"(\u001b[8m)") + write0, 1, "on \\x1B[8m", "\x1B", 0},
        {"a warning after a hidden image name", Start() + Line("write-start", Hub(0) + Image(R"(A\u001b[8m)")), 1,
         "image A\\x1B[8m, line 2: interrupted while writing", nullptr, 0},
        {"controls in every field",
         Line("run-start", R"(,"program":"\u009b31m","programVersion":"\u0007")") +
             Line("write-start", Hub(0, R"(\u001b[2J)") + Image("HUB.BIN")) +
             Line("run-end", R"(,"interruption":"\r\u007f")"),
         1, "(\\x1B[2J:0460", "\x7F", 0},
        {"a right-to-left override in a name", Start() + Line("write-start", Hub(0) + Image(R"(HUB\u202eNIB.BIN)")), 1,
         "image HUB\\xE2\\x80\\xAENIB.BIN", "\xE2\x80\xAE", 0},
        {"isolates in the host", Start(R"(\u2066a\u2069)") + write0, 1, "\\xE2\\x81\\xA6a\\xE2\\x81\\xA9", nullptr, 0},
        {"a fractional library result", Start() + write0 + Result(0, R"(,"outcome":"failed","libraryResult":1.5)"), 1,
         "line 3: not a history line", nullptr, 1},
        {"a library result beyond 32 bits", Start() + Result(0, R"(,"outcome":"failed","libraryResult":4294967297)"), 0,
         "line 2: not a history line", nullptr, 1},
        {"a hub number beyond 32 bits", Start() + Line("run-end", R"(,"notStarted":[4294967297])"), 0,
         "line 2: not a history line", "hubs not started: 1", 1},
        {"a hub index beyond the table", Start() + Line("write-start", R"(,"hub":{"index":32})"), 0,
         "line 2: not a history line", nullptr, 1},
        {"an unknown outcome", Start() + Result(0, R"(,"outcome":"\u001b]0;owned\u0007")"), 0,
         "line 2: not a history line", nullptr, 1},
        {"a verification of the wrong type", Start() + Line("verify", Hub(0) + R"(,"verified":"no")"), 0,
         "line 2: not a history line", nullptr, 1},
        {"300 open writes in one run", Start() + many, 1, "and 200 more writes interrupted", nullptr, 0},
        {"a write-start delivered twice", Start() + write0 + write0 + done0 + end, 0,
         "line 3: a repeat of an earlier line of its run", "interrupted", 1},
        {"a result delivered twice", Start() + write0 + done0 + done0 + end, 0, ": 1 programmed\n", nullptr, 1},
        {"a batch delivered again after its run ended", Start() + write0 + done0 + end + done0 + end, 0,
         "6 lines, 1 runs", "interrupted", 2},
        {"the same time but another hub", Start() + write0 + Line("write-start", Hub(1) + Image("HUB.BIN")), 1,
         "line 3: interrupted while writing", "repeat", 0},
        {"bytes that are not UTF-8", Start() + "{\"run\":\"\xFF\"}\n" + write0, 1, "line 2: torn or not JSON", nullptr,
         1},
    };
    for (const HostileCase& c : cases)
        Check(c);
    ExpectDocumentsValid();
}

TEST_F(HistoryHostileTest, WhatIsNoRegularFileIsExit2WithTheSystemsReason)
{
    std::filesystem::create_directories(dir.Path() / "folder");
    struct Case {
        const char* path;
        const char* reason;
    };
    std::vector<Case> cases = {{"folder", "cannot read the history folder: "},
                               {"missing.jsonl", "cannot read the history missing.jsonl: "}};
#ifndef _WIN32
    ASSERT_EQ(mkfifo("fifo", 0600), 0);
    cases.push_back({"fifo", "cannot read the history fifo: not a regular file"});
    cases.push_back({"/dev/null", "cannot read the history /dev/null: not a regular file"});
    cases.push_back({"/proc/self/mem", "cannot read the history /proc/self/mem: Input/output error"});
#endif
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        for (const bool asJson : {false, true}) {
            std::vector<std::string> args{"history", c.path};
            if (asJson)
                args.push_back("--json");
            const ProcessResult result = Cli(args);
            EXPECT_EQ(result.exitCode, 2);
            EXPECT_EQ(result.out, "");
            EXPECT_EQ(result.err.rfind(std::string("tolvane-cli: ") + c.reason, 0), 0u) << result.err;
        }
    }
}
