// The keyboard file buffer: loading a layout from any of the three forms and
// building the form of a platform group (the XML form in keyb_file_xml.cpp).
#include "keyboard/keyb_file.h"

#include "keyboard/keyb_file_xml.h"
#include "platform/trace.h"

#include <algorithm>

namespace kestrix {
namespace {

// A key index as the files know it: anything outside the table is no key.
const KeyTableRow& rowOf(KeyIndex key) { return keyTable()[std::min<std::size_t>(key, kNoKey)]; }

} // namespace

KeybFile::KeybFile() : buffer_(kKeybBufferSize, 0), layout_(defaultKeyboardLayout()) {}

bool KeybFile::setContents(std::span<const std::uint8_t> bytes) {
    if (bytes.size() > kKeybBufferSize)
        return false;
    std::fill(std::copy(bytes.begin(), bytes.end(), buffer_.begin()), buffer_.end(), 0);
    length_ = bytes.size();
    return true;
}

std::span<const std::uint8_t> KeybFile::contents() const { return {buffer_.data(), length_}; }

bool KeybFile::LoadKeybFile(std::size_t length) {
    const int traced = static_cast<int>(std::min(length, kKeybBufferSize + 1));
    trace("Matrix_Win::LoadKeybFile(%d) start\n", traced);
    if (length > kKeybBufferSize) {
        trace("Matrix_Win::LoadKeybFile(%d): unbekanntes Format der Keyboarddaten\n", traced);
        loadedForm_ = KeybFileForm::None;
        return false;
    }
    const std::span<const std::uint8_t> bytes(buffer_.data(), length);
    KeyboardLayout loaded = layout_;
    switch (readXmlLayout(bytes, loaded)) {
    case XmlRead::Read:
        layout_ = loaded;
        loadedForm_ = KeybFileForm::Xml;
        return true;
    case XmlRead::NotValid:
        loadedForm_ = KeybFileForm::None;
        return false;
    case XmlRead::NotXml:
        break;
    }
    trace("Matrix_Win::LoadKeybFile(%d) Format: keine XML-Datei, altes Format?\n", traced);
    if (length == kMapFileSize) {
        for (int row = 0; row < kMatrixRows; ++row)
            for (int column = 0; column < kMatrixColumns; ++column) {
                const std::size_t offset = 16 * static_cast<std::size_t>(row) + 2 * static_cast<std::size_t>(column);
                loaded.matrix[row][column] = keyByMapPair(bytes[offset], bytes[offset + 1]);
            }
        loadedForm_ = KeybFileForm::Map;
        trace("Matrix_Win::LoadKeybFile(%d) MAP-Format eingelesen\n", traced);
    } else if (length == kComFileSize) {
        for (int row = 0; row < kMatrixRows; ++row)
            for (int column = 0; column < kMatrixColumns; ++column)
                loaded.matrix[row][column] = keyByComCode(bytes[comTableOffset(row, column)]);
        loadedForm_ = KeybFileForm::Com;
        trace("Matrix_Win::LoadKeybFile(%d) COM-Format eingelesen\n", traced);
    } else {
        trace("Matrix_Win::LoadKeybFile(%d): unbekanntes Format der Keyboarddaten\n", traced);
        loadedForm_ = KeybFileForm::None;
        return false;
    }
    // The old forms carry no texts: the placeholders the XML writer uses.
    loaded.id = "---";
    loaded.revision = "-";
    loaded.description = "---";
    loaded.verification = Verification::NotVerified;
    layout_ = loaded;
    return true;
}

std::size_t KeybFile::SaveKeybFile(int platformGroup) {
    trace("Matrix_Win::SaveKeybFile() start\n");
    switch (keybSaveFormOfGroup(platformGroup)) {
    case KeybSaveForm::Com: {
        const auto image = keyboardDriverImage();
        std::fill(std::copy(image.begin(), image.end(), buffer_.begin()), buffer_.end(), 0);
        for (int row = 0; row < kMatrixRows; ++row)
            for (int column = 0; column < kMatrixColumns; ++column)
                buffer_[comTableOffset(row, column)] = rowOf(layout_.matrix[row][column]).comCode;
        length_ = kComFileSize;
        trace("Matrix_Win::SaveKeybFile() COM-Format geschrieben.\n");
        return length_;
    }
    case KeybSaveForm::Map:
        std::fill(buffer_.begin(), buffer_.end(), 0);
        for (int row = 0; row < kMatrixRows; ++row)
            for (int column = 0; column < kMatrixColumns; ++column) {
                const KeyTableRow& key = rowOf(layout_.matrix[row][column]);
                const std::size_t offset = 16 * static_cast<std::size_t>(row) + 2 * static_cast<std::size_t>(column);
                buffer_[offset] = key.mapCharacter;
                buffer_[offset + 1] = key.mapCode;
            }
        length_ = kMapFileSize;
        trace("Matrix_Win::SaveKeybFile() MAP-Format geschrieben.\n");
        return length_;
    case KeybSaveForm::Xml: {
        trace("Matrix_Win::SaveKeybFile() XML-Format startet\n");
        const std::string file = writeXmlLayout(layout_);
        std::fill(buffer_.begin(), buffer_.end(), 0);
        // The longest layout and texts stay far below the buffer's size.
        length_ = std::min(file.size(), kKeybBufferSize);
        std::copy_n(file.begin(), length_, buffer_.begin());
        trace("Matrix_Win::SaveKeybFile() XML-Format geschrieben, len = %d\n", static_cast<int>(length_));
        return length_;
    }
    case KeybSaveForm::None:
        break;
    }
    return 0;
}

} // namespace kestrix
