// A signed approved list on the command line: `approved` reports a list and
// its signature on its own, and upgrade and plan stop before the scan, with
// no hub touched, when the list's signature does not verify under a trusted
// key. The keys and the signature are openssl's, made at build time (see
// support/make-signed-fixtures.sh).
#include "CliFixture.h"

#include <filesystem>
#include <string>
#include <vector>

using nlohmann::json;
namespace fs = std::filesystem;

namespace {
// The key tried is named: a wrong --trust reads as one.
const std::string kRefused = "the signature approved.txt.sig does not verify under the trusted key old.pub: another "
                             "key signed the list, or the list or the signature changed after signing";

class SignedListCliTest : public CliFixture {
protected:
    SignedListCliTest()
    {
        for (const fs::directory_entry& entry : fs::directory_iterator(fs::u8path(TOLVANE_SIGNED_FIXTURES)))
            fs::copy_file(entry.path(), dir.Path() / entry.path().filename());
        dir.Write("bad.txt", "not a list\n");
    }

    std::string Fingerprint(const std::string& key) { return dir.Read(key + ".fingerprint").substr(0, 64); }
};
} // namespace

TEST_F(SignedListCliTest, ApprovedShowsTheImagesAndWhetherTheSignatureVerifies)
{
    const std::string images = "  2a5e0c4b1f8d3e6a7b9c0d1e2f3a4b5c6d7e8f9a0b1c2d3e4f5a6b7c8d9e0f1a  Bin/HUB460.BIN\n"
                               "  ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff  Bin/GL.BIN\n";
    const struct {
        std::vector<std::string> args;
        std::string signature; // the text's line after the images, up to the signer
        const char* signer;    // the key that verifies, or null
    } cases[] = {
        {{"--trust", "old.pub", "--trust", "new.pub"}, "signature approved.txt.sig: verified, signer ", "new"},
        {{}, "signature: not checked (no --trust KEY)\n", nullptr},
        {{"--trust=old.pub"}, "signature approved.txt.sig: refused: " + kRefused + "\n", nullptr},
        {{"--trust", "new.pub", "--signature", "none.sig"},
         "signature none.sig: refused: no signature file none.sig: ",
         nullptr},
    };
    const std::string listSha256 = ReferenceSha256("approved.txt");
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        std::vector<std::string> args{"approved"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.push_back("approved.txt");
        const bool usable = c.signer || c.args.empty();
        const ProcessResult text = Cli(args);
        EXPECT_EQ(text.exitCode, usable ? 0 : 2) << text.err;
        // The list's images are not in Bin: named, and the list still usable.
        const std::string unmatched = "  matches no image: line 1: Bin/HUB460.BIN: no such image in Bin\n"
                                      "  matches no image: line 2: Bin/GL.BIN: no such image in Bin\n";
        const std::string start =
            "list approved.txt: 2 images, sha256 " + listSha256 + "\n" + images + unmatched + c.signature;
        EXPECT_EQ(text.out.rfind(start, 0), 0u) << text.out;
        const std::string end =
            usable ? "\nusable, but 2 entries match no image: hubs that need them will be refused\n" : "\nnot usable\n";
        EXPECT_EQ(text.out.substr(text.out.size() - end.size()), end) << text.out;
        if (c.signer) {
            EXPECT_EQ(text.out, start + Fingerprint(c.signer) + end);
        }

        int status = -1;
        const json doc = CliJson(args, status);
        EXPECT_EQ(status, usable ? 0 : 2);
        EXPECT_EQ(doc["exitStatus"], status);
        EXPECT_EQ(doc["usable"], usable);
        EXPECT_EQ(doc["sha256"], listSha256);
        ASSERT_EQ(doc["images"].size(), 2u);
        EXPECT_EQ(doc["images"][1], json({{"line", 2}, {"name", "Bin/GL.BIN"}, {"sha256", std::string(64, 'f')}}));
        if (c.args.empty()) {
            EXPECT_EQ(doc["signature"], nullptr);
            continue;
        }
        EXPECT_EQ(doc["signature"]["verified"], usable);
        EXPECT_EQ(doc["signature"]["signer"], c.signer ? json(Fingerprint(c.signer)) : json(nullptr));
        EXPECT_EQ(doc["signature"]["error"].is_null(), usable);
    }
}

TEST_F(SignedListCliTest, UpgradeAndPlanStopBeforeTheScanUnlessTheSignatureVerifies)
{
    WriteDemo(0);
    const struct {
        const char* name;
        std::vector<std::string> args;
        int exitCode;
        std::string err; // the start of the standard error
    } cases[] = {
        {"signed by the second key", {"--approved", "approved.txt", "--trust", "old.pub", "--trust", "new.pub"}, 1, ""},
        {"signed by another key",
         {"--approved", "approved.txt", "--trust", "old.pub"},
         2,
         "tolvane-cli: --approved approved.txt: " + kRefused},
        {"--trust without --approved", {"--trust", "new.pub"}, 2, "tolvane-cli: --trust needs --approved"},
        {"--signature without --approved",
         {"--signature", "approved.txt.sig"},
         2,
         "tolvane-cli: --signature needs --approved"},
        {"--signature without --trust",
         {"--approved", "approved.txt", "--signature", "approved.txt.sig"},
         2,
         "tolvane-cli: --signature needs --trust"},
        // An empty name would have meant no list, or the list's own .sig.
        {"--approved without a name",
         {"--approved", ""},
         2,
         "tolvane-cli: --approved: the approved list needs a file name"},
        {"--signature without a name",
         {"--approved", "approved.txt", "--trust", "new.pub", "--signature", ""},
         2,
         "tolvane-cli: --signature: the signature needs a file name"},
    };
    for (const auto& c : cases) {
        for (const char* command : {"upgrade", "plan"}) {
            SCOPED_TRACE(std::string(c.name) + ", " + command);
            dir.Remove("HubBench.ini.state");
            std::vector<std::string> args{command, "--settle-ms", "0"};
            args.insert(args.end(), c.args.begin(), c.args.end());
            const ProcessResult result = Cli(args);
            EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
            EXPECT_EQ(result.err.rfind(c.err, 0), 0u) << result.err;
            if (c.exitCode == 2) {
                EXPECT_EQ(result.out, "");
                EXPECT_FALSE(fs::exists(dir.Path() / "HubBench.ini.state"));
                continue;
            }
            // The signed list holds other images' hashes: it is used, and
            // refuses both images.
            const std::string refusal = std::string(command) == "plan"
                                            ? "HUB460.BIN contents differ from the approved list"
                                            : "!!!Error HUB460.BIN differs from its approved contents";
            EXPECT_NE(result.out.find(refusal), std::string::npos) << result.out;
        }
    }
}

#ifndef _WIN32
TEST_F(SignedListCliTest, ApprovedReportsMatchTheirSchema)
{
    const std::string schema = TOLVANE_SOURCE_DIR "/docs/schema/approved-report.schema.json";
    const std::string validate = TOLVANE_SOURCE_DIR "/tests/schema/validate.py";
    // Each report with its exit status: a list that cannot be read or has
    // a bad line is not usable, and its signature is judged all the same.
    const struct {
        const char* file;
        std::vector<std::string> args;
        int exitCode;
    } reports[] = {
        {"verified.json", {"--trust", "old.pub", "--trust", "new.pub", "approved.txt"}, 0},
        {"unsigned.json", {"approved.txt"}, 0},
        {"refused.json", {"--trust", "garbage.pub", "approved.txt"}, 2},
        {"bad.json", {"--trust", "new.pub", "bad.txt"}, 2},
        {"none.json", {"none.txt"}, 2},
    };
    std::vector<std::string> args{validate, schema};
    for (const auto& report : reports) {
        std::vector<std::string> command{"approved", "--json"};
        command.insert(command.end(), report.args.begin(), report.args.end());
        const ProcessResult result = Cli(command);
        EXPECT_EQ(result.exitCode, report.exitCode) << report.file;
        dir.Write(report.file, result.out);
        args.push_back(report.file);
    }
    const ProcessResult valid = RunExecutable("/usr/bin/python3", args);
    EXPECT_EQ(valid.exitCode, 0) << valid.out << valid.err;

    // A renamed field fails.
    std::string renamed = dir.Read("verified.json");
    renamed.replace(renamed.find("\"signer\""), 8, "\"signed\"");
    dir.Write("renamed.json", renamed);
    const ProcessResult invalid = RunExecutable("/usr/bin/python3", {validate, schema, "renamed.json"});
    EXPECT_EQ(invalid.exitCode, 1) << invalid.out << invalid.err;
}
#endif
