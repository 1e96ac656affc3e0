// XML rendering in each dialect against the indented JSON rendering of the
// same documents, in bytes of output per second; and the cost per output
// byte as nesting deepens at constant output size.
//
//   xml_bench [CORPUS_DIR] [benchmark flags]
//
// CORPUS_DIR holds twitter.json, citm_catalog.json and canada.json; without
// it a generated document stands in.
#include <benchmark/benchmark.h>

#include <fstream>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "SnapCommon/ZQJson.h"

using namespace zqjson;

namespace {

const char* const kCorpus[] = {"twitter.json", "citm_catalog.json", "canada.json"};

const std::pair<const char*, Format> kRenderings[] = {
    {"json", JSON}, {"jsonx", JSONx}, {"jxml", JXML}, {"jxmlex", JXMLex}, {"tagged", TaggedXML},
};

std::string render(const Value& document, Format format) {
    if (document.is<Object>()) return document.get<Object>().write(format);
    const Array& array = document.get<Array>();
    return format == JSON ? array.json() : array.xml(format, "", "");
}

void bench_rendering(benchmark::State& state, const Value& document, Format format) {
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::string out = render(document, format);
        benchmark::DoNotOptimize(out.data());
        bytes += out.size();
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
}

// Records of strings, numbers, booleans, nulls and nested containers, for
// runs without the corpus.
Value generated_document() {
    Array records;
    for (int i = 0; i < 2000; ++i) {
        Object user;
        user.import("name", Value("user " + std::to_string(i)));
        user.import("followers", Value(Number(i * 37)));
        Object record;
        record.import("id", Value(Number(1e12 + i)));
        record.import("text", Value("a <short> text & some \"quotes\", number " + std::to_string(i)));
        record.import("lang", Value("en"));
        record.import("retweeted", Value(i % 3 == 0));
        record.import("place", Value(Null()));
        record.import("coordinates", Value(Array(Value(Number(i * 0.25))) << Value(Number(-i * 1.5))));
        record.import("user", Value(user));
        records << Value(record);
    }
    return Value(Object("statuses", Value(records)));
}

Value load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    Value document;
    if (!in || !Value::parse(in, document) || !(document.is<Object>() || document.is<Array>())) {
        std::cerr << "cannot read " << path << "\n";
        std::exit(1);
    }
    return document;
}

// Scaling: a chain of `depth` nested objects, each level holding `width`
// string members besides the next level.
Value chain(std::size_t depth, std::size_t width) {
    Object level;
    for (std::size_t d = depth; d > 0; --d) {
        Object outer;
        for (std::size_t i = 0; i < width; ++i)
            outer.import("member" + std::to_string(i), Value("level " + std::to_string(d) + " text"));
        if (d < depth) outer.import("deeper", Value(level));
        level = outer;
    }
    return Value(level);
}

// Widens the chain until its rendering is about `bytes` long.
Value chain_of_size(std::size_t depth, std::size_t bytes, Format format) {
    const std::size_t probe_width = 4;
    const std::size_t probe_bytes = render(chain(depth, probe_width), format).size();
    const std::size_t width = std::max<std::size_t>(1, probe_width * bytes / probe_bytes);
    return chain(depth, width);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    std::vector<std::pair<std::string, Value>> documents;
    if (argc > 1) {
        for (const char* name : kCorpus) documents.emplace_back(name, load(std::string(argv[1]) + "/" + name));
    } else {
        documents.emplace_back("generated", generated_document());
    }
    for (const auto& [name, document] : documents)
        for (const auto& [rendering, format] : kRenderings)
            benchmark::RegisterBenchmark((rendering + std::string("/") + name).c_str(), bench_rendering,
                                         std::cref(document), format);

    constexpr std::size_t kScalingBytes = 1 << 20;
    std::vector<Value> chains;
    chains.reserve(4);
    for (const std::size_t depth : {1, 10, 100, 1000}) {
        chains.push_back(chain_of_size(depth, kScalingBytes, TaggedXML));
        benchmark::RegisterBenchmark(("tagged_depth/" + std::to_string(depth)).c_str(), bench_rendering,
                                     std::cref(chains.back()), TaggedXML);
    }

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
}
