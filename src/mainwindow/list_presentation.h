#pragma once

// How the terminal list is ordered and shown; the settings file gives the
// values at start-up and the main window's controls change them.
namespace kestrix {

// The sort order of the terminal list (the settings file's numbers 1 to 5).
enum class SortOrder {
    Product = 1,      // product key
    SerialNumber = 2, // serial number
    IPAddress = 3,    // the first IPv6 address (or the address in use) in full hexadecimal form
    DNSName = 4,      // DNSNameInUse
    Firmware = 5,     // kind prefix and version key
};

// Which terminals a search keeps ("nur aktuelle Wartungsgruppe").
enum class GroupFilter {
    AllGroups,        // every terminal that answers
    CurrentGroupOnly, // only terminals whose authentication succeeded
};

// How host names are shown.
enum class HostNameDisplay { FullyQualified, Short };

// How addresses are shown ("IPv6 Adressen darstellen").
enum class AddressForm {
    IPv4, // the dotted address when the address in use is IPv4
    IPv6, // the first global IPv6 address, else the address in use
};

// How a terminal record is added when its ID-based authentication fails
// (command-line switch "-a").
enum class AddingMode { Normal, Alternative };

struct ListPresentation {
    SortOrder order = SortOrder::Product;
    GroupFilter filter = GroupFilter::AllGroups;
    HostNameDisplay hostNames = HostNameDisplay::FullyQualified;
    AddressForm addresses = AddressForm::IPv4;

    bool operator==(const ListPresentation&) const = default;
};

} // namespace kestrix
