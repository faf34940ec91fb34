// Any bytes as an approved list. A list is read whole or refused whole, with
// the line at fault or its encoding named; a UTF-8 byte-order mark in front
// changes nothing; a name it approves holds no raw control character; and
// the names it reports are safe to show.
#include "ApprovedList.h"
#include "FuzzSupport.h"
#include "ShownText.h"
#include "TextEscape.h"

#include <string>

namespace {
bool HoldsControlOtherThanLineEnds(const std::string& name)
{
    for (std::size_t at = 0; at < name.size();) {
        std::uint32_t cp = 0;
        const std::size_t length = utf8::DecodeAt(name, at, cp);
        if (length != 0 && cp != '\n' && cp != '\r' && (cp < 0x20 || (cp >= 0x7F && cp <= 0x9F)))
            return true;
        at += length == 0 ? 1 : length;
    }
    return false;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    ApprovedList list;
    std::string error;
    const bool read = list.Parse(bytes, error);
    if (read) {
        FUZZ_CHECK(error.empty());
        // No approved name holds a raw control: only sha256sum's escapes
        // give a name a line end.
        for (const ApprovedList::Listed& entry : list.Entries())
            FUZZ_CHECK(!HoldsControlOtherThanLineEnds(entry.name));
    } else {
        FUZZ_CHECK(error.rfind("line ", 0) == 0 || error.rfind("the list is in UTF-16 (", 0) == 0 ||
                   error.rfind("the list is in UTF-32 (", 0) == 0 || error.rfind("the list starts with a NUL", 0) == 0);
        FUZZ_CHECK(list.Size() == 0);
        FUZZ_CHECK(IsSafeToShow(error));
    }

    std::size_t start = 0;
    std::string ignored;
    if (ApprovedList::TextStart(bytes, start, ignored) && start == 0) {
        ApprovedList marked;
        std::string markedError;
        FUZZ_CHECK(marked.Parse("\xEF\xBB\xBF" + bytes, markedError) == read);
        FUZZ_CHECK(marked.Size() == list.Size() && markedError == error);
    }

    FUZZ_CHECK(IsSafeToShow(EscapeBytes(bytes)));
    const std::string data8 = EscapeBytes(bytes, EscapeFor::Data);
    FUZZ_CHECK(IsUtf8(data8) && data8.find('\x1B') == std::string::npos);
    return 0;
}
