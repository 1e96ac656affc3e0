// The pieces every XML element is built from: name and text escaping, and the
// start and end tags of the four dialects. Internal to the XML renderer; the
// tests reach it through the static library.
#ifndef ZQ_JSON_XML_H
#define ZQ_JSON_XML_H

#include <iosfwd>
#include <string>
#include <string_view>

#include "../ZQJson.h"
#include "Text.h"

namespace zqjson::detail {

// The kind of value an element stands for; the character is what `JXML`
// writes into its "son" attribute.
enum class Code : char {
    Null = '0',
    Boolean = 'b',
    Number = 'n',
    String = 's',
    Object = 'o',
};

// The line every rendering starts with when the caller gives no header.
std::string_view default_header();

// Aborts through `assertion` unless `format` is one of the four dialects.
void require_xml_format(Format format);

// Every byte that is not an ASCII letter or digit becomes "_"; same length.
std::string escape_attrib(const std::string& name);

// Character data: "<", ">" and "&" as entities, every other byte unchanged.
std::string escape_tag(const std::string& text);

// The start tag of one element: `attr` is inserted verbatim before ">" (" /"
// makes the element self-closing) and `text`, the element's rendered content,
// feeds the value attribute of `JXMLex`. Empty for a format outside 1 to 4.
std::string open_tag(Format format, Code code, const std::string& name, const std::string& attr,
                     const std::string& text);

// The end tag matching `open_tag` of the same format and name.
std::string close_tag(Format format, const std::string& name);

// Whether `name` is an XML 1.0 Name read from UTF-8, colons excluded.
bool is_xml_name(std::string_view name);

}  // namespace zqjson::detail

#endif
