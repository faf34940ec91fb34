// The windows' command line: the options they know, and every other word
// ignored as before.
#include "WindowOptions.h"

#include <gtest/gtest.h>

TEST(WindowOptions, HistoryIsTakenInEitherFormAndOtherWordsAreIgnored)
{
    const struct {
        std::vector<std::string> args;
        std::optional<std::string> history;
    } cases[] = {
        {{}, std::nullopt},
        {{"/s", "extra"}, std::nullopt},
        {{"--history", "h.jsonl"}, "h.jsonl"},
        {{"--history=C:\\logs\\h.jsonl"}, "C:\\logs\\h.jsonl"},
        {{"-x", "--history", "a", "--history", "b"}, "b"},
        {{"--history"}, ""},
        {{"--history="}, ""},
        {{"--historyfile", "h"}, std::nullopt},
        {{"--history", "--history"}, "--history"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        EXPECT_EQ(ParseWindowOptions(c.args).history, c.history);
    }
}

TEST(WindowOptions, BothFilesAreTakenSideBySide)
{
    const WindowOptions options = ParseWindowOptions({"--approved=ok.txt", "x", "--history", "h.jsonl"});
    EXPECT_EQ(options.approved, "ok.txt");
    EXPECT_EQ(options.history, "h.jsonl");
    EXPECT_EQ(ParseWindowOptions({"--history", "h"}).approved, std::nullopt);
}

TEST(WindowOptions, VerifyIsAFlagWithoutAFile)
{
    const struct {
        std::vector<std::string> args;
        bool verify;
        std::optional<std::string> history;
    } cases[] = {
        {{}, false, std::nullopt},
        {{"--verify"}, true, std::nullopt},
        {{"--verify", "h.jsonl"}, true, std::nullopt},
        {{"--history", "h.jsonl", "--verify"}, true, "h.jsonl"},
        {{"--history", "--verify"}, false, "--verify"},
        {{"--verify=yes"}, false, std::nullopt},
        {{"--verifying"}, false, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const WindowOptions options = ParseWindowOptions(c.args);
        EXPECT_EQ(options.verify, c.verify);
        EXPECT_EQ(options.history, c.history);
    }
}

TEST(WindowOptions, EveryTrustedKeyIsKeptAndTheSignatureTakesTheLast)
{
    const struct {
        std::vector<std::string> args;
        std::vector<std::string> trust;
        std::optional<std::string> signature;
    } cases[] = {
        {{"--trust", "old.pub", "--trust=new.pub"}, {"old.pub", "new.pub"}, std::nullopt},
        {{"--trust", "a.pub", "x", "--signature", "s1", "--signature=s2"}, {"a.pub"}, "s2"},
        {{"--trust=", "--trust"}, {"", ""}, std::nullopt},
        {{"--trust", "--signature", "s"}, {"--signature"}, std::nullopt},
        {{"--trusted", "k", "--sig", "s"}, {}, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const WindowOptions options = ParseWindowOptions(c.args);
        EXPECT_EQ(options.trust, c.trust);
        EXPECT_EQ(options.signature, c.signature);
    }
}
