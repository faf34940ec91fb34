#include "ApprovedList.h"

#include "AsciiText.h"
#include "Platform.h"
#include "TextEscape.h"
#include "Utf8.h"
#include "WholeFile.h"

namespace {
constexpr std::size_t kHexDigits = 64;
// A list of a few thousand images is a few hundred kilobytes; anything far
// larger is not a list, and is not read whole into memory.
constexpr std::uint64_t kLargestList = 16 * 1024 * 1024;

std::string Key(const std::string& name)
{
#ifdef _WIN32
    return ascii::Upper(name);
#else
    return name;
#endif
}

bool IsHex(char c)
{
    return ascii::HexDigitValue(c) >= 0;
}

// sha256sum's escaped names: "\\" for a backslash, "\n" for a line feed
// and "\r" for a carriage return. False for any other escape.
bool Unescape(const std::string& name, std::string& plain)
{
    plain.clear();
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] != '\\') {
            plain += name[i];
            continue;
        }
        if (++i == name.size())
            return false;
        const char c = name[i];
        if (c != '\\' && c != 'n' && c != 'r')
            return false;
        plain += c == '\\' ? '\\' : c == 'n' ? '\n' : '\r';
    }
    return true;
}

// A byte that a list's first character can be: printable ASCII (a hex
// digit or a backslash) or a line end of an empty first line.
bool TextByte(unsigned char byte)
{
    return (byte >= 0x20 && byte < 0x7F) || byte == '\n' || byte == '\r' || byte == '\t';
}

// UTF-16 by its mark, or by the zero byte that a list's first character has
// beside it.
const char* Utf16Order(const std::string& bytes)
{
    if (bytes.size() < 2)
        return nullptr;
    const unsigned char first = static_cast<unsigned char>(bytes[0]);
    const unsigned char second = static_cast<unsigned char>(bytes[1]);
    if ((first == 0xFF && second == 0xFE) || (TextByte(first) && second == 0))
        return "little-endian";
    if ((first == 0xFE && second == 0xFF) || (first == 0 && TextByte(second)))
        return "big-endian";
    return nullptr;
}

// UTF-32 by its mark, or by the three zero bytes beside a list's first
// character. Asked before UTF-16, whose little-endian mark starts UTF-32's.
const char* Utf32Order(const std::string& bytes)
{
    if (bytes.size() < 4)
        return nullptr;
    const auto byte = [&bytes](std::size_t at) { return static_cast<unsigned char>(bytes[at]); };
    if (byte(0) == 0xFF && byte(1) == 0xFE && byte(2) == 0 && byte(3) == 0)
        return "little-endian";
    if (byte(0) == 0 && byte(1) == 0 && byte(2) == 0xFE && byte(3) == 0xFF)
        return "big-endian";
    if (TextByte(byte(0)) && byte(1) == 0 && byte(2) == 0 && byte(3) == 0)
        return "little-endian";
    if (byte(0) == 0 && byte(1) == 0 && byte(2) == 0 && TextByte(byte(3)))
        return "big-endian";
    return nullptr;
}

// A control character hides what follows it on a terminal (a carriage return
// sends the cursor back over the hash), so a list could show one hash and
// approve another. C1 controls count where the name is UTF-8; other bytes
// above 0x7F may be a legacy code page's letters.
bool HoldsControl(const std::string& name)
{
    for (std::size_t at = 0; at < name.size();) {
        std::uint32_t codePoint = 0;
        const std::size_t length = utf8::DecodeAt(name, at, codePoint);
        if (length != 0 && (codePoint < 0x20 || (codePoint >= 0x7F && codePoint <= 0x9F)))
            return true;
        at += length == 0 ? 1 : length;
    }
    return false;
}

std::string LineError(unsigned number, const std::string& what)
{
    return "line " + std::to_string(number) + ": " + what;
}
} // namespace

std::string ApprovedList::LastPart(const std::string& path)
{
#ifdef _WIN32
    const std::size_t cut = path.find_last_of("/\\");
#else
    const std::size_t cut = path.find_last_of('/');
#endif
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

bool ApprovedList::ReadBytes(const std::string& path, std::string& bytes, std::string& error)
{
    if (tolvane::platform::ReadWholeFile(path, kLargestList, bytes, error))
        return true;
    if (error.compare(0, 12, "larger than ") == 0)
        error += ", not a list of images";
    return false;
}

bool ApprovedList::Load(const std::string& path, std::string& error)
{
    std::string text;
    return ReadBytes(path, text, error) && Parse(text, error);
}

bool ApprovedList::TextStart(const std::string& bytes, std::size_t& start, std::string& error)
{
    static const char kUtf8Mark[] = "\xEF\xBB\xBF";
    start = bytes.compare(0, 3, kUtf8Mark) == 0 ? 3 : 0;
    if (start == 0) {
        const char* order32 = Utf32Order(bytes);
        const char* order = order32 ? order32 : Utf16Order(bytes);
        if (order) {
            error = std::string("the list is in ") + (order32 ? "UTF-32 (" : "UTF-16 (") + order +
                    "); save it as UTF-8, as sha256sum writes it (in PowerShell: Out-File -Encoding utf8)";
            return false;
        }
    }
    if (start < bytes.size() && bytes[start] == '\0') {
        error = "the list starts with a NUL byte: it is no text, and sha256sum writes text";
        return false;
    }
    return true;
}

bool ApprovedList::Parse(const std::string& text, std::string& error)
{
    m_hashes.clear();
    std::size_t first = 0;
    if (!TextStart(text, first, error))
        return false;
    unsigned number = 0;
    for (std::size_t start = first; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!AddLine(line, number, error)) {
            m_hashes.clear(); // a refused list approves nothing, not its first lines
            return false;
        }
    }
    return true;
}

bool ApprovedList::AddLine(const std::string& line, unsigned number, std::string& error)
{
    // An empty line (an editor's last one) lists nothing.
    if (line.empty())
        return true;
    const bool escaped = line[0] == '\\';
    const std::size_t hexAt = escaped ? 1 : 0;
    std::size_t digits = 0;
    while (hexAt + digits < line.size() && IsHex(line[hexAt + digits]))
        ++digits;
    const std::size_t nameAt = hexAt + kHexDigits + 2;
    if (digits != kHexDigits || line.size() <= nameAt || line[nameAt - 2] != ' ' ||
        (line[nameAt - 1] != ' ' && line[nameAt - 1] != '*')) {
        error = LineError(number, "not \"SHA256  NAME\" or \"SHA256 *NAME\" with 64 hex digits");
        return false;
    }
    std::string name = line.substr(nameAt);
    // Checked as written: the escapes "\\n" and "\\r" stand for line ends
    // that a terminal does not obey, so they name a file like any other.
    if (HoldsControl(name)) {
        error = LineError(number, "the name holds a control character: " + EscapeBytes(name));
        return false;
    }
    if (escaped && !Unescape(line.substr(nameAt), name)) {
        error = LineError(number, "the name holds a backslash that sha256sum does not write");
        return false;
    }
    const std::string part = LastPart(name);
    if (part.empty()) {
        error = LineError(number, "the name ends in a separator");
        return false;
    }
    const std::string sha256 = ascii::Lower(line.substr(hexAt, kHexDigits));
    const auto placed = m_hashes.emplace(Key(part), Entry{sha256, number, name});
    if (!placed.second && placed.first->second.sha256 != sha256) {
        error = LineError(number,
                          EscapeBytes(part) + " has another hash on line " + std::to_string(placed.first->second.line));
        return false;
    }
    return true;
}

std::vector<ApprovedList::Listed> ApprovedList::Entries() const
{
    std::map<unsigned, Listed> byLine;
    for (const auto& [key, entry] : m_hashes)
        byLine[entry.line] = Listed{entry.line, entry.name, entry.sha256};
    std::vector<Listed> entries;
    for (auto& [line, listed] : byLine)
        entries.push_back(std::move(listed));
    return entries;
}

const std::string* ApprovedList::HashOf(const std::string& path) const
{
    const auto found = m_hashes.find(Key(LastPart(path)));
    return found == m_hashes.end() ? nullptr : &found->second.sha256;
}
