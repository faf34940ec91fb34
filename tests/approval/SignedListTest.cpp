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
#include <functional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {
const char kList[] = "approved.txt";
const char kSignature[] = "approved.txt.sig";
const std::string kMismatch =
    "the signature approved.txt.sig does not verify under any trusted key: the list or the signature changed";
const std::string kMalformed = "the signature approved.txt.sig is malformed or truncated";

std::string NotP256(const std::string& key, const std::string& what)
{
    return "the trusted key " + key + " is not a P-256 public key: " + what;
}

// The first line of a fixture, as `sha256sum | cut -c1-64` wrote it.
std::string Fingerprint(const ScratchDir& dir, const std::string& name)
{
    return dir.Read(name + ".fingerprint").substr(0, 64);
}

class SignedList : public testing::Test {
protected:
    void SetUp() override
    {
        for (const fs::directory_entry& entry : fs::directory_iterator(fs::u8path(TOLVANE_SIGNED_FIXTURES)))
            fs::copy_file(entry.path(), dir.Path() / entry.path().filename());
    }

    ScratchDir dir;
};

using Change = std::function<void(const ScratchDir&)>;

void Keep(const ScratchDir&)
{}

// Changes the file's bytes in place.
Change Rewrite(const char* name, std::function<void(std::string&)> edit)
{
    return [name, edit](const ScratchDir& dir) {
        std::string bytes = dir.Read(name);
        edit(bytes);
        dir.Write(name, bytes);
    };
}
} // namespace

TEST_F(SignedList, OnlyAVerifiedSignatureUnderATrustedKeyLetsTheListBeUsed)
{
    const struct {
        const char* name;
        std::vector<std::string> trust;
        Change change;
        std::string signature; // --signature FILE; empty for LIST.sig
        const char* signer;    // the fixture whose fingerprint signs; null when refused
        std::string error;     // the start of the message when refused
    } cases[] = {
        {"the second of two trusted keys", {"old.pub", "new.pub"}, Keep, "", "new", ""},
        {"the one trusted key", {"new.pub"}, Keep, "", "new", ""},
        {"the key given twice", {"new.pub", "new.pub"}, Keep, "", "new", ""},
        {"a signature named by --signature",
         {"new.pub"},
         [](const ScratchDir& scratch) {
             scratch.Write("sigs/release.sig", scratch.Read(kSignature));
             scratch.Remove(kSignature);
         },
         "sigs/release.sig",
         "new",
         ""},
        // The signature is missing, or does not hold over these bytes.
        {"no signature file",
         {"new.pub"},
         [](const ScratchDir& scratch) { scratch.Remove(kSignature); },
         "",
         nullptr,
         "no signature file approved.txt.sig: "},
        {"no file where --signature points", {"new.pub"}, Keep, "other.sig", nullptr, "no signature file other.sig: "},
        {"a line added to the list",
         {"new.pub"},
         Rewrite(kList, [](std::string& text) { text += std::string(64, 'e') + "  EVIL.BIN\n"; }),
         "",
         nullptr,
         kMismatch},
        {"one hash digit changed",
         {"new.pub"},
         Rewrite(kList, [](std::string& text) { text.replace(3, 1, "f"); }),
         "",
         nullptr,
         kMismatch},
        {"line ends changed to CRLF",
         {"new.pub"},
         Rewrite(kList, [](std::string& text) { text.insert(text.find('\n'), "\r"); }),
         "",
         nullptr,
         kMismatch},
        {"a byte of the signature's r changed",
         {"new.pub"},
         Rewrite(kSignature, [](std::string& sig) { sig.at(12) = static_cast<char>(sig.at(12) ^ 0x01); }),
         "",
         nullptr,
         kMismatch},
        {"signed by a key no one trusts", {"old.pub", "stranger.pub"}, Keep, "", nullptr, kMismatch},
        {"a truncated signature",
         {"new.pub"},
         Rewrite(kSignature, [](std::string& sig) { sig.resize(20); }),
         "",
         nullptr,
         kMalformed},
        {"the signature's last byte cut",
         {"new.pub"},
         Rewrite(kSignature, [](std::string& sig) { sig.pop_back(); }),
         "",
         nullptr,
         kMalformed},
        {"a byte after the signature",
         {"new.pub"},
         Rewrite(kSignature, [](std::string& sig) { sig += '\0'; }),
         "",
         nullptr,
         kMalformed},
        {"an empty signature",
         {"new.pub"},
         Rewrite(kSignature, [](std::string& sig) { sig.clear(); }),
         "",
         nullptr,
         kMalformed},
        {"a signature in hex",
         {"new.pub"},
         Rewrite(kSignature, [](std::string& sig) { sig = "3045022100ab"; }),
         "",
         nullptr,
         kMalformed},
        {"an r of 33 bytes",
         {"new.pub"},
         Rewrite(kSignature,
                 [](std::string& sig) {
                     sig = std::string("\x30\x27\x02\x21\x01", 5) + std::string(32, '\x11') +
                           std::string("\x02\x02\x01\x01", 4);
                 }),
         "",
         nullptr,
         kMalformed},
        {"a signature far too large",
         {"new.pub"},
         Rewrite(kSignature, [](std::string& sig) { sig.assign(5000, '0'); }),
         "",
         nullptr,
         kMalformed + " (larger than 4096 bytes)"},
        // Every trusted key must be a P-256 public key.
        {"an RSA key", {"rsa.pub"}, Keep, "", nullptr, NotP256("rsa.pub", "it is an RSA key")},
        {"an RSA key in PKCS#1 form",
         {"rsa-pkcs1.pub"},
         Keep,
         "",
         nullptr,
         NotP256("rsa-pkcs1.pub", "it is an RSA key")},
        {"a private key",
         {"private.key"},
         Keep,
         "",
         nullptr,
         NotP256("private.key", "it is a private key, which stays with the release engineer (give its public key)")},
        {"a certificate",
         {"new.crt"},
         Keep,
         "",
         nullptr,
         NotP256("new.crt", "it is a certificate (give the public key alone)")},
        {"garbage",
         {"garbage.pub"},
         Keep,
         "",
         nullptr,
         NotP256("garbage.pub", "it is not PEM (no \"-----BEGIN\" line)")},
        {"a P-384 key", {"p384.pub"}, Keep, "", nullptr, NotP256("p384.pub", "it is an EC key on another curve")},
        {"an Ed25519 key",
         {"ed25519.pub"},
         Keep,
         "",
         nullptr,
         NotP256("ed25519.pub", "it is a public key of another algorithm")},
        {"a cut public key", {"cut.pub"}, Keep, "", nullptr, NotP256("cut.pub", "its contents do not decode")},
        {"other PEM", {"params.pem"}, Keep, "", nullptr, NotP256("params.pem", "it holds \"DH PARAMETERS\"")},
        {"a missing key", {"new.pub", "gone.pub"}, Keep, "", nullptr, "cannot read the trusted key gone.pub: "},
        {"a folder for a key",
         {"sigs"},
         [](const ScratchDir& scratch) { scratch.Write("sigs/x", ""); },
         "",
         nullptr,
         "cannot read the trusted key sigs: "},
        {"a bad key beside the good one",
         {"new.pub", "rsa.pub"},
         Keep,
         "",
         nullptr,
         NotP256("rsa.pub", "it is an RSA key")},
        {"a signature but no key",
         {},
         Keep,
         kSignature,
         nullptr,
         "a signature file is given but no trusted key to check it with"},
    };
    const std::string original = dir.Read(kList);
    const std::string signature = dir.Read(kSignature);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        dir.Write(kList, original);
        dir.Write(kSignature, signature);
        c.change(dir);
        ApprovalOptions options;
        options.list = kList;
        options.trust = c.trust;
        options.signature = c.signature;
        Approval approval;
        std::string error;
        const bool loaded = LoadApproval(options, approval, error);
        ASSERT_EQ(loaded, c.signer != nullptr) << error;
        if (!loaded) {
            EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
            EXPECT_EQ(error.find('\n'), std::string::npos) << error;
            EXPECT_EQ(approval.list.Size(), 0u);
            EXPECT_TRUE(approval.signer.empty());
            continue;
        }
        // The fingerprint is openssl's: `openssl pkey -pubin -outform DER | sha256sum`.
        EXPECT_EQ(approval.signer, Fingerprint(dir, c.signer));
        tolvane::platform::FileDigest digest;
        ASSERT_TRUE(tolvane::platform::Sha256Bytes(original, digest, error)) << error;
        EXPECT_EQ(approval.sha256, digest.sha256);
        EXPECT_EQ(approval.list.Size(), 2u);
        EXPECT_NE(approval.list.HashOf("GL.BIN"), nullptr);
    }
}

TEST_F(SignedList, EveryTrustedKeyHasItsOwnFingerprint)
{
    // Two stations that trust different keys must never record the same signer.
    EXPECT_NE(Fingerprint(dir, "old"), Fingerprint(dir, "new"));
    ApprovalOptions options;
    options.list = kList;
    options.trust = {"new.pub", "old.pub"};
    Approval approval;
    std::string error;
    ASSERT_TRUE(LoadApproval(options, approval, error)) << error;
    EXPECT_EQ(approval.signer, Fingerprint(dir, "new"));
    EXPECT_EQ(approval.path, kList);
}
