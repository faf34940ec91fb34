// The gate hashes the image at the moment of the write: only a listed name
// with the listed contents passes, and each refusal says which it was.
#include "ApprovalGate.h"

#include "FileDigest.h"
#include "ScratchDir.h"

#include <gtest/gtest.h>

#include <string>

TEST(ApprovalGate, PassesOnlyTheListedContents)
{
    const ScratchDir dir;
    dir.Write("Bin/OK.BIN", "approved bytes");
    dir.Write("Bin/CHANGED.BIN", "approved bytes");
    dir.Write("Bin/FOREIGN.BIN", "approved bytes");
    tolvane::platform::FileDigest digest;
    std::string error;
    ASSERT_TRUE(tolvane::platform::Sha256File((dir.Path() / "Bin/OK.BIN").string(), digest, error)) << error;
    ApprovedList list;
    ASSERT_TRUE(list.Parse(digest.sha256 + "  Bin/OK.BIN\n" + digest.sha256 + "  Bin/CHANGED.BIN\n" + digest.sha256 +
                               "  Bin/GONE.BIN\n",
                           error))
        << error;
    dir.Write("Bin/CHANGED.BIN", "approved byteS");
    ApprovalGate gate(list);

    const struct {
        const char* name;
        bool proceeds;
        const char* logLine;
        const char* reason;
    } cases[] = {
        {"OK.BIN", true, "", ""},
        {"CHANGED.BIN", false, "!!!Error CHANGED.BIN differs from its approved contents, not written\r\n",
         "contents differ from the approved list"},
        {"FOREIGN.BIN", false, "!!!Error FOREIGN.BIN is not in the approved list, not written\r\n",
         "not in the approved list"},
        {"GONE.BIN", false, "!!!Error GONE.BIN cannot be hashed (", "cannot be hashed: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const WriteDecision decision = gate.OnWriteStarting((dir.Path() / "Bin" / c.name).string());
        EXPECT_EQ(decision.kind == WriteDecision::Kind::Proceed, c.proceeds);
        if (c.proceeds)
            continue;
        EXPECT_EQ(decision.kind, WriteDecision::Kind::Refuse);
        EXPECT_EQ(decision.logLine.rfind(c.logLine, 0), 0u) << decision.logLine;
        EXPECT_EQ(decision.reason.rfind(c.reason, 0), 0u) << decision.reason;
    }
}
