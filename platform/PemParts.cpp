#include "PemParts.h"

namespace tolvane::platform {

namespace {
// A label longer than any that the PEM standard names is not a label.
constexpr std::size_t kLongestLabel = 64;
} // namespace

bool FirstPemLabel(const std::string& text, std::string& label)
{
    static const std::string kBegin = "-----BEGIN ";
    static const std::string kDashes = "-----";
    for (std::size_t at = text.find(kBegin); at != std::string::npos; at = text.find(kBegin, at + 1)) {
        // The block starts a line.
        if (at > 0 && text[at - 1] != '\n')
            continue;
        const std::size_t from = at + kBegin.size();
        const std::size_t end = text.find(kDashes, from);
        if (end == std::string::npos || end - from > kLongestLabel)
            return false;
        label = text.substr(from, end - from);
        for (const char c : label)
            if (c == '\n' || c == '\r')
                return false;
        return true;
    }
    return false;
}

KeyStatus StatusOfPemLabel(const std::string& label)
{
    const auto endsWith = [&label](const std::string& end) {
        return label.size() >= end.size() && label.compare(label.size() - end.size(), end.size(), end) == 0;
    };
    if (label == "PUBLIC KEY")
        return KeyStatus::Usable;
    if (label == "RSA PUBLIC KEY")
        return KeyStatus::RsaKey;
    // "PRIVATE KEY", "EC PRIVATE KEY", "ENCRYPTED PRIVATE KEY" and the like.
    if (endsWith("PRIVATE KEY"))
        return KeyStatus::PrivateKey;
    if (endsWith("CERTIFICATE"))
        return KeyStatus::Certificate;
    return KeyStatus::OtherPem;
}

KeyStatus StatusOfPemText(const std::string& text, std::string& detail)
{
    std::string label;
    if (!FirstPemLabel(text, label))
        return KeyStatus::NotPem;
    const KeyStatus byLabel = StatusOfPemLabel(label);
    if (byLabel == KeyStatus::OtherPem)
        detail = label;
    return byLabel;
}

bool BigEndianInto(const std::uint8_t* littleEndian, std::size_t size, std::uint8_t* out, std::size_t width)
{
    // High-order zero bytes (a sign byte among them) carry no value.
    while (size > 0 && littleEndian[size - 1] == 0)
        --size;
    if (size == 0 || size > width)
        return false;
    for (std::size_t i = 0; i < width; ++i)
        out[width - 1 - i] = i < size ? littleEndian[i] : 0;
    return true;
}

} // namespace tolvane::platform
