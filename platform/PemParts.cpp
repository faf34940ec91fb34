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
        // The block starts a line, after blank space at most.
        std::size_t start = at;
        while (start > 0 && (text[start - 1] == ' ' || text[start - 1] == '\t'))
            --start;
        if (start > 0 && text[start - 1] != '\n')
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

namespace {
const std::string kBeginPublicKey = "-----BEGIN PUBLIC KEY-----";
const std::string kEndPublicKey = "-----END PUBLIC KEY-----";

bool StartsWith(const std::string& text, const std::string& start)
{
    return text.compare(0, start.size(), start) == 0;
}

bool Blank(char c)
{
    return c == ' ' || c == '\t';
}

// The line without the blank space around it.
std::string Trimmed(const std::string& line)
{
    std::size_t from = 0;
    std::size_t to = line.size();
    while (from < to && Blank(line[from]))
        ++from;
    while (to > from && Blank(line[to - 1]))
        --to;
    return line.substr(from, to - from);
}

// The value of a Base64 digit, or -1.
int Base64Digit(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    return c == '+' ? 62 : c == '/' ? 63 : -1;
}

// Strict Base64: whole groups of four, '=' only as the last one or two
// characters, and the bits that padding leaves over all zero, so that one
// key has one text.
bool FromBase64(const std::string& text, std::string& bytes)
{
    if (text.empty() || text.size() % 4 != 0)
        return false;
    std::size_t padding = 0;
    while (padding < 2 && text[text.size() - 1 - padding] == '=')
        ++padding;
    std::uint32_t bits = 0;
    int count = 0;
    for (std::size_t i = 0; i < text.size() - padding; ++i) {
        const int digit = Base64Digit(text[i]);
        if (digit < 0)
            return false;
        bits = (bits << 6 | static_cast<std::uint32_t>(digit)) & 0xFFFFFF;
        count += 6;
        if (count >= 8) {
            count -= 8;
            bytes += static_cast<char>((bits >> count) & 0xFF);
        }
    }
    return (bits & ((1u << count) - 1)) == 0;
}

// Where the reader of a key file is.
enum class Place { Before, Inside, After };

// One line of the file, trimmed, read in the place it stands; the place
// after it, or a status other than Usable.
KeyStatus ReadLine(const std::string& line, Place& place, std::string& base64)
{
    static const std::string kBegin = "-----BEGIN ";
    static const std::string kEnd = "-----END ";
    static const std::string kDashes = "-----";
    if (line.empty())
        return KeyStatus::Usable;
    switch (place) {
    case Place::Before:
        if (line != kBeginPublicKey)
            return KeyStatus::TextOutsideBlock;
        place = Place::Inside;
        return KeyStatus::Usable;
    case Place::Inside:
        if (StartsWith(line, kEnd)) {
            place = Place::After;
            if (line == kEndPublicKey)
                return KeyStatus::Usable;
            const bool aLabel = line.size() >= kEnd.size() + kDashes.size() &&
                                line.compare(line.size() - kDashes.size(), kDashes.size(), kDashes) == 0;
            return aLabel ? KeyStatus::EndMismatch : KeyStatus::TextOutsideBlock;
        }
        if (StartsWith(line, kDashes))
            return KeyStatus::NoEndLine;
        base64 += line;
        return KeyStatus::Usable;
    case Place::After:
        break;
    }
    return StartsWith(line, kBegin) ? KeyStatus::TwoBlocks : KeyStatus::TextOutsideBlock;
}
} // namespace

KeyStatus PublicKeyDer(const std::string& text, std::string& der, std::string& detail)
{
    der.clear();
    if (StartsWith(text, "\xEF\xBB\xBF"))
        return KeyStatus::ByteOrderMark;
    const KeyStatus byLabel = StatusOfPemText(text, detail);
    if (byLabel != KeyStatus::Usable)
        return byLabel;
    Place place = Place::Before;
    std::string base64;
    for (std::size_t from = 0; from < text.size();) {
        std::size_t end = text.find('\n', from);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(from, end - from);
        from = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.find('\r') != std::string::npos)
            return KeyStatus::BareCarriageReturn;
        const KeyStatus status = ReadLine(Trimmed(line), place, base64);
        if (status != KeyStatus::Usable)
            return status;
    }
    if (place != Place::After)
        return place == Place::Inside ? KeyStatus::NoEndLine : KeyStatus::TextOutsideBlock;
    return FromBase64(base64, der) ? KeyStatus::Usable : KeyStatus::Undecodable;
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
