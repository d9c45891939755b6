#pragma once

// The terminal list: the records the search, the add field and list files
// bring, in sorted order, with no serial number twice.
#include "mainwindow/list_presentation.h"
#include "mainwindow/main_view.h"

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace kestrix {

class Terminal;
class TerminalFields;

// The system's string comparison of list entries, the one comparison that
// decides where an entry is inserted: negative, 0 or positive like strcmp.
// Letters A to Z count as their lower-case forms, every other byte by its
// unsigned value; texts equal that way are ordered by their bytes, so only
// identical texts compare equal ("a" < "B", "ABC" < "abc").
int compareListKeys(std::string_view left, std::string_view right);

// The product key of a terminal ("TALMO7450", "ServerTALMO7460", "TALMODCU",
// ..., "?" for an unknown product).
std::string productKey(const TerminalFields& terminal);

// The key an entry is sorted by in the given order.
std::string sortKey(const TerminalFields& terminal, SortOrder order);

// What a terminal's entry shows with the given presentation.
TerminalRow terminalRow(const Terminal& terminal, const ListPresentation& presentation);

// What the details pane (CShowTerminal) shows of one terminal. Looks up the
// IPv4 DNS name first when it is empty and the terminal is reached by IPv6.
ShowTerminalText showTerminalText(Terminal& terminal);

// The entries of the list, each owning its record (deleting an entry deletes
// the record and with it any host route the record added). An entry keeps the
// key it was inserted with: changing the sort order afterwards does not
// reorder the entries already listed.
//
// It neither draws nor searches: CToolBoxDlg fills it and the view shows
// TerminalRow copies of it. Its functions may be called from any thread: one
// mutex guards the entries (insert, remove and the rows never see a list
// half changed by another thread).
class TerminalList {
public:
    // Inserts the record at its sorted place for the order (after entries
    // with an equal key). A record whose serial number is already listed is
    // not inserted: it is handed back (the caller deletes it). Answers the
    // index of the new entry, or nothing when the record was refused.
    struct InsertResult {
        std::optional<std::size_t> index;
        std::unique_ptr<Terminal> refused;
    };
    InsertResult insert(std::unique_ptr<Terminal> terminal, SortOrder order);

    // The index of the entry with that serial number, or nothing.
    std::optional<std::size_t> findSerialNumber(std::string_view serialNumber) const;

    // Replaces the record of an entry (the alternative adding mode); the
    // entry keeps its place and key. Answers the record it held.
    std::unique_ptr<Terminal> replace(std::size_t index, std::unique_ptr<Terminal> terminal);

    // Deletes the entries at the given indexes (in any order, duplicates ignored).
    void remove(std::vector<std::size_t> indexes);
    void clear();

    std::size_t size() const;
    bool empty() const { return size() == 0; }
    // The record of an entry. The list guards itself, not its records: a
    // record is touched only by the thread that works on it.
    Terminal& at(std::size_t index);
    const Terminal& at(std::size_t index) const;
    std::string keyAt(std::size_t index) const;

    // The rows of every entry in list order.
    std::vector<TerminalRow> rows(const ListPresentation& presentation) const;

private:
    struct Entry {
        std::unique_ptr<Terminal> terminal;
        std::string key;
    };
    mutable std::recursive_mutex mutex_;
    std::vector<Entry> entries_;
};

} // namespace kestrix
