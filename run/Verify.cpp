#include "Verify.h"

#include "HubUpgrader.h"

namespace {
bool SamePlaceAndIds(const HubInfo& a, const HubInfo& b)
{
    return a.depth == b.depth && a.portIndex == b.portIndex && a.descriptor.idVendor == b.descriptor.idVendor &&
           a.descriptor.idProduct == b.descriptor.idProduct;
}

// How many hubs of the old table before this one share its place and ids.
unsigned Occurrence(const std::vector<HubRecord>& records, const HubRecord& record)
{
    unsigned count = 0;
    for (const HubRecord& other : records) {
        if (other.entry < record.entry && SamePlaceAndIds(other.hub, record.hub))
            ++count;
    }
    return count;
}

const HubInfo* FindAgain(const HubInfo& hub, unsigned occurrence, const HubInfo* rescanned, unsigned count)
{
    for (unsigned i = 0; i < count; ++i) {
        if (SamePlaceAndIds(rescanned[i], hub) && occurrence-- == 0)
            return &rescanned[i];
    }
    return nullptr;
}
} // namespace

std::string VerifyHubs(std::vector<HubRecord>& records, const HubInfo* rescanned, unsigned rescannedCount)
{
    std::string lines;
    for (HubRecord& record : records) {
        if (record.Outcome() != HubOutcome::Programmed || !record.image)
            continue;
        const unsigned number = record.entry + 1;
        const HubInfo* now = FindAgain(record.hub, Occurrence(records, record), rescanned, rescannedCount);
        const std::uint16_t expected = record.image->version;
        if (!now) {
            record.verified = false;
            lines += CHubUpgrader::Format("!!!Error Device(%u):=> Verify failed, device not found again\r\n", number);
            continue;
        }
        // A copy: the packed record's field cannot be bound to a reference.
        record.versionAfter = static_cast<std::uint16_t>(now->descriptor.bcdDevice);
        record.verified = *record.versionAfter == expected;
        if (*record.verified)
            lines +=
                CHubUpgrader::Format("Device(%u): FW Version = %04X\r\n   =>Verify successful\r\n", number, expected);
        else
            lines += CHubUpgrader::Format("!!!Error Device(%u):=> Verify failed, FW Version = %04X, expected %04X\r\n",
                                          number, *record.versionAfter, expected);
    }
    return lines;
}
