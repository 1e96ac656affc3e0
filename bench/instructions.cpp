// The calls a user makes, one kind at a time, for counting their instructions
// under callgrind (scripts/instructions.sh), which does not move with the
// machine's load as times do:
//
//   instructions MODE FILE COUNT
//
// reads FILE once as an object, then makes COUNT calls of MODE: parse,
// stream, strict (reading FILE), json, compact (operator<< at precision 17),
// dump, dump-indented, jsonx, jxml, jxmlex or tagged (writing the object).
// Counting COUNT = 3 and COUNT = 1 and halving the difference gives the
// instructions of one call.
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <type_traits>
#include <utility>

#include "SnapCommon/ZQJson.h"

using namespace zqjson;

namespace {

// dump(), found by argument-dependent lookup, so that the driver also builds
// against a library from before it, for comparing with one.
template <class D, class = void>
struct HasDump : std::false_type {};
template <class D>
struct HasDump<D, std::void_t<decltype(dump(std::declval<const D&>()))>> : std::true_type {};

template <class D>
std::size_t dumped(const D& document, bool indent) {
    if constexpr (HasDump<D>::value) {
        return (indent ? dump(document, {true}) : dump(document)).size();
    } else {
        (void)document, (void)indent;
        std::cerr << "instructions: this library has no dump()\n";
        std::exit(2);
    }
}

std::size_t call(const std::string& mode, const std::string& text, const Object& document) {
    if (mode == "parse") {
        Object read;
        read.parse(text);
        return read.size();
    }
    if (mode == "stream") {
        std::istringstream in(text);
        Object read;
        read.parse(in);
        return read.size();
    }
    if (mode == "strict") {
        Value read_strictly;
        return zqjson::read(text, read_strictly, nullptr, Syntax::Strict);
    }
    if (mode == "json") return document.json().size();
    if (mode == "compact") {
        std::ostringstream out;
        out.precision(17);
        out << document;
        return out.str().size();
    }
    if (mode == "dump") return dumped(document, false);
    if (mode == "dump-indented") return dumped(document, true);
    const struct {
        const char* name;
        Format format;
    } dialects[] = {{"jsonx", JSONx}, {"jxml", JXML}, {"jxmlex", JXMLex}, {"tagged", TaggedXML}};
    for (const auto& dialect : dialects)
        if (mode == dialect.name) return document.xml(dialect.format, "", "").size();
    std::cerr << "instructions: unknown mode " << mode << "\n";
    std::exit(2);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: instructions MODE FILE COUNT\n";
        return 2;
    }
    std::ifstream in(argv[2], std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    Object document;
    if (!document.parse(text)) {
        std::cerr << "instructions: " << argv[2] << " is not an object\n";
        return 1;
    }
    std::size_t made = 0;
    for (int i = std::atoi(argv[3]); i > 0; --i) made += call(argv[1], text, document);
    std::cout << made << "\n";
    return 0;
}
