// Reading and writing the XML form of a keyboard layout with libxml2.
#include "keyboard/keyb_file_xml.h"

#include "crypto/hex_text.h"
#include "crypto/md5.h"
#include "platform/trace.h"

#include <libxml/encoding.h>
#include <libxml/entities.h>
#include <libxml/parser.h>
#include <libxml/xmlerror.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <mutex>
#include <vector>

namespace kestrix {
namespace {

// The key the validate element's text is replaced with before the digest.
constexpr const char* kValidationKey = "7d0e5a2f94c1b8367e2d9f05a1c4b7e3608d2f7a9c1e4b5d3f60a8c2e7b9d41f";

const xmlChar* xml(const char* text) { return reinterpret_cast<const xmlChar*>(text); }

struct XmlFree {
    void operator()(xmlChar* text) const { xmlFree(text); }
    void operator()(xmlDoc* document) const { xmlFreeDoc(document); }
    void operator()(xmlXPathObject* object) const { xmlXPathFreeObject(object); }
};
using XmlText = std::unique_ptr<xmlChar, XmlFree>;
using XmlDocument = std::unique_ptr<xmlDoc, XmlFree>;
using XmlNodeSet = std::unique_ptr<xmlXPathObject, XmlFree>;

std::string textOf(const xmlChar* text) { return text == nullptr ? std::string() : reinterpret_cast<const char*>(text); }

// libxml2's complaints go to the trace, never to standard error: every MAP
// and COM file passes the XML parser first.
void traceXmlError(void*, xmlErrorPtr error) {
    std::string message = error->message == nullptr ? "?" : error->message;
    while (!message.empty() && message.back() == '\n')
        message.pop_back();
    trace("Matrix_Win::LoadKeybFile(): libxml2 line %d: %s\n", error->line, message.c_str());
}

// Installs the tracing handler on this thread for as long as it lives
// (libxml2 keeps its error handler per thread).
class TracedXmlErrors {
public:
    TracedXmlErrors() : previous_(xmlStructuredError), previousContext_(xmlStructuredErrorContext) {
        xmlSetStructuredErrorFunc(nullptr, traceXmlError);
    }
    ~TracedXmlErrors() { xmlSetStructuredErrorFunc(previousContext_, previous_); }
    TracedXmlErrors(const TracedXmlErrors&) = delete;
    TracedXmlErrors& operator=(const TracedXmlErrors&) = delete;

private:
    xmlStructuredErrorFunc previous_;
    void* previousContext_;
};

void initialiseLibxml() {
    static std::once_flag once;
    std::call_once(once, [] { xmlInitParser(); });
}

// The text of the first node of the expression, converted to ISO-8859-1 and
// cut; the placeholder when the element is missing, empty or not convertible.
std::string infoText(xmlDocPtr document, const char* expression, std::size_t limit, const char* placeholder) {
    const XmlNodeSet found(get_xml_nodeset(document, expression));
    if (!found)
        return placeholder;
    const XmlText content(xmlNodeGetContent(found->nodesetval->nodeTab[0]));
    std::string latin1;
    if (!convert_xml(XmlConversion::Utf8ToLatin1, textOf(content.get()), latin1) || latin1.empty())
        return placeholder;
    return latin1.substr(0, limit);
}

void setText(xmlNodePtr node, const std::string& text) {
    const XmlText escaped(xmlEncodeSpecialChars(node->doc, xml(text.c_str())));
    xmlNodeSetContent(node, escaped.get());
}

Verification validate(xmlDocPtr document) {
    const XmlNodeSet found(get_xml_nodeset(document, "//terminal-ui//info//validate"));
    if (!found) {
        trace("Matrix_Win::parse_xml_mem(): kein Validierungsstring enthalten.\n");
        return Verification::NotVerified;
    }
    xmlNodePtr node = found->nodesetval->nodeTab[0];
    const std::string source = textOf(XmlText(xmlNodeGetContent(node)).get());
    xmlNodeSetContent(node, xml(kValidationKey));
    xmlChar* dumped = nullptr;
    int dumpedLength = 0;
    xmlDocDumpMemory(document, &dumped, &dumpedLength);
    const XmlText dump(dumped);
    const std::string_view serialized(reinterpret_cast<const char*>(dumped), dumped == nullptr ? 0 : dumpedLength);
    trace("Matrix_Win::parse_xml_mem(): nach xmlDocDumpMemory(): len: %d, content: '%.*s'\n", dumpedLength,
          static_cast<int>(serialized.size()), serialized.data());
    const std::string computed = hexText(md5(serialized));
    setText(node, source);
    if (source == computed) {
        trace("Matrix_Win::parse_xml_mem(): Validierung OK\n");
        return Verification::Verified;
    }
    trace("Matrix_Win::parse_xml_mem(): Validierung fehlerhaft (Source: '%s', berechnet: '%s')\n", source.c_str(),
          computed.c_str());
    return Verification::NotVerified;
}

// A row or column attribute: a decimal number, or -1 when it is missing or
// holds anything but up to four decimal digits (such a key is skipped).
int cellNumber(xmlNodePtr node, const char* attribute) {
    const std::string text = textOf(XmlText(xmlGetProp(node, xml(attribute))).get());
    if (text.empty() || text.size() > 4 ||
        !std::all_of(text.begin(), text.end(), [](char character) { return character >= '0' && character <= '9'; }))
        return -1;
    return std::stoi(text);
}

void readKeys(xmlDocPtr document, KeyMatrix& matrix) {
    const XmlNodeSet found(get_xml_nodeset(document, "//terminal-ui//keyboard//*"));
    const int count = found ? found->nodesetval->nodeNr : 0;
    trace("Matrix_Win::parse_xml_mem(): load %d key(s):\n", count);
    for (int index = 0; index < count; ++index) {
        xmlNodePtr node = found->nodesetval->nodeTab[index];
        const int row = cellNumber(node, "row");
        const int column = cellNumber(node, "col");
        const std::string name = textOf(XmlText(xmlNodeGetContent(node)).get());
        const KeyIndex key = keyByXmlName(name);
        trace("Matrix_Win::parse_xml_mem(): key [col:%d][row:%d] = '%s' -> m_table[%d]\n", column, row, name.c_str(),
              key);
        if (row >= 0 && row < kMatrixRows && column >= 0 && column < kMatrixColumns)
            matrix[row][column] = key;
    }
}

void parse_xml_mem(xmlDocPtr document, std::span<const std::uint8_t> bytes, KeyboardLayout& layout) {
    trace("Matrix_Win::parse_xml_mem() start\n");
    trace("Matrix_Win::parse_xml_mem(): Quelle: '%.*s'\n", static_cast<int>(bytes.size()),
          reinterpret_cast<const char*>(bytes.data()));
    layout.id = infoText(document, "//terminal-ui//info//id", kKeybIdLength, "---");
    layout.revision = infoText(document, "//terminal-ui//info//revision", kKeybRevisionLength, "-");
    layout.description = infoText(document, "//terminal-ui//info//description", kKeybDescriptionLength, "---");
    trace("Matrix_Win::parse_xml_mem(): KeybID: %s\n", layout.id.c_str());
    trace("Matrix_Win::parse_xml_mem(): KeybRevision: %s\n", layout.revision.c_str());
    trace("Matrix_Win::parse_xml_mem(): KeybDesc: %s\n", layout.description.c_str());
    layout.verification = validate(document);
    readKeys(document, layout.matrix);
    trace("Matrix_Win::parse_xml_mem() done\n");
}

// A field's text for the file: UTF-8 with the characters of XML meaning
// escaped; characters XML 1.0 cannot hold become "?". An empty field, or one
// whose conversion fails, gives the placeholder.
std::string fileText(const std::string& latin1, std::size_t limit, const char* placeholder) {
    std::string text = latin1.substr(0, limit);
    for (char& character : text) {
        const auto byte = static_cast<unsigned char>(character);
        if (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r')
            character = '?';
    }
    std::string utf8;
    if (text.empty() || !convert_xml(XmlConversion::Latin1ToUtf8, text, utf8))
        return placeholder;
    return textOf(XmlText(xmlEncodeSpecialChars(nullptr, xml(utf8.c_str()))).get());
}

} // namespace

xmlXPathObjectPtr get_xml_nodeset(xmlDocPtr document, const char* expression) {
    xmlXPathContextPtr context = xmlXPathNewContext(document);
    if (context == nullptr) {
        trace("get_xml_nodeset()  xmlXPathNewContext() failed\n");
        return nullptr;
    }
    xmlXPathObjectPtr result = xmlXPathEvalExpression(xml(expression), context);
    xmlXPathFreeContext(context);
    if (result == nullptr) {
        trace("get_xml_nodeset()  xmlXPathEvalExpression(%s) failed\n", expression);
        return nullptr;
    }
    if (result->nodesetval == nullptr || result->nodesetval->nodeNr == 0) {
        xmlXPathFreeObject(result);
        return nullptr;
    }
    return result;
}

bool convert_xml(XmlConversion direction, std::string_view input, std::string& output) {
    const bool toUtf8 = direction == XmlConversion::Latin1ToUtf8;
    trace(toUtf8 ? "Matrix_Win::convert_xml(ISO-8859-1 -> UTF-8) start\n"
                 : "Matrix_Win::convert_xml(UTF-8 -> ISO-8859-1) start\n");
    std::vector<unsigned char> buffer(2 * input.size() + 1, 0);
    int inSize = static_cast<int>(input.size());
    int outSize = static_cast<int>(buffer.size()) - 1;
    const auto* in = reinterpret_cast<const unsigned char*>(input.data());
    const int result = toUtf8 ? isolat1ToUTF8(buffer.data(), &outSize, in, &inSize)
                              : UTF8Toisolat1(buffer.data(), &outSize, in, &inSize);
    const int inputSize = static_cast<int>(input.size());
    if (result < 0 || inSize != inputSize) {
        trace("Matrix_Win::convert_xml() conversion not OK: in_size: %d,  in: '%.*s', out_size: %d (ret: %d)\n",
              inputSize, inputSize, input.data(), outSize, result);
        output.clear();
        return false;
    }
    output.assign(reinterpret_cast<const char*>(buffer.data()), static_cast<std::size_t>(outSize));
    trace("Matrix_Win::convert_xml() conversion OK: in_size: %d,  in: '%.*s', out_size: %d, out: '%s' (ret: %d)\n",
          inputSize, inputSize, input.data(), outSize, output.c_str(), result);
    return true;
}

XmlRead readXmlLayout(std::span<const std::uint8_t> bytes, KeyboardLayout& layout) {
    initialiseLibxml();
    const int length = static_cast<int>(bytes.size());
    const TracedXmlErrors tracedErrors;
    // Whitespace-only text is dropped by the parse itself, so that the
    // validation digest does not depend on the thread's libxml2 defaults.
    const XmlDocument document(xmlReadMemory(reinterpret_cast<const char*>(bytes.data()), length, nullptr, nullptr,
                                             XML_PARSE_NOBLANKS | XML_PARSE_NONET));
    if (!document)
        return XmlRead::NotXml;
    if ((document->properties & XML_DOC_DTDVALID) == 0) {
        trace("Matrix_Win::LoadKeybFile(%d) failed: XML file does not validate (XML_DOC_DTDVALID)\n", length);
        return XmlRead::NotValid;
    }
    trace("Matrix_Win::LoadKeybFile(%d) Format: XML-Datei\n", length);
    for (auto& row : layout.matrix)
        row.fill(kNoKey);
    parse_xml_mem(document.get(), bytes, layout);
    return XmlRead::Read;
}

std::string writeXmlLayout(const KeyboardLayout& layout) {
    initialiseLibxml();
    std::string file = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
                       "<!DOCTYPE terminal-ui SYSTEM \"terminal-ui.dtd\">\n"
                       "<terminal-ui>\n"
                       "  <info>\n";
    file += "    <id>" + fileText(layout.id, kKeybIdLength, "---") + "</id>\n";
    file += "    <revision>" + fileText(layout.revision, kKeybRevisionLength, "-") + "</revision>\n";
    file += "    <description>" + fileText(layout.description, kKeybDescriptionLength, "---") + "</description>\n";
    file += "  </info>\n"
            "  <keyboard>\n";
    for (int row = kMatrixRows - 1; row >= 0; --row)
        for (int column = 0; column < kMatrixColumns; ++column) {
            const KeyIndex key = layout.matrix[row][column];
            if (key >= kNoKey || keyTable()[key].xmlName.empty())
                continue;
            file += "    <key col=\"" + std::to_string(column) + "\" row=\"" + std::to_string(row) + "\">" +
                    std::string(keyTable()[key].xmlName) + "</key>\n";
        }
    file += "  </keyboard>\n"
            "</terminal-ui>\n";
    return file;
}

} // namespace kestrix
