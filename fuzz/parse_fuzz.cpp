// Parse fuzz target: every input is read as a value, an object, an array and
// a document, from the text in place and through an input string stream;
// the two must agree on acceptance, document, flags and where reading
// stopped. Built for libFuzzer with clang (-DZQ_BUILD_FUZZ=ON); any compiler
// builds the replay main, which runs saved inputs (files or folders).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/parser_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace parser_test;
    const std::string input(reinterpret_cast<const char*>(data), size);
    for (Op op : {Op::Value, Op::Object, Op::Array, Op::Document}) {
        const Outcome text = run(Source::Text, op, input);
        const Outcome stream = run(Source::Stream, op, input);
        if (!(text == stream)) {
            std::fprintf(stderr, "text and stream disagree (op %d)\n", static_cast<int>(op));
            std::abort();
        }
    }
    return 0;
}

#ifndef ZQ_LIBFUZZER
namespace {

void replay(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t inputs = 0;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path path(argv[i]);
        if (std::filesystem::is_directory(path)) {
            for (const auto& entry : std::filesystem::directory_iterator(path)) {
                replay(entry.path());
                ++inputs;
            }
        } else {
            replay(path);
            ++inputs;
        }
    }
    std::printf("replayed %zu inputs\n", inputs);
    return inputs == 0 ? 1 : 0;
}
#endif
