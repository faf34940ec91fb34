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
const char kRefused[] = "the signature approved.txt.sig does not verify under any trusted key: the list or the "
                        "signature changed";

class SignedListCliTest : public CliFixture {
protected:
    SignedListCliTest()
    {
        for (const fs::directory_entry& entry : fs::directory_iterator(fs::u8path(TOLVANE_SIGNED_FIXTURES)))
            fs::copy_file(entry.path(), dir.Path() / entry.path().filename());
    }

    std::string Fingerprint(const std::string& key) { return dir.Read(key + ".fingerprint").substr(0, 64); }
};
} // namespace

TEST_F(SignedListCliTest, ApprovedShowsTheImagesAndWhetherTheSignatureVerifies)
{
    const std::string images = "  2a5e0c4b1f8d3e6a7b9c0d1e2f3a4b5c6d7e8f9a0b1c2d3e4f5a6b7c8d9e0f1a  Bin/HUB460.BIN\n"
                               "  ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff  Bin/GL.BIN\n";
    const std::string head = "list approved.txt: 2 images, sha256 ";
    const struct {
        const char* name;
        std::vector<std::string> args;
        int exitCode;
        std::string signatureLine; // the text's line after the images
        const char* signer;        // the key that verifies, or null
    } cases[] = {
        {"two keys, the second signed",
         {"--trust", "old.pub", "--trust", "new.pub"},
         0,
         "signature approved.txt.sig: verified, signer ",
         "new"},
        {"unsigned", {}, 0, "signature: not checked (no --trust KEY)\n", nullptr},
        {"another key",
         {"--trust=old.pub"},
         2,
         "signature approved.txt.sig: refused: " + std::string(kRefused) + "\n",
         nullptr},
        {"an RSA key",
         {"--trust", "rsa.pub"},
         2,
         "signature approved.txt.sig: refused: the trusted key rsa.pub is not a P-256 public key: it is an RSA key\n",
         nullptr},
        {"no such signature",
         {"--trust", "new.pub", "--signature", "none.sig"},
         2,
         "signature none.sig: refused: no signature file none.sig: ",
         nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args{"approved"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.push_back("approved.txt");
        const ProcessResult text = Cli(args);
        EXPECT_EQ(text.exitCode, c.exitCode) << text.err;
        const std::string listSha256 = ReferenceSha256("approved.txt");
        const std::string start = head + listSha256 + "\n" + images + c.signatureLine;
        EXPECT_EQ(text.out.rfind(start, 0), 0u) << text.out;
        if (c.signer) {
            EXPECT_EQ(text.out, start + Fingerprint(c.signer) + "\nusable\n");
        }
        EXPECT_EQ(text.out.substr(text.out.rfind('\n', text.out.size() - 2) + 1),
                  c.exitCode == 0 ? "usable\n" : "not usable\n");

        int status = -1;
        const json doc = CliJson(args, status);
        EXPECT_EQ(status, c.exitCode);
        EXPECT_EQ(doc["exitStatus"], c.exitCode);
        EXPECT_EQ(doc["usable"], c.exitCode == 0);
        EXPECT_EQ(doc["sha256"], listSha256);
        ASSERT_EQ(doc["images"].size(), 2u);
        EXPECT_EQ(doc["images"][1], json({{"line", 2}, {"name", "Bin/GL.BIN"}, {"sha256", std::string(64, 'f')}}));
        if (c.args.empty()) {
            EXPECT_EQ(doc["signature"], nullptr);
            continue;
        }
        EXPECT_EQ(doc["signature"]["verified"], c.signer != nullptr);
        EXPECT_EQ(doc["signature"]["signer"], c.signer ? json(Fingerprint(c.signer)) : json(nullptr));
        EXPECT_EQ(doc["signature"]["error"].is_null(), c.signer != nullptr);
    }
}

TEST_F(SignedListCliTest, ApprovedSaysWhyAListCannotBeUsed)
{
    dir.Write("bad.txt", "not a list\n");
    dir.Write("bad.txt.sig", "");
    const struct {
        const char* name;
        std::vector<std::string> args;
        const char* text; // the start of the output
        const char* listError;
    } cases[] = {
        {"no list", {"approved", "none.txt"}, "list none.txt: cannot be read: ", ""},
        {"a bad line", {"approved", "bad.txt"}, "list bad.txt: line 1: ", "line 1: "},
        // Both faults are told at once.
        {"a bad line and a bad signature",
         {"approved", "--trust", "new.pub", "bad.txt"},
         "list bad.txt: line 1: ",
         "line 1: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ProcessResult text = Cli(c.args);
        EXPECT_EQ(text.exitCode, 2);
        EXPECT_EQ(text.out.rfind(c.text, 0), 0u) << text.out;
        EXPECT_EQ(text.out.substr(text.out.size() - 11), "not usable\n") << text.out;
        int status = -1;
        const json doc = CliJson(c.args, status);
        EXPECT_EQ(status, 2);
        EXPECT_EQ(doc["usable"], false);
        EXPECT_EQ(doc["images"], json::array());
        EXPECT_EQ(doc["listError"].get<std::string>().rfind(c.listError, 0), 0u) << doc["listError"];
        if (c.args.size() > 2) {
            EXPECT_EQ(doc["signature"]["error"], "the signature bad.txt.sig is malformed or truncated");
        }
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
         "tolvane-cli: --approved approved.txt: " + std::string(kRefused) + "\n"},
        {"no signature",
         {"--approved", "approved.txt", "--trust", "new.pub", "--signature", "gone.sig"},
         2,
         "tolvane-cli: --approved approved.txt: no signature file gone.sig: "},
        {"a certificate",
         {"--approved", "approved.txt", "--trust", "new.crt"},
         2,
         "tolvane-cli: --approved approved.txt: the trusted key new.crt is not a P-256 public key: it is a "
         "certificate (give the public key alone)\n"},
        {"--trust without --approved", {"--trust", "new.pub"}, 2, "tolvane-cli: --trust needs --approved"},
        {"--signature without --approved",
         {"--signature", "approved.txt.sig"},
         2,
         "tolvane-cli: --signature needs --approved"},
        {"--signature without --trust",
         {"--approved", "approved.txt", "--signature", "approved.txt.sig"},
         2,
         "tolvane-cli: --signature needs --trust"},
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
    dir.Write("bad.txt", "not a list\n");
    const struct {
        const char* file;
        std::vector<std::string> args;
    } reports[] = {
        {"verified.json", {"--trust", "old.pub", "--trust", "new.pub", "approved.txt"}},
        {"unsigned.json", {"approved.txt"}},
        {"refused.json", {"--trust", "garbage.pub", "approved.txt"}},
        {"bad.json", {"--trust", "new.pub", "bad.txt"}},
        {"none.json", {"none.txt"}},
    };
    std::vector<std::string> args{validate, schema};
    for (const auto& report : reports) {
        std::vector<std::string> command{"approved", "--json"};
        command.insert(command.end(), report.args.begin(), report.args.end());
        dir.Write(report.file, Cli(command).out);
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
