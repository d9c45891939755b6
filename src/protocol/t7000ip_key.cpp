#include "protocol/t7000ip_key.h"

#include "messages/product.h"
#include "messages/toolbox_lang.h"
#include "platform/trace.h"
#include "protocol/t7000ip.h"

namespace kestrix {

CT7000ipKey::CT7000ipKey(T7000ip& engine, const CToolBoxLang& language, T7000ipKeyView& view,
                         MessageBoxes& messageBoxes)
    : engine_(engine), language_(language), view_(view), messageBoxes_(messageBoxes) {}

void CT7000ipKey::initDialog() {
    view_.setCaption(kProductCaption);
    view_.setLabels(language_.GetText(14), language_.GetText(36));
    view_.setGroupField(std::to_string(engine_.getT7000ipMaintGroup()), kFieldLength);
}

std::optional<unsigned> CT7000ipKey::parseGroup(std::string_view text) {
    if (text.empty() || text.size() > static_cast<std::size_t>(kFieldLength))
        return std::nullopt;
    unsigned value = 0;
    for (char character : text) {
        if (character < '0' || character > '9')
            return std::nullopt;
        value = value * 10 + static_cast<unsigned>(character - '0');
    }
    if (value > 65535)
        return std::nullopt;
    return value;
}

void CT7000ipKey::onOK() {
    std::optional<unsigned> group = parseGroup(view_.groupField());
    if (!group) {
        messageBoxes_.show({kProductCaption, language_.GetText(15), MessageIcon::Error, MessageButtons::Ok, 0});
        return;
    }
    engine_.setT7000ipMaintGroup(static_cast<std::uint16_t>(*group));
    trace("CT7000ipKey::OnOK(): Key: %u\n", *group);
    view_.close(true);
}

void CT7000ipKey::onCancel() { view_.close(false); }

} // namespace kestrix
