#include "ListSignature.h"

#include "SignatureCheck.h"
#include "TextEscape.h"
#include "WholeFile.h"

#include <memory>
#include <vector>

using tolvane::platform::KeyStatus;
using tolvane::platform::Verdict;
using tolvane::platform::VerifyKey;

namespace {
// A PEM public key is a few hundred bytes, a P-256 signature at most 72:
// files far larger are neither, and are not read whole.
constexpr std::uint64_t kLargestKey = 64 * 1024;
constexpr std::uint64_t kLargestSignature = 4 * 1024;

std::string WhatTheKeyIs(KeyStatus status, const std::string& detail)
{
    switch (status) {
    case KeyStatus::NotPem:
        return "it is not PEM (no \"-----BEGIN\" line)";
    case KeyStatus::ByteOrderMark:
        return "it starts with a UTF-8 byte-order mark (save it without one)";
    case KeyStatus::BareCarriageReturn:
        return "a line ends in a bare CR (only LF or CR LF line ends)";
    case KeyStatus::TextOutsideBlock:
        return "it holds text outside its PEM block (only the block, and blank space around it)";
    case KeyStatus::TwoBlocks:
        return "it holds more than one PEM block (give one key per file)";
    case KeyStatus::EndMismatch:
        return "its END line does not name the label of its BEGIN line";
    case KeyStatus::NoEndLine:
        return "its PEM block has no END line";
    case KeyStatus::PrivateKey:
        return "it is a private key, which stays with the release engineer (give its public key)";
    case KeyStatus::Certificate:
        return "it is a certificate (give the public key alone)";
    case KeyStatus::RsaKey:
        return "it is an RSA key";
    case KeyStatus::OtherCurve:
        return "it is an EC key on another curve";
    case KeyStatus::ExplicitCurve:
        return "its curve is spelt out, not named (openssl pkey -pubin -ec_param_enc named_curve names it)";
    case KeyStatus::CompressedKey:
        return "its point is compressed (openssl pkey -pubin -ec_conv_form uncompressed writes it out whole)";
    case KeyStatus::HybridKey:
        return "its point is in the hybrid form (openssl pkey -pubin -ec_conv_form uncompressed writes it out whole)";
    case KeyStatus::OffCurve:
        return "its point is not on the curve";
    case KeyStatus::OtherKey:
        return "it is a public key of another algorithm";
    case KeyStatus::OtherPem:
        return "it holds \"" + EscapeBytes(detail) + "\"";
    case KeyStatus::Undecodable:
        return "its contents do not decode";
    case KeyStatus::Usable:
    case KeyStatus::SystemFailure:
        break;
    }
    return "the system's crypto library failed: " + detail;
}

bool ImportKey(const std::string& path, VerifyKey& key, std::string& error)
{
    std::string text;
    if (!tolvane::platform::ReadWholeFile(path, kLargestKey, text, error)) {
        error = "cannot read the trusted key " + path + ": " + error;
        return false;
    }
    std::string detail;
    const KeyStatus status = key.Import(text, detail);
    if (status == KeyStatus::Usable)
        return true;
    if (status == KeyStatus::SystemFailure)
        error = "cannot check the trusted key " + path + ": " + WhatTheKeyIs(status, detail);
    else
        error = "the trusted key " + path + " is not a P-256 public key: " + WhatTheKeyIs(status, detail);
    return false;
}

bool ReadSignature(const std::string& path, std::string& signature, std::string& error)
{
    if (tolvane::platform::ReadWholeFile(path, kLargestSignature, signature, error))
        return true;
    if (error.compare(0, 12, "larger than ") == 0)
        error = "the signature " + path + " is malformed or truncated (" + error + ")";
    else
        error = "no signature file " + path + ": " + error;
    return false;
}
// A signature that does not verify cannot tell which it is: a key that is
// not trusted signed, or the bytes changed. The keys tried are named, so
// that a wrong --trust shows.
std::string TrustedKeysText(const std::vector<std::string>& paths)
{
    if (paths.size() == 1)
        return "the trusted key " + paths.front();
    std::string names;
    for (const std::string& path : paths)
        names += (names.empty() ? "" : ", ") + path;
    return "any of the trusted keys " + names;
}
} // namespace

std::string SignaturePath(const ApprovalOptions& options)
{
    return options.signature.empty() ? options.list + ".sig" : options.signature;
}

bool CheckListSignature(const ApprovalOptions& options, const std::string& bytes, std::string& signer,
                        std::string& error)
{
    signer.clear();
    if (options.trust.empty()) {
        error = "no trusted key to check the signature with";
        return false;
    }
    // Every key given must be one: a typing error in a key's name would
    // otherwise go unnoticed until the day that key is needed.
    std::vector<std::unique_ptr<VerifyKey>> keys;
    for (const std::string& path : options.trust) {
        keys.push_back(std::make_unique<VerifyKey>());
        if (!ImportKey(path, *keys.back(), error))
            return false;
    }
    const std::string path = SignaturePath(options);
    std::string signature;
    if (!ReadSignature(path, signature, error))
        return false;
    for (const auto& key : keys) {
        switch (key->Verify(bytes, signature)) {
        case Verdict::Verified:
            signer = key->Fingerprint();
            return true;
        case Verdict::Mismatch:
            continue;
        case Verdict::Malformed:
            error = "the signature " + path + " is malformed or truncated";
            return false;
        case Verdict::SystemFailure:
            error = "cannot check the signature " + path + ": the system's crypto library failed";
            return false;
        }
    }
    error = "the signature " + path + " does not verify under " + TrustedKeysText(options.trust) +
            ": another key signed the list, or the list or the signature changed after signing";
    return false;
}
