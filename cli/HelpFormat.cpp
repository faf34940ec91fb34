#include "HelpFormat.h"

#include <map>
#include <sstream>

namespace {
const char kUsageHead[] = "Usage: ";
const char kOutputLost[] = "     or the standard output could not be written\n";
const char kUsageError[] = "  2  usage error\n";

const std::map<std::string, std::string>& ExitTables()
{
    static const std::map<std::string, std::string> tables = {
        {"scan", std::string("  0  the scan passed\n"
                             "  1  the scan failed (the JSON report's failedStep names where),\n") +
                     kOutputLost + kUsageError},
        {"upgrade", std::string("  0  every hub was programmed (and, with --verify, verified)\n"
                                "  1  the scan failed, a hub failed or was refused, the history was not written,\n") +
                        kOutputLost +
                        "  2  usage error, or the approved list cannot be read, has a bad line or (with\n"
                        "     --trust) no signature that verifies under a trusted key\n"
                        "  3  no hub failed, at least one was already current\n"
                        "  4  --verify: a programmed hub does not show its new firmware, or is gone\n"
                        "  128+N  interrupted by signal N (130 Ctrl-C, 143 SIGTERM, 129 SIGHUP or a closed\n"
                        "     console); the hub being written was finished, no later hub started\n"},
        {"plan", std::string("  0  the scan passed and every hub would be programmed\n"
                             "  1  the scan failed, a hub would fail or be refused,\n") +
                     kOutputLost +
                     "  2  usage error, or the approved list cannot be read, has a bad line or (with\n"
                     "     --trust) no signature that verifies under a trusted key\n"
                     "  3  no hub would fail, at least one is already current\n"},
        {"inspect", std::string("  0  every image is legal\n"
                                "  1  an image could not be opened or is not legal,\n") +
                        kOutputLost + kUsageError},
        {"hubs", std::string("  0  the hubs were listed\n"
                             "  1  the hubs could not be read,\n") +
                     kOutputLost + kUsageError},
        {"history", std::string("  0  no hub may hold incomplete or unverified firmware\n"
                                "  1  a write has no result, failed, or was not verified,\n") +
                        kOutputLost + "  2  usage error, or the file cannot be read\n"},
        {"approved", "  0  the list can be used under the keys given (entries that match no image in\n"
                     "     the image folder are named, and the list is still usable)\n"
                     "  1  the standard output could not be written\n"
                     "  2  usage error, or the list cannot be used\n"},
    };
    return tables;
}

bool StartsWith(const std::string& text, const std::string& start)
{
    return text.compare(0, start.size(), start) == 0;
}

// A usage line of the synopsis for command: the program's name, its options
// in brackets, then the command's name as a word.
bool NamesCommand(const std::string& line, const std::string& command)
{
    std::istringstream words(line);
    std::string word;
    if (!(words >> word) || word != "tolvane-cli")
        return false;
    while (words >> word) {
        if (word == command)
            return true;
        if (word.front() != '[' && word.back() != ']')
            return false;
    }
    return false;
}
} // namespace

std::string CommandUsage(const std::string& synopsis, const std::string& command)
{
    const std::string indent(sizeof kUsageHead - 1, ' ');
    std::istringstream lines(synopsis);
    std::string usage;
    bool continuing = false;
    for (std::string line; std::getline(lines, line);) {
        const bool head = StartsWith(line, kUsageHead) ||
                          (StartsWith(line, indent) && line.size() > indent.size() && line[indent.size()] != ' ');
        if (!StartsWith(line, kUsageHead) && !StartsWith(line, indent))
            break; // the usage block has ended
        const std::string text = line.substr(indent.size());
        if (head) {
            continuing = NamesCommand(text, command);
            if (continuing)
                usage += (usage.empty() ? kUsageHead : indent) + text + "\n";
        } else if (continuing) {
            usage += line + "\n";
        }
    }
    return usage;
}

std::string CommandExitStatus(const std::string& command)
{
    const auto table = ExitTables().find(command);
    return table == ExitTables().end() ? std::string() : "Exit status:\n" + table->second;
}

std::string HelpFormat::make_help(const CLI::App* app, std::string name, CLI::AppFormatMode mode) const
{
    if (mode == CLI::AppFormatMode::Sub)
        return make_expanded(app);
    const CLI::App* top = app;
    while (top->get_parent())
        top = top->get_parent();
    std::string out;
    if (app == top) {
        // The synopsis is the top help's usage block and description.
        out = app->get_description() + "\n" + make_groups(app, mode) + make_subcommands(app, mode);
        return out + "\n" + make_footer(app);
    }
    std::string usage = CommandUsage(top->get_description(), app->get_name());
    if (usage.empty())
        usage = kUsageHead + name + " [OPTIONS]\n";
    out = usage + "\n" + app->get_description() + "\n" + make_positionals(app) + make_groups(app, mode);
    const std::string exits = CommandExitStatus(app->get_name());
    return out + "\n" + (exits.empty() ? make_footer(top) : exits);
}

std::string HelpFormat::make_option_opts(const CLI::Option* option) const
{
    // The parser adds its checks to the value's name after a colon.
    if (option->get_type_size() == 0 || option->get_positional())
        return std::string();
    const std::string type = option->get_type_name();
    return " " + type.substr(0, type.find(':'));
}
