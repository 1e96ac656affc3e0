// Compact fuzz target: every input the parser accepts as an object, an array
// or a value is written on one line by the stream operators, and by dump()
// on one line and indented, and must read back as the same document, number
// bits and integers kept beyond 2^53 included. For the stream operators that
// holds at precision 17, which spells every double exactly; at the stream's
// default precision, or in 16 digits, numbers would not come back.
// Built for libFuzzer with clang (-DZQ_BUILD_FUZZ=ON); any compiler builds
// the replay main, which runs saved inputs.
#include <cstdint>
#include <sstream>
#include <string>

#include "SnapCommon/ZQJson.h"
#include "fuzz/replay_main.h"
#include "fuzz/require.h"
#include "tests/support/TestSupport.h"

namespace {

using zq_fuzz::require;

constexpr int kExactDigits = 17;

template <class Document>
void check_round_trip(const std::string& input) {
    Document document;
    if (!document.parse(input)) return;
    std::ostringstream compact;
    compact.precision(kExactDigits);
    compact << document;
    require(compact.good(), "compact: the stream failed");
    Document back;
    require(back.parse(compact.str()), "compact: output is not accepted");
    require(zqtest::describe(back) == zqtest::describe(document), "compact: output reads back as another document");
    for (const bool indent : {false, true}) {
        Document dumped;
        require(dumped.parse(zqjson::dump(document, {indent})), "dump: output is not accepted");
        require(zqtest::describe(dumped) == zqtest::describe(document) &&
                    zqtest::exact_integers(dumped) == zqtest::exact_integers(document),
                "dump: output reads back as another document");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    check_round_trip<zqjson::Object>(input);
    check_round_trip<zqjson::Array>(input);
    check_round_trip<zqjson::Value>(input);
    return 0;
}
