// Any bytes as a trusted key's file, as a list's signature and as the r or
// s that crypt32 hands on: the key is refused or imported with a fingerprint,
// and imported only when the shared judgement took it; a signature never
// verifies over bytes its key did not sign, and is malformed exactly when
// the shared judgement refuses it; the pieces written by hand keep within
// their lengths.
#include "FuzzSupport.h"
#include "KeyParts.h"
#include "PemParts.h"
#include "SignatureCheck.h"
#include "SignatureParts.h"

#include <cstring>
#include <string>

using namespace tolvane::platform;

namespace {
// A P-256 public key as `openssl pkey -pubout` writes it; its private half
// is gone, so nothing the fuzzer finds can be signed with it.
const char kKey[] = "-----BEGIN PUBLIC KEY-----\n"
                    "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAERSJ8N1jh2lpdUusETfPVUwECoxQM\n"
                    "MOJCS6H8BRXAqmJS3yBBphVUn5Pix6pZXtyz0RWiz9ityblCJ99KmKtsZQ==\n"
                    "-----END PUBLIC KEY-----\n";

void KeyFile(const std::string& text)
{
    std::string label;
    if (FirstPemLabel(text, label))
        FUZZ_CHECK(label.size() <= 64 && text.find("-----BEGIN " + label + "-----") != std::string::npos);
    VerifyKey key;
    std::string detail;
    const KeyStatus status = key.Import(text, detail);
    FUZZ_CHECK((status == KeyStatus::Usable) == (key.Fingerprint().size() == 64));
    std::string der;
    P256Point point;
    const bool judgedUsable =
        PublicKeyDer(text, der, detail) == KeyStatus::Usable && JudgePublicKeyInfo(der, point) == KeyStatus::Usable;
    FUZZ_CHECK(judgedUsable == (status == KeyStatus::Usable));
    if (status == KeyStatus::Usable)
        FUZZ_CHECK(key.Verify("list", "") == Verdict::Malformed);
}

void Signature(const VerifyKey& key, const std::string& signature)
{
    const Verdict verdict = key.Verify("an approved list\n", signature);
    FUZZ_CHECK(verdict != Verdict::Verified && verdict != Verdict::SystemFailure);
    RawSignature raw;
    FUZZ_CHECK((verdict == Verdict::Malformed) == !JudgeSignature(signature, raw));
}

void Integer(const std::uint8_t* data, std::size_t size)
{
    std::uint8_t out[33];
    std::memset(out, 0xEE, sizeof out);
    if (!BigEndianInto(data, size, out, 32)) {
        FUZZ_CHECK(out[0] == 0xEE);
        return;
    }
    FUZZ_CHECK(out[32] == 0xEE);
    for (std::size_t i = 0; i < 32; ++i)
        FUZZ_CHECK(out[31 - i] == (i < size ? data[i] : 0));
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static VerifyKey* const key = [] {
        auto* made = new VerifyKey;
        std::string detail;
        FUZZ_CHECK(made->Import(kKey, detail) == KeyStatus::Usable);
        return made;
    }();
    if (size == 0)
        return 0;
    // The first byte chooses what the rest is.
    const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
    switch (data[0] % 3) {
    case 0:
        KeyFile(rest);
        break;
    case 1:
        Signature(*key, rest);
        break;
    default:
        Integer(data + 1, size - 1);
        break;
    }
    return 0;
}
