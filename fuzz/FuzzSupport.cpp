#include "FuzzSupport.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include <stdlib.h>

namespace fs = std::filesystem;

namespace {
fs::path g_folder;

void RemoveFolder()
{
    std::error_code ignored;
    fs::current_path(fs::temp_directory_path(), ignored);
    fs::remove_all(g_folder, ignored);
}
} // namespace

void EnterPrivateFolder(const char* targetName, int* argc, char*** argv)
{
    static std::vector<std::string> words;
    static std::vector<char*> pointers;
    static const char* const kPathFlags[] = {"-artifact_prefix=", "-exact_artifact_path=", "-dict=",
                                             "-features_dir=",    "-merge_control_file=",  "-data_flow_trace="};
    const fs::path started = fs::current_path();
    bool prefixGiven = false;
    for (int i = 0; i < *argc; ++i) {
        std::string word = (*argv)[i];
        if (i > 0 && !word.empty() && word[0] != '-')
            word = (started / word).string();
        for (const std::string flag : kPathFlags) {
            if (word.rfind(flag, 0) == 0 && word.size() > flag.size())
                word = flag + (started / word.substr(flag.size())).string();
        }
        prefixGiven = prefixGiven || word.rfind("-artifact_prefix=", 0) == 0;
        words.push_back(word);
    }
    if (!prefixGiven)
        words.push_back("-artifact_prefix=" + started.string() + "/");
    for (std::string& word : words)
        pointers.push_back(word.data());
    pointers.push_back(nullptr);
    *argc = static_cast<int>(words.size());
    *argv = pointers.data();

    std::string pattern = (fs::temp_directory_path() / (std::string("tolvane-") + targetName + "-XXXXXX")).string();
    if (mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        std::abort();
    }
    g_folder = pattern;
    fs::current_path(g_folder);
    std::atexit(RemoveFolder);
}

void WriteFile(const std::string& path, const void* data, std::size_t size)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0) {
        std::perror(path.c_str());
        std::abort();
    }
}

void WriteFile(const std::string& path, const std::string& text)
{
    WriteFile(path, text.data(), text.size());
}

void SilenceStandardOutput()
{
    if (std::freopen("/dev/null", "w", stdout) == nullptr)
        std::abort();
}

void Broken(const char* what)
{
    std::fprintf(stderr, "tolvane fuzz: broken promise: %s\n", what);
    std::abort();
}
