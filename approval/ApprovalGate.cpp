#include "ApprovalGate.h"

#include "FileDigest.h"

namespace {
WriteDecision Refuse(const std::string& logLine, const std::string& reason)
{
    WriteDecision decision;
    decision.kind = WriteDecision::Kind::Refuse;
    decision.logLine = logLine;
    decision.reason = reason;
    return decision;
}
} // namespace

WriteDecision ApprovalGate::Check(const std::string& imagePath) const
{
    // The log shows names as the engine's other lines do, as they are.
    const std::string name = ApprovedList::LastPart(imagePath);
    const std::string* approved = m_list.HashOf(imagePath);
    if (!approved)
        return Refuse("!!!Error " + name + " is not in the approved list, not written\r\n", "not in the approved list");
    tolvane::platform::FileDigest digest;
    std::string error;
    if (!tolvane::platform::DigestFrom(m_digests, imagePath, digest, error))
        return Refuse("!!!Error " + name + " cannot be hashed (" + error + "), not written\r\n",
                      "cannot be hashed: " + error);
    if (digest.sha256 != *approved)
        return Refuse("!!!Error " + name + " differs from its approved contents, not written\r\n",
                      "contents differ from the approved list: sha256 " + digest.sha256);
    return {};
}
