// Text fuzz target: the entry points that take a whole JSON text (validate,
// reformat, and xml in each of its four dialects) must answer alike for the
// text and for an input stream over it, and reformat's output must read back
// as the document its input read as. Its numbers have kNumberDigits digits,
// so they come back only as close as that rounding allows; not even
// reformatting twice is stable for all of them: 100000000000000000000004
// becomes 1e+23, which lies halfway between two doubles and reads as the
// lower, 9.999999999999999e+22.
// Built for libFuzzer with clang (-DZQ_BUILD_FUZZ=ON); any compiler builds
// the replay main, which runs saved inputs.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>

#include "SnapCommon/ZQJson.h"
#include "fuzz/replay_main.h"
#include "fuzz/require.h"

namespace {

using zq_fuzz::require;
using zqjson::Array;
using zqjson::Object;
using zqjson::Value;

constexpr zqjson::Format kXmlDialects[] = {zqjson::JSONx, zqjson::JXML, zqjson::JXMLex, zqjson::TaggedXML};

// A number rounded to kNumberDigits significant digits and read back moves by
// less than one unit of its last digit, a share of its magnitude of at most:
const double kLastDigitShare = std::pow(10.0, 1 - zqjson::kNumberDigits);

bool same_number(double original, double reread) {
    return std::signbit(original) == std::signbit(reread) &&
           std::fabs(original - reread) <= kLastDigitShare * std::fabs(original);
}

bool same_value(const Value& original, const Value& reread);

bool same_members(const Object& original, const Object& reread) {
    return std::equal(
        original.kv_map().begin(), original.kv_map().end(), reread.kv_map().begin(), reread.kv_map().end(),
        [](const auto& a, const auto& b) { return a.first == b.first && same_value(*a.second, *b.second); });
}

bool same_elements(const Array& original, const Array& reread) {
    return std::equal(original.values().begin(), original.values().end(), reread.values().begin(),
                      reread.values().end(), [](const Value* a, const Value* b) { return same_value(*a, *b); });
}

bool same_value(const Value& original, const Value& reread) {
    if (original.is<zqjson::Number>())
        return reread.is<zqjson::Number>() && same_number(original.get<zqjson::Number>(), reread.get<zqjson::Number>());
    if (original.is<zqjson::String>())
        return reread.is<zqjson::String>() && original.get<zqjson::String>() == reread.get<zqjson::String>();
    if (original.is<zqjson::Boolean>())
        return reread.is<zqjson::Boolean>() && original.get<zqjson::Boolean>() == reread.get<zqjson::Boolean>();
    if (original.is<zqjson::Null>()) return reread.is<zqjson::Null>();
    if (original.is<Array>()) return reread.is<Array>() && same_elements(original.get<Array>(), reread.get<Array>());
    return reread.is<Object>() && same_members(original.get<Object>(), reread.get<Object>());
}

// A text read as reformat reads it: after its leading bytes up to 0x20, an
// object at '{' or an array at '['.
struct Document {
    explicit Document(const std::string& text) {
        std::size_t start = 0;
        while (start < text.size() && static_cast<unsigned char>(text[start]) <= 0x20) ++start;
        const std::string rest = text.substr(start);
        if (rest.empty()) return;
        if (rest[0] == '{') opened = object.parse(rest) ? kObject : kNothing;
        if (rest[0] == '[') opened = array.parse(rest) ? kArray : kNothing;
    }

    enum Opened { kNothing, kObject, kArray };
    Object object;
    Array array;
    Opened opened = kNothing;
};

bool same_document(const Document& original, const Document& reread) {
    if (original.opened != reread.opened) return false;
    return original.opened == Document::kObject ? same_members(original.object, reread.object)
                                                : same_elements(original.array, reread.array);
}

void check_validate(const std::string& input) {
    std::istringstream stream(input);
    require(zqjson::validate(input) == zqjson::validate(stream), "validate: text and stream disagree");
}

void check_reformat(const std::string& input) {
    const std::string output = zqjson::reformat(input);
    std::istringstream stream(input);
    require(zqjson::reformat(stream) == output, "reformat: text and stream disagree");
    require(output.empty() != zqjson::validate(input), "reformat: output and validate disagree on acceptance");
    if (output.empty()) return;
    require(same_document(Document(input), Document(output)), "reformat: output reads back as another document");
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
