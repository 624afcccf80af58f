// The network side of a command: the socket library, the adapter table and
// its broadcast channel, set up as the program's start-up does, and one
// discovery merged into the table exactly as the window's "Update" merges it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cli/mac_address.h"
#include "net/adapter_table.h"
#include "net/broadcast_channel.h"

// One adapter as the window's list shows it, who controls it, and what the
// network check finds in its address.
struct AdapterListing {
    std::string ip;
    std::string mac;
    std::string status;      // "Ready" or "Controlled by ..."
    std::string controller;  // dotted address; empty when none
    // The card it answered through whose subnet holds its address, else the
    // first that heard it, dotted; empty when not known.
    std::string via;
    bool reachable = true;
    std::vector<std::string> findings;
    // Heard in the latest discovery, and the cards that heard it then
    // (CAdapterTable::GetCardsAt).
    bool answeredNow = false;
    std::vector<InterfaceAddress> cards;
};

class AdapterSession {
public:
    AdapterSession();
    ~AdapterSession();
    AdapterSession(const AdapterSession&) = delete;
    AdapterSession& operator=(const AdapterSession&) = delete;

    // False when no card is up with an IPv4 address, or the channel has no
    // socket that can broadcast.
    bool HasUsableNetwork() const;

    // What the channel made of each card (BroadcastChannel::GetCardStatuses).
    std::vector<BroadcastChannel::CardStatus> CardStatuses() const;
    // Why HasUsableNetwork() is false; empty when it is true.
    std::string NoSearchReason() const;

    void Discover(int seconds);

    // Every adapter of the table, in table order.
    std::vector<AdapterListing> Listings() const;
    // The table's record of the adapter with exactly this MAC, or null; its
    // table index goes to `index` when given.
    AdapterRecord* Find(const MacAddress& mac, int* index = nullptr) const;
    // The findings the adapter at `index` would have with `address` (network
    // order), joined by "; "; empty when there are none.
    std::string AddressFindings(int index, DWORD address) const;
    // The same, one text per finding.
    std::vector<std::string> AddressFindingTexts(int index, DWORD address) const;
    // The card the adapter at `index` answered through, as in its listing.
    std::string Via(int index) const;
    int GetCount() const;

private:
    std::unique_ptr<CAdapterTable> m_pTable;
};
