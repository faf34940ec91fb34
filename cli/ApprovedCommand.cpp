#include "ApprovedCommand.h"

#include "Commands.h"
#include "ExitStatus.h"
#include "FileDigest.h"
#include "JsonReport.h"
#include "ListSignature.h"
#include "TextEscape.h"

using nlohmann::json;

namespace {
// Everything the command learnt from the one read of the list.
struct ListCheck {
    bool read = false;
    std::string sha256;
    std::string listError; // why the list cannot be read or parsed
    ApprovedList list;
    bool signatureChecked = false;
    std::string signer;
    std::string signatureError;

    bool Usable() const { return read && listError.empty() && signatureError.empty(); }
};

ListCheck Check(const ApprovalOptions& options)
{
    ListCheck check;
    std::string bytes;
    tolvane::platform::FileDigest digest;
    if (!ApprovedList::ReadBytes(options.list, bytes, check.listError) ||
        !tolvane::platform::Sha256Bytes(bytes, digest, check.listError))
        return check;
    check.read = true;
    check.sha256 = digest.sha256;
    check.list.Parse(bytes, check.listError);
    // The signature is judged over the same bytes even when a line is bad,
    // so that the report says all that is wrong at once.
    check.signatureChecked = !options.trust.empty();
    if (check.signatureChecked)
        CheckListSignature(options, bytes, check.signer, check.signatureError);
    return check;
}

std::string SignatureText(const ApprovalOptions& options, const ListCheck& check)
{
    if (!check.read)
        return "";
    if (!check.signatureChecked)
        return "signature: not checked (no --trust KEY)\n";
    const std::string head = "signature " + SignaturePath(options) + ": ";
    if (!check.signatureError.empty())
        return head + "refused: " + check.signatureError + "\n";
    return head + "verified, signer " + check.signer + "\n";
}

std::string Text(const ApprovalOptions& options, const ListCheck& check)
{
    std::string text = "list " + options.list + ": ";
    if (!check.read)
        return text + "cannot be read: " + check.listError + "\nnot usable\n";
    const std::vector<ApprovedList::Listed> entries = check.list.Entries();
    if (!check.listError.empty())
        text += check.listError + ", sha256 " + check.sha256 + "\n";
    else
        text += std::to_string(entries.size()) + (entries.size() == 1 ? " image" : " images") + ", sha256 " +
                check.sha256 + "\n";
    for (const ApprovedList::Listed& entry : entries)
        if (check.listError.empty())
            text += "  " + entry.sha256 + "  " + EscapeBytes(entry.name) + "\n";
    text += SignatureText(options, check);
    return text + (check.Usable() ? "usable\n" : "not usable\n");
}

json OrNull(const std::string& text)
{
    return text.empty() ? json(nullptr) : json(text);
}

json Document(const ApprovalOptions& options, const ListCheck& check, int status)
{
    json images = json::array();
    if (check.listError.empty())
        for (const ApprovedList::Listed& entry : check.list.Entries())
            images.push_back({{"line", entry.line}, {"name", EscapeBytes(entry.name)}, {"sha256", entry.sha256}});
    json signature = nullptr;
    if (check.signatureChecked)
        signature = {{"file", SignaturePath(options)},
                     {"trusted", options.trust},
                     {"verified", check.signatureError.empty()},
                     {"signer", OrNull(check.signer)},
                     {"error", OrNull(check.signatureError)}};
    return {{"list", options.list},   {"sha256", OrNull(check.sha256)},
            {"images", images},       {"listError", OrNull(check.listError)},
            {"signature", signature}, {"usable", check.Usable()},
            {"exitStatus", status}};
}
} // namespace

int RunApprovedCommand(const ApprovalOptions& options, bool asJson)
{
    const ListCheck check = Check(options);
    const int status = check.Usable() ? kExitDone : kExitUsage;
    WriteOut(asJson ? DumpJson(Document(options, check, status)) : Text(options, check));
    return status;
}
