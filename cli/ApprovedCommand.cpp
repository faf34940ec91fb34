#include "ApprovedCommand.h"

#include "Commands.h"
#include "ExitStatus.h"
#include "FileDigest.h"
#include "JsonReport.h"
#include "ListSignature.h"
#include "ShownName.h"
#include "TextEscape.h"
#include "UnmatchedImages.h"

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
    std::vector<UnmatchedEntry> unmatched; // entries no image in the folder matches

    bool Usable() const { return read && listError.empty() && signatureError.empty(); }
};

ListCheck Check(const ApprovalOptions& options, const std::string& imageFolder)
{
    ListCheck check;
    std::string bytes;
    tolvane::platform::FileDigest digest;
    if (!ApprovedList::ReadBytes(options.list, bytes, check.listError) ||
        !tolvane::platform::Sha256Bytes(bytes, digest, check.listError))
        return check;
    check.read = true;
    check.sha256 = digest.sha256;
    if (check.list.Parse(bytes, check.listError))
        check.unmatched = UnmatchedEntries(check.list, imageFolder);
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
    std::string text = "list " + ShownPath(options.list) + ": ";
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
    for (const UnmatchedEntry& entry : check.unmatched)
        text += "  matches no image: " + UnmatchedText(entry) + "\n";
    text += SignatureText(options, check);
    if (!check.Usable())
        return text + "not usable\n";
    if (check.unmatched.empty())
        return text + "usable\n";
    const std::size_t count = check.unmatched.size();
    return text + "usable, but " + std::to_string(count) + (count == 1 ? " entry matches" : " entries match") +
           " no image: hubs that need " + (count == 1 ? "it" : "them") + " will be refused\n";
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
    json unmatched = json::array();
    for (const UnmatchedEntry& entry : check.unmatched)
        unmatched.push_back({{"line", entry.line}, {"name", EscapeBytes(entry.name)}, {"reason", entry.reason}});
    return {{"list", options.list},
            {"sha256", OrNull(check.sha256)},
            {"unmatched", unmatched},
            {"images", images},
            {"listError", OrNull(check.listError)},
            {"signature", signature},
            {"usable", check.Usable()},
            {"exitStatus", status}};
}
} // namespace

int RunApprovedCommand(const ApprovalOptions& options, const std::string& imageFolder, bool asJson)
{
    const ListCheck check = Check(options, imageFolder);
    const int status = check.Usable() ? kExitDone : kExitUsage;
    if (asJson)
        WriteOut(DumpJson(Document(options, check, status)));
    else
        WriteText(Text(options, check));
    return status;
}
