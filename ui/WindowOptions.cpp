#include "WindowOptions.h"

namespace {
struct FileOption {
    const char* name;
    std::optional<std::string> WindowOptions::*field;
};

const FileOption kFileOptions[] = {
    {"--history", &WindowOptions::history},
    {"--approved", &WindowOptions::approved},
    {"--signature", &WindowOptions::signature},
};

// True when args[at] is the option called name; value then holds its file
// (empty when none follows) and at points at the option's last word.
bool Take(const std::string& name, const std::vector<std::string>& args, std::size_t& at, std::string& value)
{
    const std::string& word = args[at];
    if (word == name) {
        value = at + 1 < args.size() ? args[++at] : std::string();
        return true;
    }
    if (word.compare(0, name.size() + 1, name + "=") == 0) {
        value = word.substr(name.size() + 1);
        return true;
    }
    return false;
}

void TakeOne(const std::vector<std::string>& args, std::size_t& at, WindowOptions& options)
{
    std::string value;
    // Each --trust adds a key, so that a new one can be rolled out beside the old.
    if (Take("--trust", args, at, value)) {
        options.trust.push_back(value);
        return;
    }
    for (const FileOption& option : kFileOptions)
        if (Take(option.name, args, at, value)) {
            options.*option.field = value;
            return;
        }
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
        TakeOne(args, at, options);
    }
    return options;
}
