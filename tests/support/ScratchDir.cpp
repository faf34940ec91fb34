#include "ScratchDir.h"

#include "ProgramFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {
std::string TestFolderName()
{
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "scratch";
    for (char& c : name) {
        if (c == '/' || c == '\\')
            c = '_';
    }
    return name;
}
} // namespace

// Scratch folders live in the build tree (bin/../testwork), wherever the test
// program was started from.
ScratchDir::ScratchDir() : m_previous(fs::current_path())
{
    m_path = ProgramFolder().parent_path() / "testwork" / TestFolderName();
    fs::remove_all(m_path);
    fs::create_directories(m_path);
    fs::current_path(m_path);
}

ScratchDir::~ScratchDir()
{
    std::error_code ignored;
    fs::current_path(m_previous, ignored);
}

void ScratchDir::Write(const std::string& relativeName, const std::string& bytes) const
{
    const fs::path file = m_path / fs::u8path(relativeName);
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << "cannot write " << file.string();
}

std::string ScratchDir::Read(const std::string& relativeName) const
{
    std::ifstream in(m_path / fs::u8path(relativeName), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void ScratchDir::Remove(const std::string& relativeName) const
{
    fs::remove_all(m_path / fs::u8path(relativeName));
}
