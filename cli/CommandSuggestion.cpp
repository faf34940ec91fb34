#include "CommandSuggestion.h"

#include <algorithm>

std::size_t EditDistance(const std::string& from, const std::string& to)
{
    // One row of the table at a time: row[j] is the distance between the
    // first i characters of from and the first j of to.
    std::vector<std::size_t> row(to.size() + 1);
    for (std::size_t j = 0; j <= to.size(); ++j)
        row[j] = j;
    for (std::size_t i = 1; i <= from.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= to.size(); ++j) {
            const std::size_t above = row[j];
            const std::size_t change = diagonal + (from[i - 1] == to[j - 1] ? 0 : 1);
            row[j] = std::min({above + 1, row[j - 1] + 1, change});
            diagonal = above;
        }
    }
    return row[to.size()];
}

namespace {
// The nearest of words when it is near enough to be a typing error: a third
// of the word may be mistyped; beyond that a suggestion would be a guess.
std::string Nearest(const std::string& word, const std::vector<std::string>& words)
{
    std::string nearest;
    std::size_t best = 0;
    for (const std::string& candidate : words) {
        const std::size_t distance = EditDistance(word, candidate);
        if (nearest.empty() || distance < best) {
            nearest = candidate;
            best = distance;
        }
    }
    return best <= std::max<std::size_t>(1, word.size() / 3 + 1) ? nearest : std::string();
}

// The option a word names: "--name", "--name=value", "-C" or "-Cvalue".
const CLI::Option* OptionOf(const CLI::App& scope, const std::string& word)
{
    const std::string name = word.substr(0, word.find('='));
    const CLI::Option* option = scope.get_option_no_throw(name);
    if (!option && word.size() > 2 && word[1] != '-')
        option = scope.get_option_no_throw(word.substr(0, 2));
    return option;
}

// Its value is the next word unless the word holds it ("--name=v", "-Cv").
bool TakesNextWord(const CLI::Option& option, const std::string& word)
{
    const bool attached = word.find('=') != std::string::npos || (word[1] != '-' && word.size() > 2);
    return option.get_type_size() != 0 && !attached;
}

const CLI::App* CommandNamed(const CLI::App& app, const std::string& word)
{
    for (const CLI::App* command : app.get_subcommands({}))
        if (command->get_name() == word)
            return command;
    return nullptr;
}

std::vector<std::string> LongNames(const CLI::App& scope)
{
    std::vector<std::string> names;
    for (const CLI::Option* option : scope.get_options())
        for (const std::string& name : option->get_lnames())
            names.push_back("--" + name);
    return names;
}
} // namespace

std::string UnknownCommandText(const std::string& word, const std::vector<std::string>& commands)
{
    const std::string head = "unknown command \"" + word + "\"";
    const std::string nearest = Nearest(word, commands);
    if (!nearest.empty())
        return head + "; did you mean \"" + nearest + "\"?";
    std::string all;
    for (const std::string& command : commands)
        all += (all.empty() ? "" : ", ") + command;
    return head + "; the commands are " + all;
}

std::string UnknownCommandError(const CLI::App& app, int argc, const char* const* argv)
{
    std::vector<std::string> commands;
    for (const CLI::App* command : app.get_subcommands({}))
        commands.push_back(command->get_name());
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word.size() > 1 && word.front() == '-') {
            // The value of an option of the program's own is no command.
            const CLI::Option* option = app.get_option_no_throw(word);
            if (option && option->get_type_size() != 0 && word.find('=') == std::string::npos)
                ++i;
            continue;
        }
        if (std::find(commands.begin(), commands.end(), word) != commands.end())
            return std::string();
        return UnknownCommandText(word, commands);
    }
    return std::string();
}

std::string UnknownOptionError(const CLI::App& app, int argc, const char* const* argv)
{
    const CLI::App* scope = &app;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--")
            break;
        if (word.size() < 2 || word.front() != '-') {
            if (scope != &app)
                continue;
            // Before its command, a word that names none is that error.
            scope = CommandNamed(app, word);
            if (!scope)
                return std::string();
            continue;
        }
        const CLI::Option* option = OptionOf(*scope, word);
        if (!option && scope != &app)
            option = OptionOf(app, word);
        if (option) {
            i += TakesNextWord(*option, word) ? 1 : 0;
            continue;
        }
        const std::string name = word.substr(0, word.find('='));
        std::string text = "unknown option \"" + name + "\"";
        if (scope != &app)
            text += " of " + scope->get_name();
        const std::string nearest = Nearest(name, LongNames(*scope));
        return nearest.empty() ? text : text + "; did you mean \"" + nearest + "\"?";
    }
    return std::string();
}
