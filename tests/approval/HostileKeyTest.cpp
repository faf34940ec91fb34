// One table of hostile key files and signatures, run by both builds (Linux
// natively, Windows under Wine) with the same expectations: each row gets
// the same verdict and the same message whichever crypto library is below.
// The keys and the signature come from openssl at build time (see
// support/make-signed-fixtures.sh); each row changes them here.
#include "Approval.h"

#include "ScratchDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

namespace fs = std::filesystem;

namespace {
const std::string kKeyRefused = "the trusted key key.pub is not a P-256 public key: ";
const std::string kRefusedSignature = "the signature approved.txt.sig is malformed or truncated";
const std::string kUnverified = "the signature approved.txt.sig does not verify under the trusted key key.pub: "
                                "another key signed the list, or the list or the signature changed after signing";

std::string Base64(const std::string& bytes)
{
    static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        std::uint32_t group = 0;
        for (std::size_t j = 0; j < 3; ++j)
            group = group << 8 | (i + j < bytes.size() ? static_cast<std::uint8_t>(bytes[i + j]) : 0);
        for (std::size_t j = 0; j < 4; ++j)
            text += j <= bytes.size() - i ? kDigits[(group >> (18 - 6 * j)) & 0x3F] : '=';
    }
    return text;
}

std::string Pem(const std::string& der)
{
    return "-----BEGIN PUBLIC KEY-----\n" + Base64(der) + "\n-----END PUBLIC KEY-----\n";
}

std::string Replaced(std::string text, const std::string& from, const std::string& to)
{
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// A DER element with a short length, as every piece of a P-256 signature has.
std::string Tlv(char tag, const std::string& content)
{
    return std::string(1, tag) + static_cast<char>(content.size()) + content;
}

// The same with a long length, which strict DER forbids below 128.
std::string LongTlv(char tag, const std::string& content)
{
    return std::string(1, tag) + '\x81' + static_cast<char>(content.size()) + content;
}

// r and s of a signature as openssl writes it, sign bytes and all.
struct Parts {
    std::string r, s;
};

Parts Split(const std::string& der)
{
    const std::size_t rSize = static_cast<std::uint8_t>(der.at(3));
    const std::size_t sAt = 4 + rSize;
    return {der.substr(4, rSize), der.substr(sAt + 2, static_cast<std::uint8_t>(der.at(sAt + 1)))};
}

std::string Signature(const Parts& p)
{
    return Tlv('\x30', Tlv('\x02', p.r) + Tlv('\x02', p.s));
}

std::string Flipped(std::string bytes)
{
    bytes.back() = static_cast<char>(bytes.back() ^ 1);
    return bytes;
}

class HostileKey : public testing::Test {
protected:
    void SetUp() override
    {
        for (const fs::directory_entry& entry : fs::directory_iterator(fs::u8path(TOLVANE_SIGNED_FIXTURES)))
            fs::copy_file(entry.path(), dir.Path() / entry.path().filename());
    }

    // The error of the list under key.pub holding key and approved.txt.sig
    // holding signature; empty when it verified, with the signer checked.
    std::string Load(const std::string& key, const std::string& signature)
    {
        dir.Write("key.pub", key);
        dir.Write("approved.txt.sig", signature);
        Approval approval;
        std::string error;
        ApprovalOptions options{"approved.txt", {"key.pub"}, ""};
        const bool loaded = LoadApproval(options, approval, error);
        EXPECT_EQ(loaded, error.empty()) << error;
        if (loaded) {
            EXPECT_EQ(approval.signer, dir.Read("new.fingerprint").substr(0, 64));
        }
        return error;
    }

    ScratchDir dir;
};
} // namespace

TEST_F(HostileKey, EveryBuildGivesTheSameVerdictAndMessage)
{
    const std::string newKey = dir.Read("new.pub");
    const std::string oldKey = dir.Read("old.pub");
    const std::string der = dir.Read("new.der");
    const std::string signature = dir.Read("approved.txt.sig");
    const Parts parts = Split(signature);
    const std::string zero(1, '\0');
    const std::string order = zero + "\xFF\xFF\xFF\xFF" + zero + zero + zero + zero +
                              "\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xBC\xE6\xFA\xAD\xA7\x17\x9E\x84\xF3\xB9\xCA\xC2\xFC\x63"
                              "\x25\x51";
    const struct {
        const char* name;
        std::string key;
        std::string signature;
        std::string error; // empty: verified
    } cases[] = {
        // Keys.
        {"as openssl writes it", newKey, signature, ""},
        {"CR LF line ends", Replaced(newKey, "\n", "\r\n"), signature, ""},
        {"blank space around", "\n\t \n" + Replaced(newKey, "\n", " \t\n") + "\n\n", signature, ""},
        {"made again from its DER", Pem(der), signature, ""},
        {"junk, then two keys", "junk " + oldKey + newKey, signature,
         kKeyRefused + "it holds text outside its PEM block (only the block, and blank space around it)"},
        {"two keys", oldKey + newKey, signature,
         kKeyRefused + "it holds more than one PEM block (give one key per file)"},
        {"text after the key", newKey + "release key 2026\n", signature,
         kKeyRefused + "it holds text outside its PEM block (only the block, and blank space around it)"},
        {"a byte-order mark", "\xEF\xBB\xBF" + newKey, signature,
         kKeyRefused + "it starts with a UTF-8 byte-order mark (save it without one)"},
        {"an END line of another label", Replaced(newKey, "END PUBLIC KEY", "END PRIVATE KEY"), signature,
         kKeyRefused + "its END line does not name the label of its BEGIN line"},
        {"no END line", newKey.substr(0, newKey.find("-----END")), signature,
         kKeyRefused + "its PEM block has no END line"},
        {"CR line ends", Replaced(newKey, "\n", "\r"), signature,
         kKeyRefused + "a line ends in a bare CR (only LF or CR LF line ends)"},
        {"explicit curve parameters", dir.Read("explicit.pub"), signature,
         kKeyRefused + "its curve is spelt out, not named (openssl pkey -pubin -ec_param_enc named_curve names it)"},
        {"a hybrid point", dir.Read("hybrid.pub"), signature,
         kKeyRefused +
             "its point is in the hybrid form (openssl pkey -pubin -ec_conv_form uncompressed writes it out whole)"},
        {"a compressed point", dir.Read("compressed.pub"), signature,
         kKeyRefused + "its point is compressed (openssl pkey -pubin -ec_conv_form uncompressed writes it out whole)"},
        {"a point off the curve", Pem(Flipped(der)), signature, kKeyRefused + "its point is not on the curve"},
        {"a private key", dir.Read("private.key"), signature,
         kKeyRefused + "it is a private key, which stays with the release engineer (give its public key)"},
        {"P-384", dir.Read("p384.pub"), signature, kKeyRefused + "it is an EC key on another curve"},
        {"RSA", dir.Read("rsa.pub"), signature, kKeyRefused + "it is an RSA key"},
        {"Ed25519", dir.Read("ed25519.pub"), signature, kKeyRefused + "it is a public key of another algorithm"},
        {"a long length in the key", Pem("\x30\x81" + der.substr(1)), signature,
         kKeyRefused + "its contents do not decode"},
        {"a byte after the key's DER", Pem(der + zero), signature, kKeyRefused + "its contents do not decode"},
        {"a bad Base64 digit", Replaced(newKey, "MFkw", "MF*w"), signature, kKeyRefused + "its contents do not decode"},
        // Signatures, under the key that made them.
        {"the signature made again", newKey, Signature(parts), ""},
        {"r with a needless zero", newKey, Tlv('\x30', Tlv('\x02', zero + parts.r) + Tlv('\x02', parts.s)),
         kRefusedSignature},
        {"a long sequence length", newKey, LongTlv('\x30', Tlv('\x02', parts.r) + Tlv('\x02', parts.s)),
         kRefusedSignature},
        {"a long integer length", newKey, Tlv('\x30', LongTlv('\x02', parts.r) + Tlv('\x02', parts.s)),
         kRefusedSignature},
        {"an indefinite length", newKey,
         std::string("\x30\x80", 2) + Tlv('\x02', parts.r) + Tlv('\x02', parts.s) + zero + zero, kRefusedSignature},
        {"a negative s", newKey, Signature({parts.r, "\xFF" + parts.s}), kRefusedSignature},
        {"r zero", newKey, Signature({zero, parts.s}), kRefusedSignature},
        {"s the curve's order", newKey, Signature({parts.r, order}), kRefusedSignature},
        {"a byte after it", newKey, signature + zero, kRefusedSignature},
        {"a third integer", newKey, Tlv('\x30', Tlv('\x02', parts.r) + Tlv('\x02', parts.s) + Tlv('\x02', "\x01")),
         kRefusedSignature},
        {"s changed", newKey, Signature({parts.r, Flipped(parts.s)}), kUnverified},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Load(c.key, c.signature), c.error);
    }
}
