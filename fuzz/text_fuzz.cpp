// Text fuzz target: the entry points that take a whole JSON text (validate,
// reformat, and xml in each of its four dialects) must answer alike for the
// text and for an input stream over it, and reformat's output must read back
// as the document its input read as. Reformatting that output again must
// change nothing: the indented rendering is the document as far as its
// numbers, rounded to kNumberDigits digits, keep it.
// Built for libFuzzer with clang (-DZQ_BUILD_FUZZ=ON); any compiler builds
// the replay main, which runs saved inputs.
#include <cstdint>
#include <sstream>
#include <string>

#include "SnapCommon/ZQJson.h"
#include "fuzz/replay_main.h"
#include "fuzz/require.h"

namespace {

using zq_fuzz::require;

constexpr zqjson::Format kXmlDialects[] = {zqjson::JSONx, zqjson::JXML, zqjson::JXMLex, zqjson::TaggedXML};

void check_validate(const std::string& input) {
    std::istringstream stream(input);
    require(zqjson::validate(input) == zqjson::validate(stream), "validate: text and stream disagree");
}

void check_reformat(const std::string& input) {
    const std::string once = zqjson::reformat(input);
    std::istringstream stream(input);
    require(zqjson::reformat(stream) == once, "reformat: text and stream disagree");
    require(once.empty() != zqjson::validate(input), "reformat: output and validate disagree on acceptance");
    if (!once.empty()) require(zqjson::reformat(once) == once, "reformat: output reads back as another document");
}

void check_xml(const std::string& input) {
    for (zqjson::Format format : kXmlDialects) {
        std::istringstream stream(input);
        require(zqjson::xml(input, format) == zqjson::xml(stream, format), "xml: text and stream disagree");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    check_validate(input);
    check_reformat(input);
    check_xml(input);
    return 0;
}
