// A history whose read fails is a failure, never its end, whatever the
// system's error variable holds: on both systems, through a file that fails
// where it is told to (a real one fails in HistoryHostileTest on Linux, and
// a closed handle in the platform's tests on both).
#include "CliFixture.h"

#include "HistoryCommand.h"

#include <cerrno>
#include <cstring>

using tolvane::platform::ReadOnlyFile;
using tolvane::platform::ReadResult;

namespace {
// A file that fails every read from failAt on, and leaves in errno what a
// system call before it might have left there.
class FailingFile final : public ReadOnlyFile {
public:
    FailingFile(std::string bytes, std::uint64_t failAt, int leftInErrno)
        : ReadOnlyFile(bytes.size()), m_bytes(std::move(bytes)), m_failAt(failAt), m_leftInErrno(leftInErrno)
    {}

    bool Size(std::uint64_t& size) override
    {
        size = m_bytes.size();
        return true;
    }

    ReadResult Read(std::uint64_t offset, void* buffer, std::size_t length) override
    {
        errno = m_leftInErrno;
        ReadResult result;
        if (offset >= m_failAt) {
            result.failed = true;
            result.error = "the disk went away";
            return result;
        }
        const std::uint64_t end = std::min<std::uint64_t>(m_bytes.size(), m_failAt);
        result.count = static_cast<std::size_t>(std::min<std::uint64_t>(length, end > offset ? end - offset : 0));
        std::memcpy(buffer, m_bytes.data() + offset, result.count);
        return result;
    }

private:
    std::string m_bytes;
    std::uint64_t m_failAt;
    int m_leftInErrno;
};

std::string ManyRuns(unsigned runs)
{
    std::string text;
    for (unsigned run = 0; run < runs; ++run)
        text += R"({"time":"2026-12-09T06:00:00.000Z","host":"h","run":"r)" + std::to_string(run) +
                R"(","kind":"run-start"})"
                "\n";
    return text;
}
} // namespace

TEST(HistoryReadFault, AFailedReadIsNeverTheEndOfTheFile)
{
    const std::string text = ManyRuns(2000); // more than one piece of 64 KiB
    ASSERT_GT(text.size(), 70000u);
    constexpr std::uint64_t kNever = ~std::uint64_t{0};
    const struct {
        const char* name;
        std::uint64_t failAt;
        int leftInErrno;
        bool read;
    } cases[] = {
        {"a failure after the first piece, errno untouched (as on Windows)", 65536, 0, false},
        {"a failure at once", 0, 0, false},
        {"the whole file, an interrupted read retried leaving EINTR", kNever, EINTR, true},
        {"the whole file, errno clear", kNever, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FailingFile file(text, c.failAt, c.leftInErrno);
        HistoryReader reader([](const RunSummary&) {});
        HistoryPass pass;
        std::string error;
        EXPECT_EQ(ReadHistoryBytes(file, reader, ~std::uint64_t{0}, nullptr, pass, error), c.read) << error;
        if (c.read) {
            EXPECT_EQ(pass.bytes, text.size());
            EXPECT_EQ(reader.RunCount(), 2000u);
        } else {
            EXPECT_EQ(error, "the disk went away");
        }
    }
}
