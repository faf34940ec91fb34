// tolvane-cli hubs: every hub the hub source shows, the target-ID table's
// or not, with what the scan makes of each, so that a technician whose hub
// is "not found" sees what the machine has.
#ifndef TOLVANE_CLI_HUBLISTING_H
#define TOLVANE_CLI_HUBLISTING_H

#include "IspRecords.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What the scan makes of one hub.
enum class HubScan {
    Listed,      // listed as device (number)
    NotInTable,  // its ids stand in no section of the target-ID table
    BeyondTable, // one of the table's hubs beyond the 32 the record holds
    DriverCheck, // the scan stops at the driver check before any hub is listed
    TooManyHubs, // the scan stops at the library's count, above what the table holds
    Unreadable,  // its ids or class cannot be read, so no scan can take it
};

struct ListedHub {
    std::string name;            // the kernel's name, or the library's text for the hub
    std::optional<unsigned> bus; // unknown when the library reports the hub
    std::string portPath;        // "1.3"; empty for a root hub or when unknown
    bool rootHub = false;
    std::uint8_t depth = 0;
    std::uint8_t port = 0;
    UsbDeviceDescriptor descriptor{};
    std::string speed; // Mbit/s as the kernel writes it; empty when unknown
    std::string manufacturer;
    std::string product;
    // The hub interface as the tree shows it; unset when the source knows
    // no interfaces (the library).
    std::optional<bool> interfaceFound;
    std::string driver;     // its driver, empty when none is bound
    std::string unreadable; // the attributes that cannot be read; empty when all are read
    bool inTable = false;
    HubScan scan = HubScan::NotInTable;
    unsigned device = 0;   // the number the scan lists it under, when Listed
    unsigned reported = 0; // the library's count, when TooManyHubs
};

struct HubListing {
    bool system = false; // the machine's USB tree, else the ISP library's report
    std::optional<std::uint32_t> libraryVersion;
    bool settingsRead = false;
    unsigned targetIds = 0;
    bool driverCheckPasses = false;
    // The count the library wrote, which may exceed the entries it has room
    // for; unset in the system mode.
    std::optional<unsigned> libraryCount;
    std::vector<ListedHub> hubs;
};

bool InTable(const IniInfo& table, std::uint16_t vid, std::uint16_t pid);

// Sets inTable, scan and device of every hub. filtered: the hubs are the
// whole tree, and the scan sees only those in the table, in tree order, as
// the system mode reports them; otherwise they are what the library
// reported, which the scan lists as they come, and none of them when the
// library's count is more than the table holds.
void JudgeScan(const IniInfo& table, bool filtered, HubListing& listing);

// Why the scan lists the hub or leaves it out, in a few words.
std::string ScanText(const ListedHub& hub);

std::string ListingText(const HubListing& listing);
nlohmann::json ListingJson(const HubListing& listing);

#endif
