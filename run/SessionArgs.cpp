#include "SessionArgs.h"

#include <cstring>

const SessionArgInfo kSessionArgInfo[7] = {
    {"--history", "FILE", false, "keep a record of every upgrade in FILE"},
    {"--approved", "FILE", false, "write only the images that FILE (as sha256sum writes it) lists"},
    {"--trust", "KEY", true, "use the list only when KEY signed it; again for each key (needs --approved)"},
    {"--signature", "FILE", false, "the list's signature instead of its name with .sig (needs --trust)"},
    {"--verify", nullptr, false, "after the upgrade, check that every hub shows its new firmware"},
    {"--station", "NAME", false, "the station the history names (else TOLVANE_STATION, else the host)"},
    {"--lot", "LOT", false, "the lot of boards the history names (else TOLVANE_LOT)"},
};

ApprovalOptions SessionArgs::Approval() const
{
    ApprovalOptions approval;
    approval.list = approved.value_or(std::string());
    approval.trust = trust;
    approval.signature = signature.value_or(std::string());
    return approval;
}

namespace {
// Each option's own words for a value that names no file.
std::string NoFileName(const std::string& name)
{
    if (name == "--station")
        return name + ": the station needs a name";
    if (name == "--lot")
        return name + ": the lot needs a text";
    const char* what = name == "--history"    ? "the history"
                       : name == "--approved" ? "the approved list"
                       : name == "--trust"    ? "the key"
                                              : "the signature";
    return name + ": " + what + " needs a file name";
}

std::string FileRuleError(const SessionArgs& args)
{
    if (args.history && args.history->empty())
        return NoFileName("--history");
    if (args.approved && args.approved->empty())
        return NoFileName("--approved");
    for (const std::string& key : args.trust)
        if (key.empty())
            return NoFileName("--trust");
    if (args.signature && args.signature->empty())
        return NoFileName("--signature");
    if (args.station && args.station->empty())
        return NoFileName("--station");
    if (args.lot && args.lot->empty())
        return NoFileName("--lot");
    return std::string();
}

const SessionArgInfo* Find(const std::string& name)
{
    for (const SessionArgInfo& info : kSessionArgInfo)
        if (name == info.name)
            return &info;
    return nullptr;
}

// Where a value goes; false when an option that takes one value has one.
bool Store(const std::string& name, const std::string& value, SessionArgs& args)
{
    if (name == "--trust") {
        args.trust.push_back(value);
        return true;
    }
    std::optional<std::string>& field = name == "--history"    ? args.history
                                        : name == "--approved" ? args.approved
                                        : name == "--station"  ? args.station
                                        : name == "--lot"      ? args.lot
                                                               : args.signature;
    if (field)
        return false;
    field = value;
    return true;
}

// One option at words[at], with its value if it takes one; at then points
// at the option's last word.
bool TakeOne(const std::vector<std::string>& words, std::size_t& at, SessionArgs& args, std::string& error)
{
    const std::string& word = words[at];
    const std::size_t equals = word.find('=');
    const std::string name = word.substr(0, equals);
    const SessionArgInfo* info = word.compare(0, 2, "--") == 0 ? Find(name) : nullptr;
    if (info == nullptr) {
        error = (word.empty() || word[0] != '-' ? "unexpected word \"" : "unknown option \"") + word + "\"";
        return false;
    }
    if (info->value == nullptr) {
        if (equals != std::string::npos) {
            error = name + " takes no value";
            return false;
        }
        if (args.verify) {
            error = RepeatedOptionError(name);
            return false;
        }
        args.verify = true;
        return true;
    }
    std::string value;
    if (equals != std::string::npos) {
        value = word.substr(equals + 1);
    } else if (at + 1 < words.size() && words[at + 1].compare(0, 2, "--") != 0) {
        // A word that reads as an option is the next option, not this one's
        // file: "--history --verify" has lost its file.
        value = words[++at];
    }
    if (value.empty()) {
        error = NoFileName(name);
        return false;
    }
    if (!Store(name, value, args)) {
        error = RepeatedOptionError(name);
        return false;
    }
    return true;
}
} // namespace

std::string SessionArgsError(const SessionArgs& args)
{
    const std::string files = FileRuleError(args);
    if (!files.empty())
        return files;
    // A key or a signature without a list would check nothing.
    if (!args.approved && (!args.trust.empty() || args.signature))
        return (args.trust.empty() ? "--signature" : "--trust") + std::string(" needs --approved");
    // A signature no key can check would be taken for a checked one.
    if (args.signature && args.trust.empty())
        return "--signature needs --trust";
    return std::string();
}

std::string RepeatedOptionError(const std::string& name)
{
    return name + " is given more than once";
}

bool ParseSessionArgs(const std::vector<std::string>& words, SessionArgs& args, std::string& error)
{
    args = SessionArgs();
    for (std::size_t at = 0; at < words.size(); ++at)
        if (!TakeOne(words, at, args, error))
            return false;
    error = SessionArgsError(args);
    return error.empty();
}

std::string SessionArgsUsage()
{
    std::string usage;
    for (const SessionArgInfo& info : kSessionArgInfo)
        usage += UsageRow(info.name, info.value, info.what);
    return usage;
}

std::string UsageRow(const char* name, const char* value, const char* what)
{
    std::string left = std::string("  ") + name + (value ? std::string(" ") + value : "");
    if (left.size() < 20)
        left.resize(20, ' ');
    return left + " " + what + "\n";
}
