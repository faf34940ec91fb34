// The windows' command line: the session's options under the rules every
// front end shares, and every other word refused with a message that names it.
#include "WindowOptions.h"

#include <gtest/gtest.h>

namespace {
WindowOptions Parsed(const std::vector<std::string>& args)
{
    WindowOptions options;
    std::string error;
    EXPECT_TRUE(ParseWindowOptions(args, options, error)) << error;
    EXPECT_EQ(error, "");
    return options;
}

std::string Refusal(const std::vector<std::string>& args)
{
    WindowOptions options;
    std::string error;
    EXPECT_FALSE(ParseWindowOptions(args, options, error));
    return error;
}
} // namespace

TEST(WindowOptions, EveryOptionIsTakenInEitherForm)
{
    const struct {
        std::vector<std::string> args;
        std::optional<std::string> history;
        std::optional<std::string> approved;
        std::vector<std::string> trust;
        std::optional<std::string> signature;
        bool verify;
    } cases[] = {
        {{}, std::nullopt, std::nullopt, {}, std::nullopt, false},
        {{"--history", "h.jsonl"}, "h.jsonl", std::nullopt, {}, std::nullopt, false},
        {{"--history=C:\\logs\\h.jsonl"}, "C:\\logs\\h.jsonl", std::nullopt, {}, std::nullopt, false},
        {{"--approved=ok.txt", "--history", "h"}, "h", "ok.txt", {}, std::nullopt, false},
        {{"--verify", "--approved", "ok.txt"}, std::nullopt, "ok.txt", {}, std::nullopt, true},
        {{"--approved", "ok.txt", "--trust", "old.pub", "--trust=new.pub"},
         std::nullopt,
         "ok.txt",
         {"old.pub", "new.pub"},
         std::nullopt,
         false},
        {{"--approved", "ok.txt", "--trust", "k", "--signature=s.sig"}, std::nullopt, "ok.txt", {"k"}, "s.sig", false},
        // A file may hold "=" or begin with one dash.
        {{"--history", "-h=1.jsonl"}, "-h=1.jsonl", std::nullopt, {}, std::nullopt, false},
        {{"--history=--x"}, "--x", std::nullopt, {}, std::nullopt, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const WindowOptions options = Parsed(c.args);
        EXPECT_EQ(options.history, c.history);
        EXPECT_EQ(options.approved, c.approved);
        EXPECT_EQ(options.trust, c.trust);
        EXPECT_EQ(options.signature, c.signature);
        EXPECT_EQ(options.verify, c.verify);
    }
}

TEST(WindowOptions, WordsThatAreNotUnderstoodAreRefusedByName)
{
    const struct {
        std::vector<std::string> args;
        std::string error;
    } cases[] = {
        {{"--histroy", "h.jsonl"}, "unknown option \"--histroy\""},
        {{"--history", "h.jsonl", "--aproved", "ok.txt"}, "unknown option \"--aproved\""},
        {{"--historyfile", "h"}, "unknown option \"--historyfile\""},
        {{"-x"}, "unknown option \"-x\""},
        {{"/s"}, "unexpected word \"/s\""},
        {{"--verify", "h.jsonl"}, "unexpected word \"h.jsonl\""},
        {{""}, "unexpected word \"\""},
        {{"--verify=yes"}, "--verify takes no value"},
        {{"--verify", "--verify"}, "--verify is given more than once"},
        {{"--history"}, "--history: the history needs a file name"},
        {{"--history="}, "--history: the history needs a file name"},
        {{"--history", "--verify"}, "--history: the history needs a file name"},
        {{"--approved"}, "--approved: the approved list needs a file name"},
        {{"--approved", "a", "--trust="}, "--trust: the key needs a file name"},
        {{"--approved", "a", "--trust", "k", "--signature"}, "--signature: the signature needs a file name"},
        {{"--history", "a", "--history", "b"}, "--history is given more than once"},
        {{"--approved=a", "--approved=a"}, "--approved is given more than once"},
        {{"--approved", "a", "--trust", "k", "--signature", "s", "--signature", "s"},
         "--signature is given more than once"},
        {{"--trust", "k"}, "--trust needs --approved"},
        {{"--signature", "s"}, "--signature needs --approved"},
        {{"--approved", "a", "--signature", "s"}, "--signature needs --trust"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        EXPECT_EQ(Refusal(c.args), c.error);
    }
}

TEST(WindowOptions, TheRefusalNamesTheWordEscapedAndListsEveryOption)
{
    const std::string text = RefusedCommandLineText("unknown option \"--histroy\x1b[2J\"");
    EXPECT_EQ(text.rfind("Tolvane does not understand its command line: unknown option \"--histroy\\x1B[2J\".\n", 0),
              0u)
        << text;
    EXPECT_EQ(text.find('\x1b'), std::string::npos);
    std::vector<std::pair<std::string, std::string>> options{{"--loop", ""}, {"--boards", "N"}};
    for (const SessionArgInfo& info : kSessionArgInfo)
        options.emplace_back(info.name, info.value ? info.value : "");
    // Each option in the usage line and in a row of its own, whose text
    // begins where every other row's does.
    const std::string usage = text.substr(0, text.find("\n  --"));
    for (const auto& [name, value] : options) {
        const std::string shown = name + (value.empty() ? "" : " " + value);
        EXPECT_NE(usage.find("[" + shown), std::string::npos) << name << "\n" << usage;
        const std::size_t row = text.find("\n  " + shown + " ");
        ASSERT_NE(row, std::string::npos) << name << "\n" << text;
        EXPECT_EQ(text.find_first_not_of(' ', row + 3 + shown.size()) - row, 22u) << name << "\n" << text;
    }
    const std::string end = "\nNo hub has been scanned or upgraded.\n";
    EXPECT_EQ(text.substr(text.size() - end.size()), end);
}
