// Helpers the test programs share: a document's compact text, and the XML
// header line taken from the library rather than retyped with its version.
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

}  // namespace zqtest
