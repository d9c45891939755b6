#include "address_reset/recording_action_owner.h"
#include "config/setup_fields.h"
#include "protocol/t7000ip.h"
#include "reader_security/lbus_gates.h"
#include "reader_security/load_lbus_key.h"
#include "support/scripted_peer.h"
#include "support/trace_capture.h"
#include "terminal/product_table.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

// The LBus security dialog's logic with a recording view: the actions and
// readers it offers, Start's refusals, and the package copy's refusals and
// attempts against a TFTP peer on loopback (the engine binds the maintenance
// ports, so this runs in a network namespace of its own).

namespace kestrix {
namespace {

using test::RecordingActionOwner;
using test::TraceCapture;

struct RecordingLBusView : LoadLBusKeyView {
    void setActionEnabled(LBusFunction action, bool enabled) override { actionEnabled[action] = enabled; }
    void setActionVisible(LBusFunction action, bool visible) override { actionVisible[action] = visible; }
    void setActionChecked(LBusFunction action) override { checkedAction = action; }
    void setReaderLine(int reader, bool enabled, bool checked) override {
        lines[reader] = {enabled, checked};
    }
    void setReaderStatus(int, const std::string&) override {}
    void setStatusText(const std::string& text) override { statusTexts.push_back(text); }
    void setActivityBar(int, int, int position) override { activity.push_back(position); }
    void setResultRange(int, int) override {}
    void setResultPosition(int) override {}
    void setStartEnabled(bool enabled) override { startEnabled = enabled; }
    bool startActivityTimer(int period) override {
        timerPeriod = period;
        return true;
    }
    void stopActivityTimer() override { timerPeriod = 0; }
    void showWorkerMessage(const std::string&, MessageIcon) override {}
    void postWorkerEnd(int) override {}
    std::optional<std::string> askPackageFile(const PackageFileRequest& request) override {
        packageRequests.push_back(request);
        return packageAnswer;
    }

    std::map<LBusFunction, bool> actionEnabled;
    std::map<LBusFunction, bool> actionVisible;
    std::optional<LBusFunction> checkedAction;
    std::map<int, std::pair<bool, bool>> lines; // enabled, checked
    std::vector<std::string> statusTexts;
    std::vector<int> activity;
    bool startEnabled = false;
    int timerPeriod = 0;
    std::vector<PackageFileRequest> packageRequests;
    std::optional<std::string> packageAnswer;
};

// Readers 1-3 card readers on LBus1, reader 9 a Wiegand reader on LBus2, the
// internal reader a serial standard reader in Standard/Chipcard mode.
UserParamBlock readerBlock() {
    UserParamBlock block{};
    block[setup_field::Lbus1ReaderType.offset] = 1;
    block[setup_field::Lbus1Readers.offset] = 0b111;
    block[setup_field::Lbus2ReaderType.offset] = 3;
    block[setup_field::Lbus2Readers.offset] = 0b1;
    block[setup_field::InternalReaderType.offset] = 0x21;
    block[setup_field::InternalReaderMode.offset] = 5;
    return block;
}

class LoadLBusKeyLogic : public ::testing::Test {
protected:
    ~LoadLBusKeyLogic() override {
        dialog_.reset();
        T7000ip::releaseT7000ip();
    }
    // A new dialog on a new record.
    CLoadLBusKey& open(int productType, const std::string& firmware, int grade) {
        dialog_.reset();
        owner_.terminals.clear();
        TerminalFields fields;
        fields.SerialNumber = "4711";
        fields.ProductType = productType;
        fields.PlatformGroup = productPlatformGroup(productType);
        fields.ProductName = "TALMO 7460";
        fields.TclKind = tcl_kind::Acm;
        fields.FirmwareVersion = firmware;
        fields.AddrInUse = *addressFromText("::ffff:127.0.0.1");
        fields.IPAddrInUse = "::ffff:127.0.0.1";
        owner_.terminals.push_back(std::make_unique<Terminal>(engine_, fields));
        dialog_ = std::make_unique<CLoadLBusKey>(owner_, 0, grade, readerBlock());
        dialog_->attachView(view_);
        dialog_->OnInitDialog();
        return *dialog_;
    }
    std::set<int> checkedReaders() const {
        std::set<int> readers;
        for (const auto& [reader, line] : view_.lines)
            if (line.second)
                readers.insert(reader);
        return readers;
    }
    std::string text(int id) const { return language_.GetText(id); }

    const CToolBoxLang language_{kLocaleIdEnglishUnitedStates};
    T7000ip& engine_ = T7000ip::getT7000ip(&language_);
    RecordingActionOwner owner_{engine_, language_};
    RecordingLBusView view_;
    std::unique_ptr<CLoadLBusKey> dialog_;
};

TEST_F(LoadLBusKeyLogic, GradeAndVersionDecideTheActionsOffered) {
    using F = LBusFunction;
    struct Case {
        int product;
        const char* firmware;
        int grade;
        std::set<F> offered;
        F preselected;
    };
    const Case cases[] = {
        {product::Talmo7460,
         "6.20",
         3,
         {F::LoadKeys, F::ReleaseCard, F::LockCard, F::FirmwareUpdate, F::ParameterUpdate},
         F::ReleaseCard},
        {product::Talmo7460, "6.20", 2, {F::ReleaseCard, F::LockCard}, F::ReleaseCard},
        {product::Talmo7460, "6a12", 3, {F::LoadKeys, F::ReleaseCard, F::LockCard}, F::ReleaseCard},
        {product::Talmo7450, "6.20", 3, {F::LoadKeys, F::ReleaseCard, F::LockCard}, F::ReleaseCard},
        {product::Talmo7460, "6a04", 3, {F::LoadKeys}, F::LoadKeys},
        {product::Talmo7460, "6.03", 2, {}, F::LoadKeys},
    };
    for (const Case& entry : cases) {
        SCOPED_TRACE(std::string(entry.firmware) + " grade " + std::to_string(entry.grade));
        view_ = {};
        open(entry.product, entry.firmware, entry.grade);
        for (int number = 1; number <= 5; ++number) {
            const auto action = static_cast<F>(number);
            EXPECT_EQ(view_.actionEnabled[action], entry.offered.contains(action)) << number;
        }
        EXPECT_FALSE(view_.actionVisible[F::ParameterUpdate]);
        EXPECT_EQ(view_.checkedAction, entry.preselected);
        EXPECT_EQ(view_.startEnabled, !entry.offered.empty());
    }
}

TEST_F(LoadLBusKeyLogic, ReaderRuleFollowsTheBlockAndTheAction) {
    CLoadLBusKey& dialog = open(product::Talmo7460, "6.20", 3);
    // Release card: the served readers with the internal one; the Wiegand reader stays off.
    EXPECT_EQ(checkedReaders(), (std::set<int>{0, 1, 2, 3}));
    EXPECT_FALSE(view_.lines[9].first);
    EXPECT_FALSE(view_.lines[4].first);
    dialog.OnReaderCheck(2, false);
    dialog.OnReaderCheck(9, true); // disabled: ignored
    dialog.OnSelectAction(LBusFunction::LoadKeys);
    // A new action checks the readers anew, without the internal one for keys.
    EXPECT_EQ(checkedReaders(), (std::set<int>{1, 2, 3}));
    EXPECT_FALSE(view_.lines[0].first);
    EXPECT_EQ(readerMask({true, true, false, true}, LBusFunction::LoadKeys), 0b1010U);
    EXPECT_EQ(readerMask({true, true, false, true}, LBusFunction::LockCard), 0b1011U);
}

TEST_F(LoadLBusKeyLogic, StartWithoutReadersShowsNoReadersSelected) {
    CLoadLBusKey& dialog = open(product::Talmo7460, "6.20", 3);
    for (int reader = 0; reader < kReaderLines; ++reader)
        dialog.OnReaderCheck(reader, false);
    dialog.OnButtonstart();
    ASSERT_EQ(owner_.boxes.texts(), std::vector<std::string>{text(518)});
    EXPECT_FALSE(dialog.running());
    EXPECT_TRUE(view_.startEnabled);
    EXPECT_EQ(view_.timerPeriod, 0);
    EXPECT_TRUE(dialog.QueryTerminate());
}

TEST_F(LoadLBusKeyLogic, UpdateRefusedWithoutPackageOrOnAnotherPlatform) {
    CLoadLBusKey& other = open(product::Talmo7450, "6.20", 3);
    EXPECT_FALSE(other.RArchiveTFTP(LBusFunction::FirmwareUpdate));
    EXPECT_EQ(owner_.boxes.texts(), std::vector<std::string>{text(527)});
    EXPECT_TRUE(view_.packageRequests.empty());

    owner_.boxes.shown.clear();
    CLoadLBusKey& dialog = open(product::Talmo7460, "6.20", 3);
    dialog.OnSelectAction(LBusFunction::FirmwareUpdate);
    dialog.OnButtonstart(); // the file dialog is cancelled
    EXPECT_EQ(owner_.boxes.texts(), std::vector<std::string>{text(528)});
    ASSERT_EQ(view_.packageRequests.size(), 1U);
    EXPECT_EQ(view_.packageRequests[0].initialName, "*.trfw");
    EXPECT_EQ(view_.packageRequests[0].packageFilter, "TRFW files (*.trfw)");
    EXPECT_EQ(view_.statusTexts.back(), text(561));
    EXPECT_EQ(view_.timerPeriod, 0);
    EXPECT_TRUE(view_.startEnabled);
    EXPECT_FALSE(dialog.running());
}

// A TFTP server on loopback that refuses the first `refusals` write requests
// and takes the file after that.
struct RefusingTftpServer {
    explicit RefusingTftpServer(int refusals)
        : peer("127.0.0.1", 69,
               [this, refusals](const test::PeerRequest& request, test::ScriptedPeer& server) {
                   const std::string& bytes = request.bytes;
                   if (bytes.size() < 4)
                       return;
                   if (bytes[1] == 2 && ++writeRequests <= refusals)
                       server.reply(request, std::string("\0\5\0\2access violation\0", 21));
                   else if (bytes[1] == 2)
                       server.reply(request, std::string("\0\4\0\0", 4));
                   else if (bytes[1] == 3)
                       server.reply(request, std::string("\0\4", 2) + bytes.substr(2, 2));
               }) {}
    std::atomic<int> writeRequests = 0;
    test::ScriptedPeer peer;
};

TEST_F(LoadLBusKeyLogic, PackageCopyTriesThreeTimes) {
    const std::string package = std::filesystem::temp_directory_path() / "kestrix-lbus-package.trfw";
    std::ofstream(package) << "reader firmware";
    view_.packageAnswer = package;
    struct Case {
        int refusals;
        bool sent;
        int traceLines;
    };
    for (const Case entry : {Case{2, true, 2}, Case{3, false, 3}}) {
        SCOPED_TRACE(entry.refusals);
        owner_.boxes.shown.clear();
        CLoadLBusKey& dialog = open(product::Talmo7460, "6.20", 3);
        RefusingTftpServer server(entry.refusals);
        TraceCapture trace;
        EXPECT_EQ(dialog.RArchiveTFTP(LBusFunction::FirmwareUpdate), entry.sent);
        EXPECT_EQ(server.writeRequests, entry.sent ? entry.refusals + 1 : 3);
        std::size_t errors = 0;
        for (std::size_t at = 0; (at = trace.text().find("TFTP Write Error", at)) != std::string::npos; ++at)
            ++errors;
        EXPECT_EQ(errors, static_cast<std::size_t>(entry.traceLines));
        EXPECT_EQ(owner_.boxes.texts(),
                  entry.sent ? std::vector<std::string>{} : std::vector<std::string>{text(529)});
        EXPECT_NE(server.peer.requests().front().text().find("[4711]/talmo/rfwdownload.trfw"),
                  std::string::npos);
    }
    std::filesystem::remove(package);
}

TEST(LBusGates, ReaderListsReadAsMasks) {
    EXPECT_EQ(parseReaderList("1,2,5-8"), 0b111100110U);
    EXPECT_EQ(parseReaderList("0"), 1U);
    EXPECT_EQ(parseReaderList("16"), 1U << 16);
    for (const char* wrong : {"", "17", "1,,2", "3-1", "-2", "1-", "a", "1 ,2", "2-3-4"})
        EXPECT_EQ(parseReaderList(wrong), std::nullopt) << wrong;
}

} // namespace
} // namespace kestrix
