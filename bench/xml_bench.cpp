// XML rendering in each dialect against the indented JSON rendering of the
// same documents, in bytes of output per second; and the cost per output
// byte as nesting deepens at constant output size.
//
//   xml_bench [CORPUS_DIR] [benchmark flags]
//
// CORPUS_DIR holds twitter.json, citm_catalog.json and canada.json; without
// it a generated document stands in.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "SnapCommon/ZQJson.h"
#include "bench/depth_document.h"

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

void load(const std::string& path, Value& document) {
    std::ifstream in(path, std::ios::binary);
    if (!in || !Value::parse(in, document) || !(document.is<Object>() || document.is<Array>())) {
        std::cerr << "xml_bench: cannot read " << path << "\n";
        std::exit(2);
    }
}

// ---------------------------------------------------------------------------
// Depth scaling

constexpr int kBulkScalars = 100'000;

Value deep_document(int depth) { return Value(zq_bench::depth_document(kBulkScalars, depth)); }

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    // Every document is in place before any benchmark runs, none copied after.
    std::vector<std::pair<std::string, Value>> documents;
    documents.reserve(std::size(kCorpus));
    if (argc > 1) {
        for (const char* name : kCorpus) {
            documents.emplace_back(name, Value());
            load(std::string(argv[1]) + "/" + name, documents.back().second);
        }
    } else {
        documents.emplace_back("generated", generated_document());
    }
    for (const auto& [name, document] : documents)
        for (const auto& [rendering, format] : kRenderings)
            benchmark::RegisterBenchmark((rendering + std::string("/") + name).c_str(), bench_rendering,
                                         std::cref(document), format)
                ->Unit(benchmark::kMillisecond);

    const int depths[] = {1, 10, 100, 1000};
    std::vector<Value> deep;
    deep.reserve(std::size(depths));
    for (const int depth : depths) {
        deep.push_back(deep_document(depth));
        benchmark::RegisterBenchmark(("tagged_depth/" + std::to_string(depth)).c_str(), bench_rendering,
                                     std::cref(deep.back()), TaggedXML)
            ->Unit(benchmark::kMillisecond);
    }

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
}
