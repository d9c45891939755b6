#pragma once

#include "config/lbus_readers.h"
#include "config/setup_page.h"
#include "config/setup_pending_keys.h"

#include <array>
#include <string>
#include <vector>

namespace kestrix {

// Whether the editor can set up an LBus of this terminal.
enum class LbusUsability {
    Usable,
    NoLbus1OnAccessControlManager, // "Der Zutrittskontrollmanager besitzt keinen LBus1."
    NoLbus2InThisConfiguration,    // "In dieser Konfiguration steht der LBus2 nicht zur Verfügung."
};

// The controls of an LBus page.
struct LbusPageValues {
    int readerType = kNoReaderType; // code of readerTypes(), which is its list index; -1 selects nothing
    std::array<bool, kReadersPerBus> readers{}; // readers 1-8 of LBus1, or 9-16 of LBus2
};

// The page "LBus1" or "LBus2": the bus's reader type (its reader-type byte)
// and its selected readers (its reader byte, bit n for the n-th reader of
// the bus), and at grade 3 the bus's key made with "LBus-Schlüssel erzeugen"
// (a pending key goes to the bus's key field). A reader type the list does
// not have selects nothing, and Put keeps that byte.
//
// An access-control manager has no LBus1, and a terminal whose LBus is of
// the DCU4 kind (the DCU4, DCU4-II and DCU40: four doors, eight readers)
// has no LBus2: such a page shows only its text, and Put and the reader
// check leave the bus alone.
//
// The page does not load keys into readers (the LBus security dialog does).
class SetupPageLbus : public SetupPage {
public:
    // bus is 1 or 2; keys are the editor's pending keys.
    SetupPageLbus(const SetupContext& context, int bus, const SetupPendingKeys& keys);
    SetupPageLbus(const SetupContext& context, int bus, SetupPendingKeys&& keys) = delete;

    void Get(const SetupBlock& block) override;
    bool Put(SetupBlock& block) override;

    // The check before OK at grade 2 or 3: readers selected without a reader
    // type shows "Es sind Leser selektiert, aber kein Leser-Typ." and gives
    // false. True at grade 1 and on a bus the terminal cannot use.
    bool CheckReaders();

    // The LBus tabs: at grade 2 or 3 on a terminal that runs a TCL application.
    static bool shown(const SetupContext& context);
    LbusUsability usability() const;
    // The text a page without its bus shows; empty on a usable bus.
    std::string unusableText() const;
    // The reader type list in the program's language.
    std::vector<std::string> readerTypeNames() const;
    // The number of the first reader of this bus's check boxes (1 or 9).
    int firstReader() const;
    bool keyEnabled() const; // "LBus-Schlüssel erzeugen": grade 3

    LbusPageValues values;

private:
    const BlockField& typeField() const;
    const BlockField& readersField() const;
    const BlockField& keyField() const;

    const SetupContext& context_;
    int bus_;
    const SetupPendingKeys& keys_;
};

} // namespace kestrix
