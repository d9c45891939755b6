#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace kestrix {

class CToolBoxLang;
class MessageBoxes;
class T7000ip;
class Terminal;

// What an action dialog needs of the main window that opened it: the terminal
// list (a record by index, inserting a found terminal, deselecting and
// redrawing an entry), the engine, the language, message boxes, the wait
// cursor, the start directory and the idle message. The main window
// implements it; the command line has its own.
//
// Threads: the dialog's long operation calls it from a worker thread. The
// list guards itself; the record of an entry is touched only by the thread
// that runs the action working on it (the main window does not enter its
// logic while that action runs).
class ActionOwner {
public:
    virtual ~ActionOwner() = default;

    virtual T7000ip& engine() = 0;
    virtual const CToolBoxLang& language() const = 0;
    virtual MessageBoxes& messageBoxes() = 0;
    // The directory the program was started from (help pages, depots).
    virtual std::string startDirectory() const = 0;

    // The record of a list entry.
    virtual Terminal& terminalAt(std::size_t index) = 0;
    // Puts a terminal that an action found into the list and redraws it: a
    // listed record with the same serial number is replaced (it holds the
    // old address), else the record is inserted. False when the list refused it.
    virtual bool addTerminal(std::unique_ptr<Terminal> terminal) = 0;
    // Deselects an entry and redraws the list.
    virtual void deselectEntry(std::size_t index) = 0;
    // Redraws an entry after its record changed.
    virtual void redrawEntry(std::size_t index) = 0;

    virtual void setWaitCursor(bool waiting) = 0;
    // While held, no button that works on the listed terminals can be pressed
    // (the firmware update's workers are using their records).
    virtual void holdTerminalActions(bool held) = 0;
    // "MsgKRXIdle": the dialog has ended. The owner destroys the dialog
    // later, never inside this call, and shows its idle pane.
    virtual void postIdleMessage() = 0;
};

} // namespace kestrix
