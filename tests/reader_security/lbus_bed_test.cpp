#include "lan/lan_interfaces.h"
#include "netbed/network_bed.h"
#include "protocol/t7000ip.h"
#include "reader_security/recording_target.h"
#include "reader_security/t7000ip_lbus_comm.h"
#include "support/scratch_directory.h"
#include "terminal/terminal.h"
#include "tftp/tftp_connection.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

// The reader operations against talmo-sim's reader bus on one test bed (br0
// 10.77.0.1/24): terminal 100301 (10.77.0.31) has readers 1 and 2 on its
// bus, reader 3 is absent; 100302 (10.77.0.32) the same, and no package is
// ever written to it. The update's 10-second polls are shortened by
// KESTRIX_TIME_SCALE.

namespace kestrix {
namespace {

using test::RecordingTarget;

class ReaderBusOnBed : public test::SharedNetworkBedTest {
protected:
    static void SetUpTestSuite() {
        test::BedLayout layout;
        for (const char* serialNumber : {"100301", "100302"}) {
            directories_.push_back(std::make_unique<test::ScratchDirectory>());
            test::TerminalSetup terminal;
            terminal.ipv4 = address(serialNumber) + "/24";
            terminal.terminalSection = {
                {"serial_number", serialNumber}, {"product", "TALMO 7460"},   {"kind", "PZE"},
                {"firmware_version", "6.20"},    {"security_id", "A1B2C3D4"}, {"maintenance_group", "4711"}};
            terminal.tftpSection = {{"directory", directories_.back()->path().string()}};
            terminal.readersSection = {
                {"present", "1 2"}, {"status_steps", "2"}, {"firmware_version", "1.00"}};
            layout.terminals.push_back(terminal);
        }
        buildSharedBed(layout);
    }
    static void TearDownTestSuite() {
        SharedNetworkBedTest::TearDownTestSuite();
        directories_.clear();
    }
    static std::string address(const std::string& serialNumber) {
        return "10.77.0.3" + serialNumber.substr(5); // 100301 -> 10.77.0.31
    }
    // Runs one operation on the terminal from the PC (after prepare, with the
    // located terminal) and checks what the worker wrote with check.
    static void operate(const std::string& serialNumber, LBusFunction function, unsigned mask,
                        const std::function<void(RecordingTarget&, int endCode, int exitCode)>& check,
                        const std::function<void(Terminal&)>& prepare = {}) {
        EXPECT_TRUE(bed_->runOnPc([&] {
            enumerateLanInterfaces();
            RecordingTarget target;
            T7000ip& engine = T7000ip::getT7000ip(&target.language());
            engine.setT7000ipMaintGroup(4711);
            {
                Terminal terminal(engine, AuthenticationMode::IDBased, address(serialNumber), "", -1);
                if (prepare)
                    prepare(terminal);
                ThreadSlot slot;
                T7000ipLBusComm worker(function, mask, terminal, target, slot);
                const int endCode = target.waitForEnd();
                check(target, endCode, waitonthreadend(slot, "CLoadLBusKey::waitonthreadend()"));
            }
            T7000ip::releaseT7000ip();
        }));
    }

    static inline std::vector<std::unique_ptr<test::ScratchDirectory>> directories_;
};

constexpr unsigned kReaders1To3 = 0b1110;
constexpr unsigned kReaders1And2 = 0b110;

TEST_F(ReaderBusOnBed, KeyTransferToThreeReadersOneAbsent) {
    operate("100301", LBusFunction::LoadKeys, kReaders1To3,
            [](RecordingTarget& target, int endCode, int exitCode) {
                EXPECT_EQ(endCode, 12);
                EXPECT_EQ(exitCode, 0);
                EXPECT_EQ(target.statusLines(),
                          (std::map<int, std::string>{{1, "OK"}, {2, "OK"}, {3, "ERROR absent"}}));
                EXPECT_TRUE(target.messages().empty());
            });
}

TEST_F(ReaderBusOnBed, ReleaseAndLockTheCard) {
    for (auto [function, state] :
         {std::pair{LBusFunction::ReleaseCard, "unlocked"}, {LBusFunction::LockCard, "locked"}})
        operate("100301", function, kReaders1And2, [state](RecordingTarget& target, int endCode, int) {
            EXPECT_EQ(endCode, 12);
            EXPECT_EQ(target.statusLines(), (std::map<int, std::string>{{1, state}, {2, state}}));
        });
}

TEST_F(ReaderBusOnBed, FirmwareUpdateOfTwoReadersFollowedToItsEnd) {
    const auto writePackage = [](Terminal& terminal) {
        const std::string package = "1.10\n";
        TFTPConnection connection(terminal.tftpAddress(), 0, 0);
        connection.write(reinterpret_cast<const std::uint8_t*>(package.data()), package.size(),
                         terminal.terminalPath("/talmo/rfwdownload.trfw", TerminalPathForm::Write));
    };
    operate(
        "100301", LBusFunction::FirmwareUpdate, kReaders1And2,
        [](RecordingTarget& target, int endCode, int exitCode) {
            EXPECT_EQ(endCode, 12);
            EXPECT_EQ(exitCode, 0);
            EXPECT_EQ(target.range(), std::make_pair(0, 2));
            EXPECT_EQ(target.positions(), (std::vector<int>{0, 0, 0, 2}));
            const std::string done = target.text(543);
            EXPECT_EQ(target.statusLines(), (std::map<int, std::string>{{1, done}, {2, done}}));
        },
        writePackage);
    // The package's version reached the readers.
    std::ifstream log(bed_->logFile(0));
    const std::string logText((std::istreambuf_iterator<char>(log)), {});
    EXPECT_NE(logText.find("reader 2: runs firmware 1.10"), std::string::npos) << logText;
}

TEST_F(ReaderBusOnBed, AnUpdateWithoutPackageIsRefused) {
    operate("100302", LBusFunction::FirmwareUpdate, kReaders1And2,
            [](RecordingTarget& target, int endCode, int exitCode) {
                EXPECT_EQ(endCode, 13);
                EXPECT_EQ(exitCode, -1);
                EXPECT_EQ(target.messages(), std::vector<std::string>{target.text(533)});
                EXPECT_TRUE(target.positions().empty());
            });
}

} // namespace
} // namespace kestrix
