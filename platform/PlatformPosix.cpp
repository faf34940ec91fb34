// The POSIX side of the platform layer; PlatformWin32.cpp is its twin on
// purpose, each written in its own system's terms. It has no registry: the
// programs link a MachineKeyExists of their own (sim/BenchRegistry.cpp).
#include "Platform.h"
#include "PlatformListing.h"

#include "AsciiText.h"
#include "Utf8.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>
#include <new>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

static_assert(sizeof(wchar_t) == 4, "the POSIX build takes wchar_t as UTF-32");
static_assert(sizeof(off_t) >= 8, "hub images and bench files may lie beyond 4 GiB");

namespace tolvane::platform {

namespace {

// Appends one code point as UTF-8; the caller has already replaced anything
// that cannot be encoded.
void AppendUtf8(std::string& out, std::uint32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Well-formed UTF-8 decoded; every other byte becomes the code point
// stray + byte.
std::wstring Widen(const std::string& text, std::uint32_t stray)
{
    std::wstring out;
    try {
        out.reserve(text.size());
        std::size_t i = 0;
        while (i < text.size()) {
            std::uint32_t cp = 0;
            const std::size_t used = utf8::DecodeAt(text, i, cp);
            if (used == 0) {
                out += static_cast<wchar_t>(stray + static_cast<unsigned char>(text[i]));
                ++i;
            } else {
                out += static_cast<wchar_t>(cp);
                i += used;
            }
        }
    } catch (const std::bad_alloc&) {
        out.clear();
    }
    return out;
}

// A byte that is not UTF-8 in a listed name is kept as one of the code
// points U+DC80..U+DCFF (UTF-8 never yields a lone surrogate, so they cannot
// stand for anything else) and becomes that byte again when the name is
// narrowed: the name that reaches open() is the name on disk.
constexpr std::uint32_t kStrayByteBase = 0xDC00;

bool IsStrayByte(std::uint32_t cp)
{
    return cp >= kStrayByteBase + 0x80 && cp <= kStrayByteBase + 0xFF;
}

} // namespace

std::string HostName()
{
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return std::string();
    return name;
}

std::optional<std::string> EnvironmentValue(const std::string& name)
{
    const char* value = std::getenv(name.c_str());
    if (value == nullptr)
        return std::nullopt;
    return std::string(value);
}

void SetEnvironment(const std::string& name, const std::string& value)
{
    ::setenv(name.c_str(), value.c_str(), 1);
}

void SleepMs(std::uint32_t milliseconds)
{
    timespec remaining{};
    remaining.tv_sec = static_cast<time_t>(milliseconds / 1000);
    remaining.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
    while (remaining.tv_sec > 0 || remaining.tv_nsec > 0) {
        timespec request = remaining;
        if (::nanosleep(&request, &remaining) == 0 || errno != EINTR)
            break;
    }
}

std::wstring WidenAnsi(const std::string& text)
{
    // Names written by older tools in a legacy code page still come through
    // readable and nothing is lost.
    return Widen(text, 0);
}

std::string WideToUtf8(const std::wstring& text)
{
    std::string out;
    try {
        out.reserve(text.size());
        for (const wchar_t wc : text) {
            auto cp = static_cast<std::uint32_t>(wc);
            // A stray byte of a listed name shows as its Latin-1 letter, as
            // the same byte read from any other text does.
            if (IsStrayByte(cp))
                cp -= kStrayByteBase;
            else if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
                cp = 0xFFFD;
            AppendUtf8(out, cp);
        }
    } catch (const std::bad_alloc&) {
        out.clear();
    }
    return out;
}

std::string NameForShow(const std::string& name)
{
    return name;
}

std::string NameForShow(const std::wstring& name)
{
    std::string bytes;
    return NarrowName(name, bytes) ? bytes : WideToUtf8(name);
}

void SetStdoutBinary()
{}

bool IsStderrTerminal()
{
    return ::isatty(2) == 1;
}

const char kImageFolder[] = "./Bin/";
const char kPathSeparator = '/';

namespace {
using ascii::Upper;

bool EndsWithIgnoringCase(const std::string& name, const std::string& suffix)
{
    return name.size() >= suffix.size() && Upper(name.substr(name.size() - suffix.size())) == Upper(suffix);
}
} // namespace

bool ListFolderHere(const std::string& folder, const std::string& extension, std::vector<std::wstring>& names)
{
    names.clear();
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return false;
    std::vector<std::pair<std::string, std::string>> found; // upper-cased, as stored
    try {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (EndsWithIgnoringCase(name, extension))
                found.emplace_back(Upper(name), name);
        }
        ::closedir(dir);
        dir = nullptr;
        // The directory's own order differs between file systems; a fixed one
        // makes the same folder give the same choice on every machine.
        std::sort(found.begin(), found.end());
        for (const auto& entry : found)
            names.push_back(Widen(entry.second, kStrayByteBase));
    } catch (const std::bad_alloc&) {
        if (dir)
            ::closedir(dir);
        names.clear();
        return false;
    }
    return !names.empty();
}

bool NarrowName(const std::wstring& name, std::string& narrow)
{
    narrow.clear();
    for (const wchar_t wc : name) {
        const auto cp = static_cast<std::uint32_t>(wc);
        if (IsStrayByte(cp)) {
            narrow += static_cast<char>(cp - kStrayByteBase);
            continue;
        }
        if (cp == 0 || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
            return false;
        AppendUtf8(narrow, cp);
    }
    return true;
}

} // namespace tolvane::platform
