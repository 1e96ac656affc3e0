// Helpers the test programs share: a document's compact text, the XML
// header line taken from the library rather than retyped with its version,
// and nesting far too deep.
#include <sstream>

#include "SnapCommon/json/Xml.h"
#include "TestSupport.h"

namespace zqtest {
namespace {
template <class Document>
std::string streamed(const Document& document) {
    std::ostringstream out;
    out << document;
    return out.str();
}
}  // namespace

std::string compact(const zqjson::Value& value) { return streamed(value); }
std::string compact(const zqjson::Object& object) { return streamed(object); }
std::string compact(const zqjson::Array& array) { return streamed(array); }

std::string xml_header() { return std::string(zqjson::detail::default_header()); }

std::vector<std::string> nesting_bombs() {
    std::string open_objects, open_mixed, closed_objects, closed_mixed;
    for (std::size_t i = 0; i < kBombDepth; ++i) {
        open_objects += "{\"k\": ";
        open_mixed += i % 2 == 0 ? "[" : "{'k': ";
        closed_objects += i + 1 < kBombDepth ? "{\"k\":" : "{";
        closed_mixed += i % 2 ? "[" : (i + 1 < kBombDepth ? "{\"k\":" : "{");
    }
    closed_objects += std::string(kBombDepth, '}');
    for (std::size_t i = kBombDepth; i > 0; --i) closed_mixed += (i - 1) % 2 ? "]" : "}";
    const std::string open_arrays(kBombDepth, '[');
    return {open_arrays,
            open_objects,
            open_mixed,
            open_arrays + std::string(kBombDepth, ']'),
            open_arrays + "1" + std::string(kBombDepth, ']'),
            closed_objects,
            closed_mixed,
            "{\"k\":" + open_arrays};
}

}  // namespace zqtest
