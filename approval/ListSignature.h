// The signature of an approved list: the release engineer's key signs the
// list once, and a station believes no checksum in it until the signature
// holds over the very bytes it read, under one of the keys it trusts.
#ifndef TOLVANE_APPROVAL_LISTSIGNATURE_H
#define TOLVANE_APPROVAL_LISTSIGNATURE_H

#include "Approval.h"

#include <string>

// The signature file options name: --signature FILE, else the list's path
// with ".sig" added.
std::string SignaturePath(const ApprovalOptions& options);

// Reads every key of options.trust and the signature file once each, and
// checks the signature over bytes (the list as it was read). True with
// signer set to the fingerprint of the key that signed; false with error
// set to one line that names the case: a key that cannot be read or is not
// a P-256 public key, no signature file, a malformed signature, or one that
// does not verify.
bool CheckListSignature(const ApprovalOptions& options, const std::string& bytes, std::string& signer,
                        std::string& error);

#endif
