#pragma once

// An ActionOwner for tests of the action dialogs: a plain list of records,
// message boxes that record and answer as scripted, and a record of what the
// dialog asked of its owner. Not thread safe: tests call the dialog from one
// thread.
#include "mainwindow/recording_view.h"
#include "messages/toolbox_lang.h"
#include "terminal/action_owner.h"
#include "terminal/terminal.h"

#include <memory>
#include <string>
#include <vector>

namespace kestrix::test {

class RecordingActionOwner : public ActionOwner {
public:
    RecordingActionOwner(T7000ip& engine, const CToolBoxLang& language) : engine_(engine), language_(language) {}

    T7000ip& engine() override { return engine_; }
    const CToolBoxLang& language() const override { return language_; }
    MessageBoxes& messageBoxes() override { return boxes; }
    std::string startDirectory() const override { return directory; }
    Terminal& terminalAt(std::size_t index) override { return *terminals.at(index); }
    bool addTerminal(std::unique_ptr<Terminal> terminal) override {
        terminals.push_back(std::move(terminal));
        return true;
    }
    void deselectEntry(std::size_t index) override { deselected.push_back(index); }
    void redrawEntry(std::size_t index) override { redrawn.push_back(index); }
    void setWaitCursor(bool waiting) override {
        waitCursor = waiting;
        if (waiting)
            ++waitCursorShown;
    }
    void holdTerminalActions(bool held) override { terminalActionsHeld = held; }
    void postIdleMessage() override { ++idleMessages; }

    RecordingMessageBoxes boxes;
    std::vector<std::unique_ptr<Terminal>> terminals; // the list
    std::vector<std::size_t> deselected;
    std::vector<std::size_t> redrawn;
    bool waitCursor = false;
    int waitCursorShown = 0;
    int idleMessages = 0;
    bool terminalActionsHeld = false;
    std::string directory = "/nonexistent";

private:
    T7000ip& engine_;
    const CToolBoxLang& language_;
};

} // namespace kestrix::test
