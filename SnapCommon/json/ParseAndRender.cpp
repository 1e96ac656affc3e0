// The entry points that read a text and render what it opens with: reformat,
// xml and validate. Built on the parser and the writers, which know nothing
// of each other.
#include <istream>
#include <string>
#include <string_view>

#include "../ZQJson.h"
#include "Parser.h"
#include "Xml.h"

namespace zqjson {

namespace {

// `source` is a stream, or text read in place.
template <class Source>
std::string reformat_document(Source& source) {
    Object object;
    Array array;
    switch (detail::open_document(source, object, array)) {
        case detail::Opened::Object:
            return object.json();
        case detail::Opened::Array:
            return array.json();
        case detail::Opened::Nothing:
            break;
    }
    return {};
}

// Text that opens no document gives the header line alone.
template <class Source>
std::string xml_document(Source& source, Format format) {
    detail::require_xml_format(format);
    Object object;
    Array array;
    switch (detail::open_document(source, object, array)) {
        case detail::Opened::Object:
            return object.xml(format, "", "");
        case detail::Opened::Array:
            return array.xml(format, "", "");
        case detail::Opened::Nothing:
            break;
    }
    return std::string(detail::default_header());
}

}  // namespace

std::string reformat(std::istream& in) { return reformat_document(in); }

std::string reformat(const String& text) {
    std::string_view in_place(text);
    return reformat_document(in_place);
}

std::string xml(std::istream& in, Format format) { return xml_document(in, format); }

std::string xml(const String& text, Format format) {
    std::string_view in_place(text);
    return xml_document(in_place, format);
}

bool validate(std::istream& in) { return detail::check_document(in); }

bool validate(const String& text) { return detail::check_document(std::string_view(text)); }

}  // namespace zqjson
