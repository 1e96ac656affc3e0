// The heap a parsed document holds: live heap after the parse minus before
// (mallinfo2), for zqjson and, when installed, nlohmann::json and RapidJSON.
//
//   memory_bench CORPUS_FOLDER
#include <malloc.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "SnapCommon/ZQJson.h"

#ifdef ZQ_HAVE_NLOHMANN
#include <nlohmann/json.hpp>
#endif
#ifdef ZQ_HAVE_RAPIDJSON
#include <rapidjson/document.h>
#endif

namespace {

std::size_t live_heap() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// Bytes `make` leaves on the heap while the document it returns lives.
template <class Make>
std::size_t held_by(Make make) {
    const std::size_t before = live_heap();
    auto document = make();
    return live_heap() - before;
}

void measure(const std::string& name, const std::string& text) {
    const std::size_t ours = held_by([&] {
        auto v = std::make_unique<zqjson::Value>();
        v->parse(text);
        return v;
    });
    std::printf("%-14s zqjson %10zu", name.c_str(), ours);
#ifdef ZQ_HAVE_NLOHMANN
    const std::size_t nlohmann_bytes =
        held_by([&] { return std::make_unique<nlohmann::json>(nlohmann::json::parse(text)); });
    std::printf("   nlohmann %10zu   zqjson/nlohmann %.2fx", nlohmann_bytes,
                static_cast<double>(ours) / static_cast<double>(nlohmann_bytes));
#endif
#ifdef ZQ_HAVE_RAPIDJSON
    const std::size_t rapidjson_bytes = held_by([&] {
        auto doc = std::make_unique<rapidjson::Document>();
        doc->Parse<rapidjson::kParseFullPrecisionFlag>(text.c_str());
        return doc;
    });
    std::printf("   rapidjson %10zu", rapidjson_bytes);
#endif
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: memory_bench CORPUS_FOLDER\n");
        return 2;
    }
    for (const auto& entry : std::filesystem::directory_iterator(argv[1])) {
        if (entry.path().extension() != ".json") continue;
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        measure(entry.path().stem().string(), text);
    }
    return 0;
}
