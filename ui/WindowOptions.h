// What the windows take from their command line: the session's options, and
// the production loop's. A word they do not understand stops the program
// before any scan, with a message that names the word and lists what they
// take, so a misspelt protection never leaves a run unprotected.
#ifndef TOLVANE_UI_WINDOWOPTIONS_H
#define TOLVANE_UI_WINDOWOPTIONS_H

#include "SessionArgs.h"

#include <string>
#include <vector>

struct WindowOptions : SessionArgs {
    // --loop: upgrade board after board, with no press per board.
    bool loop = false;
    // --boards N: end the loop after N boards; 0 for no limit.
    unsigned boards = 0;
};

// args: the words after the program's name, under the rules every front end
// shares (SessionArgs.h). False with error set to one line when a word is
// not understood or a rule is broken.
bool ParseWindowOptions(const std::vector<std::string>& args, WindowOptions& options, std::string& error);

// The message that refuses a command line: the error (as ParseWindowOptions
// gave it, shown escaped), the options the window takes, and that nothing
// was done. Lines end in "\n".
std::string RefusedCommandLineText(const std::string& error);

#endif
