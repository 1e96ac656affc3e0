// Parse fuzz target: every input is read as a value (leniently and
// strictly), an object, an array and a sequence of documents, from the text
// and through an input string stream; the two must agree on acceptance,
// document, where reading stopped and why. Built for libFuzzer with clang
// (-DZQ_BUILD_FUZZ=ON); any compiler builds the replay main, which runs saved
// inputs (files or folders).
#include <cstdint>
#include <sstream>
#include <string>

#include "SnapCommon/ZQJson.h"
#include "fuzz/replay_main.h"
#include "fuzz/require.h"
#include "tests/support/TestSupport.h"

namespace {

using zq_fuzz::require;
using zqtest::describe;

// What reading gave: the verdict, the document, and where and why it stopped.
std::string outcome(bool ok, const std::string& document, const zqjson::ReadError& error) {
    return (ok ? "accepted " : "refused ") + document + " at " + std::to_string(error.offset) + " " + error.reason;
}

void check_read(const std::string& input, zqjson::Syntax syntax) {
    zqjson::Value from_text, from_stream;
    zqjson::ReadError text_error, stream_error;
    const bool text_ok = zqjson::read(input, from_text, &text_error, syntax);
    std::istringstream stream(input);
    const bool stream_ok = zqjson::read(stream, from_stream, &stream_error, syntax);
    require(
        outcome(text_ok, describe(from_text), text_error) == outcome(stream_ok, describe(from_stream), stream_error),
        "read: text and stream disagree");
}

// Value::parse, Object::parse and Array::parse: the same document from the
// text and from a stream, and the stream left where the text reader stopped.
template <class Document>
void check_parse(const std::string& input) {
    Document from_text, from_stream;
    const bool text_ok = from_text.parse(input);
    std::istringstream stream(input);
    const bool stream_ok = from_stream.parse(stream);
    require(text_ok == stream_ok && describe(from_text) == describe(from_stream), "parse: text and stream disagree");
}

std::string documents_of(std::istream& in, zqjson::Syntax syntax) {
    std::string seen;
    zqjson::ReadError error;
    const bool ok = zqjson::read_each(
        in,
        [&](zqjson::Value& document) {
            seen += describe(document) + ";";
            return true;
        },
        &error, syntax);
    return outcome(ok, seen, error) + " document " + std::to_string(error.document);
}

void check_read_each(const std::string& input, zqjson::Syntax syntax) {
    std::istringstream stream(input);
    zqtest::TrickleBuffer trickle(input, 1 + input.size() % 7);
    std::istream trickling(&trickle);
    require(documents_of(stream, syntax) == documents_of(trickling, syntax),
            "read_each: a string stream and a trickle disagree");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    for (const zqjson::Syntax syntax : {zqjson::Syntax::Lenient, zqjson::Syntax::Strict}) {
        check_read(input, syntax);
        check_read_each(input, syntax);
    }
    check_parse<zqjson::Value>(input);
    check_parse<zqjson::Object>(input);
    check_parse<zqjson::Array>(input);
    return 0;
}
