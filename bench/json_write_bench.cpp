// JSON writing, one call per sample with a fresh output as users call it:
// `json()` and `dump(doc, {true})` against the peers' pretty printers, and
// `dump(doc)` and `out << document` (a fresh string stream at precision 17)
// against their compact writers, on the corpus; and the cost per output byte
// as documents get deeper.
//
//   json_write_bench [CORPUS_DIR] [benchmark flags]
//
// Without a corpus folder the comparison runs on a generated document.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "SnapCommon/ZQJson.h"
#include "bench/depth_document.h"

#ifdef ZQ_HAVE_NLOHMANN
#include <nlohmann/json.hpp>
#endif
#ifdef ZQ_HAVE_RAPIDJSON
#include <rapidjson/document.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#endif

using namespace zqjson;

namespace {

struct Corpus {
    std::string name;
    std::string text;
};

// Every benchmark reports bytes per second of its own output.
void report_output(benchmark::State& state, std::size_t bytes) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
    state.counters["output_bytes"] = static_cast<double>(bytes);
}

// Whether a text holds an object, an array, or neither that reads.
enum class Opened { Nothing, Object, Array };
Opened open_document(const std::string& text, Object& object, Array& array) {
    const std::size_t start = text.find_first_not_of(" \t\r\n");
    if (start == std::string::npos) return Opened::Nothing;
    if (text[start] == '{') return object.parse(text) ? Opened::Object : Opened::Nothing;
    if (text[start] == '[') return array.parse(text) ? Opened::Array : Opened::Nothing;
    return Opened::Nothing;
}

// One corpus document read by each library, all before any benchmark runs:
// a document's speed depends on where its nodes lie, and reading it in the
// middle of the run would put them among the holes that the earlier
// benchmarks left behind. Each library reads all its documents in a row.
struct Loaded {
    explicit Loaded(Corpus c) : corpus(std::move(c)), opened(open_document(corpus.text, object, array)) {}
    std::string json() const { return opened == Opened::Object ? object.json() : array.json(); }

    void read_for_peers() {
#ifdef ZQ_HAVE_NLOHMANN
        nlohmann_document = nlohmann::json::parse(corpus.text);
#endif
#ifdef ZQ_HAVE_RAPIDJSON
        rapidjson_document.Parse(corpus.text.c_str());
#endif
    }

    Corpus corpus;
    Object object;
    Array array;
    Opened opened;
#ifdef ZQ_HAVE_NLOHMANN
    nlohmann::json nlohmann_document;
#endif
#ifdef ZQ_HAVE_RAPIDJSON
    rapidjson::Document rapidjson_document;
#endif
};

// ---------------------------------------------------------------------------
// Ours

void BM_Json(benchmark::State& state, const Loaded* loaded) {
    if (loaded->opened == Opened::Nothing) return state.SkipWithError("not accepted");
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::string text = loaded->json();
        bytes = text.size();
        benchmark::DoNotOptimize(text);
    }
    report_output(state, bytes);
}

// One call with a fresh stream, at full precision, as a user writes a file.
void BM_Compact(benchmark::State& state, const Loaded* loaded) {
    if (loaded->opened == Opened::Nothing) return state.SkipWithError("not accepted");
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::ostringstream out;
        out.precision(17);
        if (loaded->opened == Opened::Object) {
            out << loaded->object;
        } else {
            out << loaded->array;
        }
        bytes = static_cast<std::size_t>(out.tellp());
        benchmark::DoNotOptimize(out);
    }
    report_output(state, bytes);
}

// The one call that keeps every number, on one line or indented.
void BM_Dump(benchmark::State& state, const Loaded* loaded, bool indent) {
    if (loaded->opened == Opened::Nothing) return state.SkipWithError("not accepted");
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::string text =
            loaded->opened == Opened::Object ? dump(loaded->object, {indent}) : dump(loaded->array, {indent});
        bytes = text.size();
        benchmark::DoNotOptimize(text);
    }
    report_output(state, bytes);
}

// Reading included.
void BM_Reformat(benchmark::State& state, const Loaded* loaded) {
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::string text = reformat(loaded->corpus.text);
        bytes = text.size();
        benchmark::DoNotOptimize(text);
    }
    if (bytes == 0) return state.SkipWithError("not accepted");
    report_output(state, bytes);
}

// ---------------------------------------------------------------------------
// Peers, each with the same TAB-per-level layout

#ifdef ZQ_HAVE_NLOHMANN
void BM_NlohmannDump(benchmark::State& state, const Loaded* loaded) {
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::string text = loaded->nlohmann_document.dump(1, '\t');
        bytes = text.size();
        benchmark::DoNotOptimize(text);
    }
    report_output(state, bytes);
}
#endif

#ifdef ZQ_HAVE_NLOHMANN
void BM_NlohmannCompact(benchmark::State& state, const Loaded* loaded) {
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::string text = loaded->nlohmann_document.dump();
        bytes = text.size();
        benchmark::DoNotOptimize(text);
    }
    report_output(state, bytes);
}
#endif

#ifdef ZQ_HAVE_RAPIDJSON
void BM_RapidJsonWriter(benchmark::State& state, const Loaded* loaded) {
    if (loaded->rapidjson_document.HasParseError()) return state.SkipWithError("not accepted");
    std::size_t bytes = 0;
    for (auto _ : state) {
        rapidjson::StringBuffer buffer;
        rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
        loaded->rapidjson_document.Accept(writer);
        bytes = buffer.GetSize();
        benchmark::DoNotOptimize(buffer.GetString());
    }
    report_output(state, bytes);
}

void BM_RapidJsonPrettyWriter(benchmark::State& state, const Loaded* loaded) {
    if (loaded->rapidjson_document.HasParseError()) return state.SkipWithError("not accepted");
    std::size_t bytes = 0;
    for (auto _ : state) {
        rapidjson::StringBuffer buffer;
        rapidjson::PrettyWriter<rapidjson::StringBuffer> writer(buffer);
        writer.SetIndent('\t', 1);
        loaded->rapidjson_document.Accept(writer);
        bytes = buffer.GetSize();
        benchmark::DoNotOptimize(buffer.GetString());
    }
    report_output(state, bytes);
}
#endif

// ---------------------------------------------------------------------------
// Depth scaling

constexpr int kBulkScalars = 500'000;

void BM_JsonByDepth(benchmark::State& state) {
    const Array document = zq_bench::depth_document(kBulkScalars, static_cast<int>(state.range(0)));
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::string text = document.json();
        bytes = text.size();
        benchmark::DoNotOptimize(text);
    }
    report_output(state, bytes);
}
BENCHMARK(BM_JsonByDepth)->Arg(1)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------------------
// Corpus

constexpr const char* kCorpusFiles[] = {"twitter.json", "citm_catalog.json", "canada.json"};

bool load_corpus(const std::string& folder, std::vector<Corpus>& corpora) {
    for (const char* file : kCorpusFiles) {
        std::ifstream in(folder + "/" + file, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "json_write_bench: cannot read %s/%s\n", folder.c_str(), file);
            return false;
        }
        std::ostringstream text;
        text << in.rdbuf();
        corpora.push_back({file, text.str()});
    }
    return true;
}

// Records of mixed members, written compactly at full precision.
Corpus generated_corpus() {
    constexpr int kRecords = 20'000;
    Array records;
    for (int i = 0; i < kRecords; ++i) {
        Object record;
        record.import("id", Value(Number(i)));
        record.import("name", Value("record \"" + std::to_string(i) + "\"/\xc3\xa9"));
        record.import("score", Value(Number(i) / 7));
        record.import("active", Value(i % 3 == 0));
        record.import("tags", Value(Array(Value("a")) << Value("b")));
        record.import("origin", Value(Object("x", Value(Number(i) * 0.25))));
        records.import(Value(record));
    }
    std::ostringstream text;
    text.precision(17);
    text << records;
    return {"generated", text.str()};
}

void register_benchmarks(const Loaded& loaded) {
    const std::string suffix = "/" + loaded.corpus.name;
    benchmark::RegisterBenchmark(("json" + suffix).c_str(), BM_Json, &loaded)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("reformat" + suffix).c_str(), BM_Reformat, &loaded)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("compact" + suffix).c_str(), BM_Compact, &loaded)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("dump" + suffix).c_str(), BM_Dump, &loaded, false)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("dump_indented" + suffix).c_str(), BM_Dump, &loaded, true)
        ->Unit(benchmark::kMillisecond);
#ifdef ZQ_HAVE_NLOHMANN
    benchmark::RegisterBenchmark(("nlohmann_compact" + suffix).c_str(), BM_NlohmannCompact, &loaded)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("nlohmann_dump" + suffix).c_str(), BM_NlohmannDump, &loaded)
        ->Unit(benchmark::kMillisecond);
#endif
#ifdef ZQ_HAVE_RAPIDJSON
    benchmark::RegisterBenchmark(("rapidjson_compact" + suffix).c_str(), BM_RapidJsonWriter, &loaded)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("rapidjson_pretty" + suffix).c_str(), BM_RapidJsonPrettyWriter, &loaded)
        ->Unit(benchmark::kMillisecond);
#endif
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    std::vector<Corpus> corpora;
    if (argc > 1) {
        if (!load_corpus(argv[1], corpora)) return 2;
    } else {
        corpora.push_back(generated_corpus());
    }
    std::vector<std::unique_ptr<Loaded>> loaded;
    for (Corpus& corpus : corpora) loaded.push_back(std::make_unique<Loaded>(std::move(corpus)));
    for (const auto& document : loaded) document->read_for_peers();
    for (const auto& document : loaded) register_benchmarks(*document);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
