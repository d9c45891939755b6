// Reads any bytes as a keyboard file, as a damaged or foreign file would reach
// the editor. What is accepted must hold keys of the table and texts within
// their limits, and must come back from each of the three forms the program
// writes as that form can tell it: the XML form by name, MAP by pair, COM by
// code, with its texts kept by XML.
#include "keyboard/keyb_file.h"
#include "platform/trace.h"

#include "check.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>

namespace {

using namespace kestrix;

KeyIndex asForm(KeybSaveForm form, KeyIndex key) {
    const KeyTableRow& row = keyTable()[key];
    switch (form) {
    case KeybSaveForm::Xml:
        return keyByXmlName(row.xmlName);
    case KeybSaveForm::Map:
        return keyByMapPair(row.mapCharacter, row.mapCode);
    case KeybSaveForm::Com:
        return keyByComCode(row.comCode);
    case KeybSaveForm::None:
        break;
    }
    return kNoKey;
}

bool fits(const std::string& text, std::size_t limit) { return !text.empty() && text.size() <= limit; }

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (std::getenv("KESTRIX_FUZZ_TRACE") != nullptr)
        setTraceFile(stderr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > kKeybBufferSize)
        return 0;
    KeybFile file;
    check(file.setContents({data, size}));
    if (!file.LoadKeybFile(size)) {
        check(file.loadedForm() == KeybFileForm::None);
        return 0;
    }
    const KeyboardLayout& layout = file.layout();
    check(file.loadedForm() != KeybFileForm::None);
    check(file.loadedForm() != KeybFileForm::Map || size == kMapFileSize);
    check(file.loadedForm() != KeybFileForm::Com || size == kComFileSize);
    check(fits(layout.id, kKeybIdLength) && fits(layout.revision, kKeybRevisionLength) &&
          fits(layout.description, kKeybDescriptionLength));
    for (const auto& row : layout.matrix)
        for (const KeyIndex key : row)
            check(key <= kNoKey);

    for (const int group : {-1, 3, 1}) {
        const KeybSaveForm form = keybSaveFormOfGroup(group);
        KeybFile writer;
        writer.layout() = layout;
        const std::size_t length = writer.SaveKeybFile(group);
        KeybFile reader;
        check(reader.setContents(writer.contents().first(length)));
        check(reader.LoadKeybFile(length));
        check(reader.layout().verification == Verification::NotVerified);
        for (int row = 0; row < kMatrixRows; ++row)
            for (int column = 0; column < kMatrixColumns; ++column)
                check(reader.layout().matrix[row][column] == asForm(form, layout.matrix[row][column]));
        if (form == KeybSaveForm::Xml) {
            // Characters XML cannot hold are written as "?".
            auto written = [](std::string text) {
                for (char& character : text)
                    if (static_cast<unsigned char>(character) < 0x20 && character != '\t' && character != '\n' &&
                        character != '\r')
                        character = '?';
                return text;
            };
            check(reader.layout().id == written(layout.id));
            check(reader.layout().revision == written(layout.revision));
            check(reader.layout().description == written(layout.description));
        }
    }
    return 0;
}
