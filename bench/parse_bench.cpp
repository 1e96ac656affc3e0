// Parse throughput: zqjson from text (lenient and strict) and from a stream, side by side in one
// run with nlohmann::json (string and std::istream) and RapidJSON with full
// precision, when those are installed.
//
//   parse_bench [CORPUS_FOLDER] [benchmark flags]
//
// Each .json file of the folder is a case; without a folder, a generated
// document is. Every iteration builds the whole document and frees it; the
// stream cases include making the input string stream.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "SnapCommon/ZQJson.h"

#ifdef ZQ_HAVE_NLOHMANN
#include <nlohmann/json.hpp>
#endif
#ifdef ZQ_HAVE_RAPIDJSON
#include <rapidjson/document.h>
#endif

namespace {

struct Document {
    std::string name;
    std::string text;
};

std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// About a megabyte of records: keys, short and escaped strings, integers,
// floating-point pairs and nested arrays.
std::string generated_document() {
    std::mt19937 rng(42);
    std::uniform_real_distribution<double> coordinate(-180, 180);
    std::ostringstream out;
    out.precision(17);
    out << "{\"records\":[";
    for (int i = 0; i < 4000; ++i) {
        if (i) out << ',';
        out << "{\"id\":" << rng() << ",\"name\":\"record \\u00e9 " << i
            << "\",\"active\":" << (i % 2 ? "true" : "false")
            << ",\"note\":null,\"tags\":[\"a\",\"bc\",\"def\"],\"path\":[";
        for (int j = 0; j < 8; ++j) out << (j ? "," : "") << '[' << coordinate(rng) << ',' << coordinate(rng) << ']';
        out << "]}";
    }
    out << "]}";
    return out.str();
}

std::vector<Document> load(int argc, char** argv) {
    std::vector<Document> documents;
    if (argc > 1) {
        for (const auto& entry : std::filesystem::directory_iterator(argv[1]))
            if (entry.path().extension() == ".json")
                documents.push_back({entry.path().stem().string(), read_file(entry.path())});
        std::sort(documents.begin(), documents.end(),
                  [](const Document& a, const Document& b) { return a.name < b.name; });
    }
    if (documents.empty()) documents.push_back({"generated", generated_document()});
    return documents;
}

// `parse` returns the document it built; freeing it is not timed, for any
// library, so that the figures compare parsing alone.
template <class Parse>
void add(const std::string& name, const std::string& text, Parse parse) {
    benchmark::RegisterBenchmark(name.c_str(), [&text, parse](benchmark::State& state) {
        for (auto _ : state) {
            auto document = parse(text);
            benchmark::DoNotOptimize(document.get());
            state.PauseTiming();
            document.reset();
            state.ResumeTiming();
        }
        state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
    })->Unit(benchmark::kMillisecond);
}

template <class Document>
std::unique_ptr<Document> accepted(std::unique_ptr<Document> document, bool ok) {
    if (!ok) document.reset();
    return document;
}

void register_all(const std::vector<Document>& documents) {
    for (const Document& d : documents) {
        add("zqjson_text/" + d.name, d.text, [](const std::string& text) {
            auto v = std::make_unique<zqjson::Value>();
            const bool ok = v->parse(text);
            return accepted(std::move(v), ok);
        });
        add("zqjson_strict/" + d.name, d.text, [](const std::string& text) {
            auto v = std::make_unique<zqjson::Value>();
            const bool ok = zqjson::read(text, *v, nullptr, zqjson::Syntax::Strict);
            return accepted(std::move(v), ok);
        });
        add("zqjson_stream/" + d.name, d.text, [](const std::string& text) {
            std::istringstream in(text);
            auto v = std::make_unique<zqjson::Value>();
            const bool ok = v->parse(in);
            return accepted(std::move(v), ok);
        });
#ifdef ZQ_HAVE_NLOHMANN
        add("nlohmann_string/" + d.name, d.text,
            [](const std::string& text) { return std::make_unique<nlohmann::json>(nlohmann::json::parse(text)); });
        add("nlohmann_istream/" + d.name, d.text, [](const std::string& text) {
            std::istringstream in(text);
            return std::make_unique<nlohmann::json>(nlohmann::json::parse(in));
        });
#endif
#ifdef ZQ_HAVE_RAPIDJSON
        add("rapidjson_fullprec/" + d.name, d.text, [](const std::string& text) {
            auto doc = std::make_unique<rapidjson::Document>();
            doc->Parse<rapidjson::kParseFullPrecisionFlag>(text.c_str());
            const bool ok = !doc->HasParseError();
            return accepted(std::move(doc), ok);
        });
#endif
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    // The C library's allocator raises its trim threshold after the first
    // large block is freed; free one up front so that every case runs under
    // the same allocator state, whatever the order.
    benchmark::DoNotOptimize(std::vector<char>(16 << 20).data());
    static const std::vector<Document> documents = load(argc, argv);
    for (const Document& d : documents) {
        zqjson::Value v;
        if (!v.parse(d.text)) std::fprintf(stderr, "warning: %s is not accepted\n", d.name.c_str());
    }
    register_all(documents);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
