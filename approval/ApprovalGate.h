// Holds back every write of an image that the approved list does not name
// with the very contents about to be written: the image is hashed again
// immediately before the library is called, so that a copy changed after
// the list was made, or a foreign one, never reaches a hub.
#ifndef TOLVANE_APPROVAL_APPROVALGATE_H
#define TOLVANE_APPROVAL_APPROVALGATE_H

#include "ApprovedList.h"
#include "FileDigest.h"
#include "UpgradeObserver.h"

#include <string>
#include <utility>

class ApprovalGate : public IUpgradeObserver {
public:
    // digests: where the image's digest comes from (the run's one read of
    // it); unset, the file is hashed at the check.
    explicit ApprovalGate(const ApprovedList& list, tolvane::platform::DigestSource digests = {})
        : m_list(list), m_digests(std::move(digests))
    {}

    // Proceed for an approved image; Refuse, with the log line and the
    // reason, for one that is not listed, differs or cannot be hashed.
    WriteDecision Check(const std::string& imagePath) const;

    WriteDecision OnWriteStarting(const std::string& imagePath) override { return Check(imagePath); }

private:
    const ApprovedList& m_list;
    tolvane::platform::DigestSource m_digests;
};

#endif
