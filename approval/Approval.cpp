#include "Approval.h"

#include "FileDigest.h"

bool LoadApproval(const ApprovalOptions& options, Approval& approval, std::string& error)
{
    std::string bytes;
    if (!ApprovedList::ReadBytes(options.list, bytes, error))
        return false;
    tolvane::platform::FileDigest digest;
    if (!tolvane::platform::Sha256Bytes(bytes, digest, error))
        return false;
    if (!options.trust.empty()) {
        error = "signed lists are not supported by this build";
        return false;
    }
    if (!approval.list.Parse(bytes, error))
        return false;
    approval.path = options.list;
    approval.sha256 = digest.sha256;
    approval.signer.clear();
    return true;
}
