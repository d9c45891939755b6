#include "messages/toolbox_lang.h"
#include "protocol/t7000ip.h"
#include "protocol/t7000ip_key.h"
#include "support/trace_capture.h"

#include <gtest/gtest.h>

#include <vector>

namespace kestrix {
namespace {

using test::TraceCapture;

class ScriptedKeyView : public T7000ipKeyView {
public:
    void setCaption(const std::string& text) override { caption = text; }
    void setLabels(const std::string& group, const std::string& searchAgain) override {
        groupLabel = group;
        searchAgainLabel = searchAgain;
    }
    void setGroupField(const std::string& text, int maximumLength) override {
        field = text;
        fieldLength = maximumLength;
    }
    std::string groupField() const override { return field; }
    void close(bool wasAccepted) override {
        closed = true;
        accepted = wasAccepted;
    }
    std::string caption, groupLabel, searchAgainLabel, field;
    int fieldLength = 0;
    bool closed = false, accepted = false;
};

class RecordingMessageBoxes : public MessageBoxes {
public:
    MessageAnswer show(const MessageBoxRequest& request) override {
        shown.push_back(request);
        return MessageAnswer::Ok;
    }
    std::vector<MessageBoxRequest> shown;
};

class MaintenanceGroup : public ::testing::Test {
protected:
    void SetUp() override { engine_ = &T7000ip::getT7000ip(&language_); }
    void TearDown() override { T7000ip::releaseT7000ip(); }
    CToolBoxLang language_{1031};
    T7000ip* engine_ = nullptr;
    ScriptedKeyView view_;
    RecordingMessageBoxes boxes_;
};

TEST_F(MaintenanceGroup, ShowsTheCurrentGroupAndStoresAValidOne) {
    engine_->setT7000ipMaintGroup(815);
    CT7000ipKey dialog(*engine_, language_, view_, boxes_);
    dialog.initDialog();
    EXPECT_EQ(view_.caption, "Kestrix IPv4+IPv6");
    EXPECT_EQ(view_.groupLabel, "Aktuelle Wartungsgruppe:");
    EXPECT_EQ(view_.searchAgainLabel, "Erneut TALMO Terminals im lokalen Netz suchen:");
    EXPECT_EQ(view_.field, "815");
    EXPECT_EQ(view_.fieldLength, 5);

    TraceCapture trace;
    view_.field = "65535";
    dialog.onOK();
    EXPECT_TRUE(view_.closed && view_.accepted);
    EXPECT_EQ(engine_->getT7000ipMaintGroup(), 65535);
    EXPECT_TRUE(trace.contains("CT7000ipKey::OnOK(): Key: 65535\n"));
    EXPECT_TRUE(boxes_.shown.empty());
}

TEST_F(MaintenanceGroup, AnythingButANumberUpTo65535ShowsTheRangeMessageAndStaysOpen) {
    engine_->setT7000ipMaintGroup(7);
    CT7000ipKey dialog(*engine_, language_, view_, boxes_);
    dialog.initDialog();
    for (const char* text : {"65536", "-1", "abc", "", " 12", "12 ", "+5", "1e3", "999999", "0x10"}) {
        view_.field = text;
        dialog.onOK();
        EXPECT_FALSE(view_.closed) << text;
        EXPECT_EQ(engine_->getT7000ipMaintGroup(), 7) << text;
    }
    ASSERT_EQ(boxes_.shown.size(), 10u);
    EXPECT_EQ(boxes_.shown[0].text, "Die Wartungsgruppe muss eine Zahl zwischen 0 und 65535 sein.");
    EXPECT_EQ(boxes_.shown[0].icon, MessageIcon::Error);
    EXPECT_EQ(boxes_.shown[0].caption, "Kestrix IPv4+IPv6");
    view_.field = "0";
    dialog.onOK();
    EXPECT_TRUE(view_.accepted);
    EXPECT_EQ(engine_->getT7000ipMaintGroup(), 0);
}

TEST_F(MaintenanceGroup, IPBasedSuffixUsesTheGroupAndTracesOrExplains) {
    engine_->setT7000ipMaintGroup(0x1234);
    TraceCapture trace;
    EXPECT_EQ(engine_->addIPBasedAuth("echo 123", "192.168.1.10"), "echo 123 auth=62043");
    EXPECT_EQ(engine_->addIPBasedAuth("echo 123", ""), "echo 123");
    EXPECT_EQ(engine_->addIPBasedAuth("echo 123", "fe80::1"), "echo 123");
    EXPECT_EQ(trace.text(),
              "T7000ip::addIPBasedAuth(key: 4660, if: 192.168.1.10): returns 'echo 123 auth=62043'\n"
              "T7000ip::addIPBasedAuth(): konnte keinen auth=... String anhängen, da die Interfaceadresse leer ist\n"
              "T7000ip::addIPBasedAuth(): konnte keinen auth=... String anhängen, da die Interfaceadresse 'fe80::1' "
              "ungültig ist\n");
}

} // namespace
} // namespace kestrix
