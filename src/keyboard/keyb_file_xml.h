#pragma once

// The XML form of a keyboard layout ("terminal-ui"), read and written with
// libxml2, and the check of its validate element. Used by KeybFile only; it
// holds no buffer and knows nothing of the MAP and COM forms.
#include "keyboard/keyb_file.h"

#include <libxml/tree.h>
#include <libxml/xpath.h>

#include <span>
#include <string>
#include <string_view>

namespace kestrix {

enum class XmlRead {
    NotXml,   // no document: the bytes may be a MAP or COM file
    NotValid, // a document without the DTD-valid property
    Read,     // layout filled in
};

// Parses the bytes; for a valid document sets every cell to kNoKey, then
// reads the info texts, the validation and the keys into layout.
XmlRead readXmlLayout(std::span<const std::uint8_t> bytes, KeyboardLayout& layout);

// The XML form of the layout, as the program writes it (no validate element).
std::string writeXmlLayout(const KeyboardLayout& layout);

// The node set of the XPath expression in the document, or nullptr when it
// is empty or the evaluation failed. The caller frees a result with
// xmlXPathFreeObject.
xmlXPathObjectPtr get_xml_nodeset(xmlDocPtr document, const char* expression);

enum class XmlConversion { Latin1ToUtf8, Utf8ToLatin1 };
// Converts between ISO-8859-1 and UTF-8; false (output empty) when the input
// is no text of the source encoding or holds a character ISO-8859-1 lacks.
bool convert_xml(XmlConversion direction, std::string_view input, std::string& output);

} // namespace kestrix
