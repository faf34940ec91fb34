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

std::string UnknownCommandText(const std::string& word, const std::vector<std::string>& commands)
{
    const std::string head = "unknown command \"" + word + "\"";
    std::string nearest;
    std::size_t best = 0;
    for (const std::string& command : commands) {
        const std::size_t distance = EditDistance(word, command);
        if (nearest.empty() || distance < best) {
            nearest = command;
            best = distance;
        }
    }
    // A third of the word may be mistyped; beyond that a suggestion would
    // be a guess.
    if (!nearest.empty() && best <= std::max<std::size_t>(1, word.size() / 3 + 1))
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
