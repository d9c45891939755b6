#pragma once

#include "config/config_block.h"
#include "platform/pane_dialog.h"
#include "platform/thread.h"
#include "reader_security/lbus_gates.h"
#include "reader_security/load_lbus_key_view.h"
#include "reader_security/t7000ip_lbus_comm.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>

namespace kestrix {

class ActionOwner;
class Terminal;

// The texts of the LBus security dialog in the user's language.
struct LoadLBusKeyTexts {
    std::string heading;                  // "Please select ... readers connected to ... :"
    std::array<std::string, 5> actions;   // by LBusFunction 1-5
    std::array<std::string, 2> busLabels; // "Reader on LBus1", "Reader on LBus2"
    std::string internalReader;           // "internal reader"
    std::string start;                    // "Start"
    std::string cancel;                   // "Cancel"
};

// The LBus security dialog `CLoadLBusKey`: the technician chooses readers on
// one terminal's reader bus and one action for them (load the LBus key,
// release or lock the parameter card, reader firmware or parameter update),
// and Start runs one T7000ipLBusComm for it. Updates first copy a package
// the user chooses to the terminal by TFTP (RArchiveTFTP). The access grade
// (2 or 3) and the terminal's version decide which actions are offered; the
// configuration block decides which readers are.
//
// Threads: Start runs on the pane's worker (its TFTP copy takes minutes); the
// other operations on the dialog's thread. The reader worker writes to the
// dialog (LBusCommTarget) from its thread and the dialog hands that on to
// the attached view, or drops it once the view has gone. The dialog does
// not talk to the terminal itself, apart from the package copy.
class CLoadLBusKey : public PaneDialog, public LBusCommTarget {
public:
    CLoadLBusKey(ActionOwner& owner, std::size_t terminalIndex, int grade, const UserParamBlock& block);
    // A worker still running is cancelled and awaited; its end message is lost.
    ~CLoadLBusKey() override;
    CLoadLBusKey(const CLoadLBusKey&) = delete;
    CLoadLBusKey& operator=(const CLoadLBusKey&) = delete;

    // The view attaches itself before OnInitDialog and detaches before it goes.
    void attachView(LoadLBusKeyView& view);
    void detachView();
    const LoadLBusKeyTexts& texts() const { return texts_; }

    // Offers the actions and readers and preselects an action.
    void OnInitDialog();
    // An action radio: clears the status texts and bars and applies the reader rule anew.
    void OnSelectAction(LBusFunction action);
    void OnReaderCheck(int reader, bool checked);
    // Start, on the pane's worker.
    void OnButtonstart();
    // The activity timer's tick.
    void OnTimer();
    // "MsgT7000ipLBusCommEnd" on the dialog's thread: waits for the worker's
    // thread, frees it, and shows the outcome (561, or the box 564).
    void OnMsgT7000ipLBusCommEnd(int endCode);
    void OnCancel();
    // True without a worker; with one it answers false after a box (525 and
    // the polling cancelled for an update, 526 otherwise).
    bool QueryTerminate() override;
    // Copies the update package the user chooses to the terminal: true when it is there.
    bool RArchiveTFTP(LBusFunction action);

    bool running() const { return running_; }
    LBusFunction action() const { return action_; }
    // Whether the grade and the terminal offer an action (the parameter
    // download's radio is hidden, yet it has the gates of the firmware update).
    LBusRefusal refusal(LBusFunction action) const;
    bool actionOffered(LBusFunction action) const;
    const ReaderOffers& readerOffers() const { return offers_; }
    // The exit code of the last worker's thread (0 or -1), once its end was handled.
    int lastExitCode() const { return lastExitCode_; }

    // LBusCommTarget: from the worker's thread.
    void setReaderStatus(int reader, const std::string& text) override;
    void setResultRange(int lower, int upper) override;
    void setResultPosition(int position) override;
    void showWorkerMessage(const std::string& text, MessageIcon icon) override;
    const CToolBoxLang& language() const override;
    void workerEnded(int endCode) override;

private:
    // Runs the call with the attached view; nothing once it has gone.
    template <typename Call> void toView(Call call);
    // The view for a call that waits on the window's thread (never made under the lock).
    LoadLBusKeyView* currentView();
    void applyReaderRule();
    void startTimer();
    void stopTimer();
    void message(int id, MessageIcon icon);
    Terminal& terminal();

    ActionOwner& owner_;
    const std::size_t terminalIndex_;
    const int grade_;
    const UserParamBlock block_;
    LoadLBusKeyTexts texts_;
    std::mutex viewMutex_;
    LoadLBusKeyView* view_ = nullptr;

    LBusFunction action_ = LBusFunction::LoadKeys;
    ReaderOffers offers_{};
    std::array<bool, kReaderLines> checked_{};
    std::unique_ptr<T7000ipLBusComm> worker_;
    ThreadSlot workerThread_;
    std::atomic<bool> running_ = false;
    std::atomic<int> activityCounter_ = 0;
    std::atomic<int> resultUpper_ = 1;
    int lastExitCode_ = 0;
};

inline LoadLBusKeyView* CLoadLBusKey::currentView() {
    const std::lock_guard lock(viewMutex_);
    return view_;
}

template <typename Call> void CLoadLBusKey::toView(Call call) {
    const std::lock_guard lock(viewMutex_);
    if (view_ != nullptr)
        call(*view_);
}

} // namespace kestrix
