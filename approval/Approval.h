// The approved list a run works under, read once: the bytes that are hashed
// for the records (and whose signature is checked) are the bytes that are
// parsed, never a second read of the path.
#ifndef TOLVANE_APPROVAL_APPROVAL_H
#define TOLVANE_APPROVAL_APPROVAL_H

#include "ApprovedList.h"

#include <string>
#include <vector>

struct ApprovalOptions {
    std::string list;               // --approved FILE; empty for none
    std::vector<std::string> trust; // --trust KEY, each a PEM public key; empty for an unsigned list
    std::string signature;          // --signature FILE; empty for LIST.sig

    bool Given() const { return !list.empty(); }
};

struct Approval {
    ApprovedList list;
    std::string path;   // as it was given
    std::string sha256; // of the list's bytes, lower-case hex
    std::string signer; // SHA-256 of the signing key's DER public key; empty when unsigned
};

// Reads and checks the list that options name. False with error set (one
// line that names the case) when the list cannot be used.
bool LoadApproval(const ApprovalOptions& options, Approval& approval, std::string& error);

#endif
