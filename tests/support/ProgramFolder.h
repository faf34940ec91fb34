// Where the running test program lives: the build's bin folder, which also
// holds the programs under test and the ISP library.
#ifndef TOLVANE_TESTS_PROGRAMFOLDER_H
#define TOLVANE_TESTS_PROGRAMFOLDER_H

#include <filesystem>

std::filesystem::path ProgramFolder();

#endif
