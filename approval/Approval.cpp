#include "Approval.h"

#include "FileDigest.h"
#include "ListSignature.h"

bool LoadApproval(const ApprovalOptions& options, Approval& approval, std::string& error)
{
    if (options.trust.empty() && !options.signature.empty()) {
        error = "a signature file is given but no trusted key to check it with";
        return false;
    }
    std::string bytes;
    if (!ApprovedList::ReadBytes(options.list, bytes, error))
        return false;
    tolvane::platform::FileDigest digest;
    if (!tolvane::platform::Sha256Bytes(bytes, digest, error))
        return false;
    std::string signer;
    if (!options.trust.empty() && !CheckListSignature(options, bytes, signer, error))
        return false;
    if (!approval.list.Parse(bytes, error))
        return false;
    approval.path = options.list;
    approval.sha256 = digest.sha256;
    approval.signer = signer;
    return true;
}
