#include "messages/toolbox_lang.h"
#include "protocol/t7000ip.h"
#include "protocol/t7000ip_key.h"
#include "support/trace_capture.h"

#include <gtest/gtest.h>

namespace kestrix {
namespace {

class ScriptedKeyView : public T7000ipKeyView {
public:
    void setCaption(const std::string& text) override { shown += text + "|"; }
    void setLabels(const std::string& group, const std::string& searchAgain) override {
        shown += group + "|" + searchAgain + "|";
    }
    void setGroupField(const std::string& text, int maximumLength) override {
        field = text;
        shown += text + "|" + std::to_string(maximumLength);
    }
    std::string groupField() const override { return field; }
    void close(bool wasAccepted) override { closed = wasAccepted ? "accepted" : "cancelled"; }
    std::string shown, field, closed;
};

class RecordingMessageBoxes : public MessageBoxes {
public:
    MessageAnswer show(const MessageBoxRequest& request) override {
        EXPECT_EQ(request.caption, "Kestrix IPv4+IPv6");
        EXPECT_EQ(request.icon, MessageIcon::Error);
        texts.push_back(request.text);
        return MessageAnswer::Ok;
    }
    std::vector<std::string> texts;
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

TEST_F(MaintenanceGroup, ShowsTheGroupTakesANumberUpTo65535AndRefusesAnythingElse) {
    engine_->setT7000ipMaintGroup(815);
    CT7000ipKey dialog(*engine_, language_, view_, boxes_);
    dialog.initDialog();
    EXPECT_EQ(view_.shown,
              "Kestrix IPv4+IPv6|Aktuelle Wartungsgruppe:|Erneut TALMO Terminals im lokalen Netz suchen:|"
              "815|5");
    for (const char* text :
         {"65536", "-1", "abc", "", " 12", "12 ", "+5", "1e3", "999999", "0x10", "000001"}) {
        view_.field = text;
        dialog.onOK();
        EXPECT_EQ(view_.closed, "") << text;
        EXPECT_EQ(engine_->getT7000ipMaintGroup(), 815) << text;
    }
    EXPECT_EQ(boxes_.texts,
              std::vector<std::string>(11, "Die Wartungsgruppe muss eine Zahl zwischen 0 und 65535 sein."));
    test::TraceCapture trace;
    view_.field = "65535";
    dialog.onOK();
    EXPECT_EQ(view_.closed, "accepted");
    EXPECT_EQ(engine_->getT7000ipMaintGroup(), 65535);
    EXPECT_TRUE(trace.contains("CT7000ipKey::OnOK(): Key: 65535\n"));
}

TEST_F(MaintenanceGroup, IPBasedSuffixUsesTheGroupAndTracesOrExplains) {
    engine_->setT7000ipMaintGroup(0x1234);
    test::TraceCapture trace;
    EXPECT_EQ(engine_->addIPBasedAuth("echo 123", "192.168.1.10"), "echo 123 auth=62043");
    EXPECT_EQ(engine_->addIPBasedAuth("echo 123", ""), "echo 123");
    EXPECT_EQ(engine_->addIPBasedAuth("echo 123", "fe80::1"), "echo 123");
    EXPECT_EQ(trace.text(),
              "T7000ip::addIPBasedAuth(key: 4660, if: 192.168.1.10): returns 'echo 123 auth=62043'\n"
              "T7000ip::addIPBasedAuth(): konnte keinen auth=... String anhängen, da die Interfaceadresse "
              "leer ist\n"
              "T7000ip::addIPBasedAuth(): konnte keinen auth=... String anhängen, da die Interfaceadresse "
              "'fe80::1' "
              "ungültig ist\n");
}

} // namespace
} // namespace kestrix
