// Render fuzz target: every input the parser accepts as a document is
// written in every form the library has (indented JSON, compact JSON and the
// four XML dialects); the indented and compact JSON must read back as a
// document. Built for libFuzzer with clang (-DZQ_BUILD_FUZZ=ON); any
// compiler builds the replay main, which runs saved inputs.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "SnapCommon/ZQJson.h"
#include "fuzz/replay_main.h"

namespace {

void require(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

template <class Document>
void render_all(const Document& document) {
    require(zqjson::validate(document.json()), "indented output does not read back");
    std::ostringstream compact;
    compact.precision(17);
    compact << document;
    require(zqjson::validate(compact.str()), "compact output does not read back");
    for (zqjson::Format format : {zqjson::JSONx, zqjson::JXML, zqjson::JXMLex, zqjson::TaggedXML})
        require(!document.xml(format, "", "").empty(), "empty XML rendering");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    zqjson::Object object;
    if (object.parse(input)) render_all(object);
    zqjson::Array array;
    if (array.parse(input)) render_all(array);
    return 0;
}
