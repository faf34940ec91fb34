// What tolvane-cli says about a word where a command belongs that is none:
// the nearest command by edit distance, for a typing error.
#ifndef TOLVANE_CLI_COMMANDSUGGESTION_H
#define TOLVANE_CLI_COMMANDSUGGESTION_H

#include <CLI/CLI.hpp>

#include <cstddef>
#include <string>
#include <vector>

// The number of single-character insertions, deletions and substitutions
// that turn one word into the other.
std::size_t EditDistance(const std::string& from, const std::string& to);

// The one line for an unknown command word: the nearest of commands when it
// is near enough to be a typing error, all of them otherwise.
std::string UnknownCommandText(const std::string& word, const std::vector<std::string>& commands);

// The line for the first word of the command line that stands where a
// command belongs (after the program's own options and their values) and
// names none of app's commands; empty when there is no such word.
std::string UnknownCommandError(const CLI::App& app, int argc, const char* const* argv);

// The line for the first word of the command line that looks like an option
// but names none of its command's (or the program's own), with the nearest
// of the command's options; empty when there is no such word.
std::string UnknownOptionError(const CLI::App& app, int argc, const char* const* argv);

#endif
