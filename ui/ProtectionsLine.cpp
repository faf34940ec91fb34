#include "ProtectionsLine.h"

#include "Platform.h"
#include "TextEscape.h"
#include "Utf8.h"

namespace {
// A file name from the command line, as people may see it.
std::string Shown(const std::string& name)
{
    return EscapeBytes(tolvane::platform::NameForShow(name));
}

std::string ListPart(const WindowOptions& options, const ListState& list)
{
    if (!options.approved)
        return "no approved list";
    std::string part = "approved list " + Shown(*options.approved);
    if (!list.error.empty())
        return part + " (cannot be used: " + Shown(list.error) + ")";
    if (!list.signer.empty())
        part += ", signed by key " + list.signer.substr(0, kShortFingerprint) + " (SHA-256)";
    return part;
}

// Why a hub was not programmed, in a few words: a refusal's reason up to
// its details.
std::string Reason(const HubRecord& record)
{
    switch (record.Outcome()) {
    case HubOutcome::Current:
        return "already current";
    case HubOutcome::NoImage:
        return "no image fits";
    case HubOutcome::Refused:
        return "refused (" + EscapeBytes(record.refused->substr(0, record.refused->find(": "))) + ")";
    case HubOutcome::Failed:
        if (record.libraryResult)
            return "library result " + std::to_string(*record.libraryResult);
        return "image unreadable";
    case HubOutcome::Program:
    case HubOutcome::Programmed:
        break;
    }
    return "not written";
}
} // namespace

std::string ProtectionsSentence(const WindowOptions& options, const ListState& list)
{
    if (!options.history && !options.approved && !options.verify)
        return "No history, no approved list, no verification.";
    const std::string history = options.history ? "History " + Shown(*options.history) : "No history";
    return history + "; " + ListPart(options, list) + "; " + (options.verify ? "verification on." : "no verification.");
}

std::string RunOutcomeSentence(const std::vector<HubRecord>& hubs)
{
    constexpr std::size_t kNamed = 3;
    std::size_t programmed = 0;
    std::size_t named = 0;
    std::size_t unnamed = 0;
    std::string details;
    for (const HubRecord& record : hubs) {
        if (record.Outcome() == HubOutcome::Programmed) {
            ++programmed;
            // A verification that failed undoes the success.
            if (!record.verified || *record.verified)
                continue;
        }
        if (named == kNamed) {
            ++unnamed;
            continue;
        }
        ++named;
        const std::string why = record.Outcome() == HubOutcome::Programmed ? "not verified" : Reason(record);
        details += "; hub " + std::to_string(record.entry + 1) + ": " + why;
    }
    if (unnamed > 0)
        details += "; " + std::to_string(unnamed) + " more";
    const std::string hubWord = hubs.size() == 1 ? " hub" : " hubs";
    return std::to_string(programmed) + " of " + std::to_string(hubs.size()) + hubWord + " programmed" + details + ".";
}

std::wstring WideFromUtf8(const std::string& text)
{
    std::wstring wide;
    for (std::size_t i = 0; i < text.size();) {
        std::uint32_t cp = 0;
        std::size_t length = utf8::DecodeAt(text, i, cp);
        if (length == 0) {
            cp = 0xFFFD;
            length = 1;
        }
        i += length;
        if (sizeof(wchar_t) == 2 && cp > 0xFFFF) {
            cp -= 0x10000;
            wide += static_cast<wchar_t>(0xD800 + (cp >> 10));
            wide += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
        } else {
            wide += static_cast<wchar_t>(cp);
        }
    }
    return wide;
}
