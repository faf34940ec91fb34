// Runs one of the project's programs, from the folder that holds the test
// program, and collects what it wrote and its exit status.
#ifndef TOLVANE_TESTS_RUNPROCESS_H
#define TOLVANE_TESTS_RUNPROCESS_H

#include <filesystem>
#include <string>
#include <vector>

struct ProcessResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// program is a base name such as "tolvane-cli"; the platform's suffix is added.
ProcessResult RunProgram(const std::string& program, const std::vector<std::string>& args);

// Any program, by its full path.
ProcessResult RunExecutable(const std::filesystem::path& exe, const std::vector<std::string>& args);

// Sets or (with an empty value) removes an environment variable of this
// process; started programs inherit it.
void SetEnv(const std::string& name, const std::string& value);

#endif
