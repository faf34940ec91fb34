// A signed list is used only when its signature, made by openssl with a
// release key, verifies over the very bytes read under one of the trusted
// keys; every other case stops it with a message that names the case. The
// keys and the signature are made by openssl at build time (see
// support/make-signed-fixtures.sh), the same for the native and the Wine run.
#include "Approval.h"

#include "FileDigest.h"
#include "ScratchDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {
const std::string kChanged = ": another key signed the list, or the list or the signature changed after signing";
const std::string kMismatch = "the signature approved.txt.sig does not verify under the trusted key new.pub" + kChanged;
const std::string kMalformed = "the signature approved.txt.sig is malformed or truncated";

class SignedList : public testing::Test {
protected:
    void SetUp() override
    {
        for (const fs::directory_entry& entry : fs::directory_iterator(fs::u8path(TOLVANE_SIGNED_FIXTURES)))
            fs::copy_file(entry.path(), dir.Path() / entry.path().filename());
    }

    // LoadApproval on approved.txt; the error, empty when it loaded.
    std::string Load(const std::vector<std::string>& trust, Approval& approval, const std::string& signature = "")
    {
        ApprovalOptions options{"approved.txt", trust, signature};
        std::string error;
        const bool loaded = LoadApproval(options, approval, error);
        EXPECT_EQ(loaded, error.empty()) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        if (!loaded) {
            EXPECT_EQ(approval.list.Size(), 0u);
            EXPECT_TRUE(approval.signer.empty());
        }
        return error;
    }

    // As `openssl pkey -pubin -outform DER | sha256sum` computed it.
    std::string Fingerprint(const std::string& key) const { return dir.Read(key + ".fingerprint").substr(0, 64); }

    ScratchDir dir;
};
} // namespace

TEST_F(SignedList, AVerifiedSignatureNamesItsSigner)
{
    dir.Write("sigs/release.sig", dir.Read("approved.txt.sig"));
    const struct {
        std::vector<std::string> trust;
        const char* signature;
        const char* signer;
    } cases[] = {
        {{"old.pub", "new.pub"}, "", "new"},
        {{"new.pub", "old.pub"}, "", "new"},
        {{"stranger.pub", "new.pub"}, "sigs/release.sig", "new"},
    };
    tolvane::platform::FileDigest digest;
    std::string error;
    ASSERT_TRUE(tolvane::platform::Sha256Bytes(dir.Read("approved.txt"), digest, error));
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.trust));
        Approval approval;
        ASSERT_EQ(Load(c.trust, approval, c.signature), "");
        EXPECT_EQ(approval.signer, Fingerprint(c.signer));
        EXPECT_NE(approval.signer, Fingerprint("old"));
        EXPECT_EQ(approval.sha256, digest.sha256);
        EXPECT_NE(approval.list.HashOf("GL.BIN"), nullptr);
    }
}

TEST_F(SignedList, AnyOtherSignatureStopsTheList)
{
    const std::string list = dir.Read("approved.txt");
    const std::string signature = dir.Read("approved.txt.sig");
    const struct {
        const char* name;
        void (*change)(std::string& list, std::string& signature);
        std::vector<std::string> trust;
        std::string error; // its start
    } cases[] = {
        {"no signature file", [](std::string&, std::string&) {}, {"new.pub"}, "no signature file approved.txt.sig: "},
        {"a line added",
         [](std::string& l, std::string&) { l += std::string(64, 'e') + "  EVIL.BIN\n"; },
         {"new.pub"},
         kMismatch},
        {"CRLF line ends", [](std::string& l, std::string&) { l.insert(l.find('\n'), "\r"); }, {"new.pub"}, kMismatch},
        {"r changed",
         [](std::string&, std::string& s) { s.at(12) = static_cast<char>(s.at(12) ^ 1); },
         {"new.pub"},
         kMismatch},
        // The keys tried are named, so that a wrong --trust shows.
        {"another key",
         [](std::string&, std::string&) {},
         {"old.pub", "stranger.pub"},
         "the signature approved.txt.sig does not verify under any of the trusted keys old.pub, stranger.pub" +
             kChanged},
        {"truncated", [](std::string&, std::string& s) { s.pop_back(); }, {"new.pub"}, kMalformed},
        {"a byte after it", [](std::string&, std::string& s) { s += '\0'; }, {"new.pub"}, kMalformed},
        {"empty", [](std::string&, std::string& s) { s.clear(); }, {"new.pub"}, kMalformed},
        {"an r of 33 bytes",
         [](std::string&, std::string& s) { s = "\x30\x27\x02\x21\x01" + std::string(32, 'r') + "\x02\x02\x01\x01"; },
         {"new.pub"},
         kMalformed},
        {"far too large",
         [](std::string&, std::string& s) { s.assign(5000, '0'); },
         {"new.pub"},
         kMalformed + " (larger than 4096 bytes)"},
        {"no key",
         [](std::string&, std::string&) {},
         {},
         "a signature file is given but no trusted key to check it with"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string changedList = list;
        std::string changedSignature = signature;
        c.change(changedList, changedSignature);
        dir.Write("approved.txt", changedList);
        dir.Write("approved.txt.sig", changedSignature);
        if (std::string(c.name) == "no signature file")
            dir.Remove("approved.txt.sig");
        Approval approval;
        const std::string error = Load(c.trust, approval, c.trust.empty() ? "approved.txt.sig" : "");
        EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
    }
}

TEST_F(SignedList, EveryTrustedKeyMustBeAP256PublicKey)
{
    const struct {
        const char* key;
        std::string error; // after "the trusted key KEY ", its start
    } cases[] = {
        {"rsa.pub", "is not a P-256 public key: it is an RSA key"},
        {"rsa-pkcs1.pub", "is not a P-256 public key: it is an RSA key"},
        {"private.key", "is not a P-256 public key: it is a private key, which stays with the release engineer "
                        "(give its public key)"},
        {"new.crt", "is not a P-256 public key: it is a certificate (give the public key alone)"},
        {"garbage.pub", "is not a P-256 public key: it is not PEM (no \"-----BEGIN\" line)"},
        {"p384.pub", "is not a P-256 public key: it is an EC key on another curve"},
        {"compressed.pub", "is not a P-256 public key: its point is compressed (openssl pkey -pubin -ec_conv_form "
                           "uncompressed writes it out whole)"},
        {"ed25519.pub", "is not a P-256 public key: it is a public key of another algorithm"},
        {"cut.pub", "is not a P-256 public key: its contents do not decode"},
        {"params.pem", "is not a P-256 public key: it holds \"DH PARAMETERS\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        Approval approval;
        // Beside a key that verifies, too: a bad key is never passed over.
        EXPECT_EQ(Load({"new.pub", c.key}, approval), "the trusted key " + std::string(c.key) + " " + c.error);
    }
    Approval approval;
    EXPECT_EQ(Load({"gone.pub"}, approval).rfind("cannot read the trusted key gone.pub: ", 0), 0u);
}
