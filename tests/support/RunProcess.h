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
// On POSIX a run that takes more than two minutes is killed (exit code -1).
ProcessResult RunProgram(const std::string& program, const std::vector<std::string>& args);

// The same with the standard output going to out (a device such as
// /dev/full included); result.out holds what out reads back.
ProcessResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::filesystem::path& out);

// Any program, by its full path; the standard output to out when given.
ProcessResult RunExecutable(const std::filesystem::path& exe, const std::vector<std::string>& args);
ProcessResult RunExecutable(const std::filesystem::path& exe, const std::vector<std::string>& args,
                            const std::filesystem::path& out);

// Starts the program once for each argument list, all before waiting for
// any, and collects each run's result in the same order.
std::vector<ProcessResult> RunProgramsAtOnce(const std::string& program,
                                             const std::vector<std::vector<std::string>>& argsEach);

// Sets or (with an empty value) removes an environment variable of this
// process; started programs inherit it.
void SetEnv(const std::string& name, const std::string& value);

#endif
