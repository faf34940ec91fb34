#include "Verify.h"

#include <gtest/gtest.h>

namespace {
HubInfo Hub(std::uint8_t depth, std::uint8_t port, std::uint16_t pid, std::uint16_t version)
{
    HubInfo hub{};
    hub.depth = depth;
    hub.portIndex = port;
    hub.descriptor.idVendor = 0x05E3;
    hub.descriptor.idProduct = pid;
    hub.descriptor.bcdDevice = version;
    return hub;
}

HubRecord Programmed(unsigned entry, const HubInfo& hub, std::uint16_t imageVersion)
{
    HubRecord record;
    record.entry = entry;
    record.hub = hub;
    record.image = ChosenImage{"GL.BIN", 'B', imageVersion};
    record.libraryResult = 0;
    return record;
}
} // namespace

TEST(Verify, HubsAreFoundByPlaceAndIdsNotByPosition)
{
    // Programmed in the order of the run, the last entry first.
    std::vector<HubRecord> records = {Programmed(2, Hub(2, 4, 0x0610, 0x0100), 0x0200),
                                      Programmed(1, Hub(1, 1, 0x0610, 0x0100), 0x0200),
                                      Programmed(0, Hub(1, 1, 0x0610, 0x0100), 0x0200)};
    records[1].libraryResult = 5; // failed: not verified at all
    // The rescan lists them in another order; the first hub at depth 1 port 1
    // kept its version.
    const HubInfo rescanned[] = {Hub(2, 4, 0x0610, 0x0200), Hub(1, 1, 0x0610, 0x0100), Hub(1, 1, 0x0610, 0x0200)};
    const std::string lines = VerifyHubs(records, rescanned, 3);
    EXPECT_EQ(lines, "Device(3): FW Version = 0200\r\n   =>Verify successful\r\n"
                     "!!!Error Device(1):=> Verify failed, FW Version = 0100, expected 0200\r\n");
    EXPECT_EQ(records[0].verified, true);
    EXPECT_EQ(records[1].verified, std::nullopt);
    EXPECT_EQ(records[2].verified, false);
    EXPECT_EQ(records[2].versionAfter, 0x0100);
}

TEST(Verify, AHubMissingFromTheRescanFails)
{
    const struct {
        const char* name;
        HubInfo again;
    } cases[] = {
        {"other port", Hub(2, 5, 0x0610, 0x0200)},
        {"other depth", Hub(3, 4, 0x0610, 0x0200)},
        {"other product", Hub(2, 4, 0x0611, 0x0200)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<HubRecord> records = {Programmed(0, Hub(2, 4, 0x0610, 0x0100), 0x0200)};
        EXPECT_EQ(VerifyHubs(records, &c.again, 1), "!!!Error Device(1):=> Verify failed, device not found again\r\n");
        EXPECT_EQ(records[0].verified, false);
        EXPECT_EQ(records[0].versionAfter, std::nullopt);
    }
    std::vector<HubRecord> records = {Programmed(0, Hub(2, 4, 0x0610, 0x0100), 0x0200)};
    VerifyHubs(records, nullptr, 0); // the rescan failed
    EXPECT_EQ(records[0].verified, false);
    EXPECT_EQ(RunExitStatus(records), 4);
}
