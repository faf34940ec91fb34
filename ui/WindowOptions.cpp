#include "WindowOptions.h"

namespace {
struct FileOption {
    const char* name;
    std::optional<std::string> WindowOptions::*field;
};

const FileOption kFileOptions[] = {
    {"--history", &WindowOptions::history},
    {"--approved", &WindowOptions::approved},
};

// True when args[at] is the option; at then points at its last word.
bool Take(const FileOption& option, const std::vector<std::string>& args, std::size_t& at, WindowOptions& options)
{
    const std::string name = option.name;
    const std::string& word = args[at];
    if (word == name) {
        options.*option.field = at + 1 < args.size() ? args[++at] : std::string();
        return true;
    }
    if (word.compare(0, name.size() + 1, name + "=") == 0) {
        options.*option.field = word.substr(name.size() + 1);
        return true;
    }
    return false;
}
} // namespace

WindowOptions ParseWindowOptions(const std::vector<std::string>& args)
{
    WindowOptions options;
    for (std::size_t at = 0; at < args.size(); ++at) {
        if (args[at] == "--verify") {
            options.verify = true;
            continue;
        }
        for (const FileOption& option : kFileOptions)
            if (Take(option, args, at, options))
                break;
    }
    return options;
}
