// The line under the window's controls: what protects the run, and how the
// last one ended, short and with every name escaped.
#include "ProtectionsLine.h"

#include <gtest/gtest.h>

namespace {
WindowOptions Options(std::optional<std::string> history, std::optional<std::string> approved, bool verify)
{
    WindowOptions options;
    options.history = std::move(history);
    options.approved = std::move(approved);
    options.verify = verify;
    return options;
}

HubRecord Hub(unsigned entry)
{
    HubRecord record;
    record.entry = entry;
    return record;
}

HubRecord Programmed(unsigned entry, std::optional<bool> verified = std::nullopt)
{
    HubRecord record = Hub(entry);
    record.libraryResult = 0;
    record.verified = verified;
    return record;
}

HubRecord LibraryResult(unsigned entry, std::int32_t result)
{
    HubRecord record = Hub(entry);
    record.libraryResult = result;
    return record;
}

HubRecord NoImage(unsigned entry)
{
    HubRecord record = Hub(entry);
    record.noImage = true;
    return record;
}

HubRecord Refused(unsigned entry, const std::string& reason)
{
    HubRecord record = Hub(entry);
    record.refused = reason;
    return record;
}

HubRecord Current(unsigned entry)
{
    HubRecord record = Hub(entry);
    record.currentBy = CurrentCheck{};
    return record;
}
} // namespace

TEST(ProtectionsLine, SaysWhatProtectsTheRunOrThatNothingDoes)
{
    const std::string signer = "0123456789abcdef" + std::string(48, 'e');
    const struct {
        const char* name;
        WindowOptions options;
        ListState list;
        std::string line;
    } cases[] = {
        {"nothing", Options(std::nullopt, std::nullopt, false), {}, "No history, no approved list, no verification."},
        {"history", Options("h.jsonl", std::nullopt, false), {}, "History h.jsonl; no approved list; no verification."},
        {"verification",
         Options(std::nullopt, std::nullopt, true),
         {},
         "No history; no approved list; verification on."},
        {"unsigned list",
         Options(std::nullopt, "ok.txt", false),
         {},
         "No history; approved list ok.txt; no verification."},
        {"signed list",
         Options("h", "ok.txt", true),
         {signer, ""},
         "History h; approved list ok.txt, signed by key 0123456789abcdef (SHA-256); verification on."},
        {"list that cannot be used",
         Options(std::nullopt, "gone.txt", false),
         {"", "cannot open gone.txt: No such file"},
         "No history; approved list gone.txt (cannot be used: cannot open gone.txt: No such file); no verification."},
        {"names with controls",
         Options("h\x1b[2J.jsonl", "a\x7fok.txt", false),
         {},
         "History h\\x1B[2J.jsonl; approved list a\\x7Fok.txt; no verification."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ProtectionsSentence(c.options, c.list), c.line);
    }
}

TEST(ProtectionsLine, SaysHowTheRunEndedWithTheRecordsReasons)
{
    const struct {
        const char* name;
        std::vector<HubRecord> hubs;
        std::string sentence;
    } cases[] = {
        {"all programmed", {Programmed(1), Programmed(0)}, "2 of 2 hubs programmed."},
        {"one hub", {Programmed(0)}, "1 of 1 hub programmed."},
        {"no image", {NoImage(2), Programmed(1), Programmed(0)}, "2 of 3 hubs programmed; hub 3: no image fits."},
        {"library result", {LibraryResult(0, 4)}, "0 of 1 hub programmed; hub 1: library result 4."},
        {"refused, its details left out",
         {Refused(1, "contents differ from the approved list: sha256 00ff"), Programmed(0)},
         "1 of 2 hubs programmed; hub 2: refused (contents differ from the approved list)."},
        {"refused for a name with a control",
         {Refused(0, "bad\x07name")},
         "0 of 1 hub programmed; hub 1: refused (bad\\x07name)."},
        {"current", {Current(0)}, "0 of 1 hub programmed; hub 1: already current."},
        {"unreadable image",
         {[] {
             HubRecord record = Hub(0);
             record.unreadable = true;
             return record;
         }()},
         "0 of 1 hub programmed; hub 1: image unreadable."},
        {"not verified", {Programmed(1, true), Programmed(0, false)}, "2 of 2 hubs programmed; hub 1: not verified."},
        {"more than three named",
         {NoImage(4), NoImage(3), NoImage(2), NoImage(1), NoImage(0)},
         "0 of 5 hubs programmed; hub 5: no image fits; hub 4: no image fits; hub 3: no image fits; 2 more."},
        {"no hub", {}, "0 of 0 hubs programmed."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(RunOutcomeSentence(c.hubs), c.sentence);
    }
}

TEST(ProtectionsLine, WideTextKeepsEveryCharacter)
{
    EXPECT_EQ(WideFromUtf8("caf\xc3\xa9 \xe2\x82\xac"), L"caf\u00e9 \u20ac");
    EXPECT_EQ(WideFromUtf8("\xf0\x9d\x84\x9e"), std::wstring(L"\U0001D11E"));
    EXPECT_EQ(WideFromUtf8("a\xff"), L"a\uFFFD");
}
