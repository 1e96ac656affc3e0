// The module as a host sees it: its dynamic symbol table, its run path, and
// the probe's verdict on it and on modules with a fault.
#include <cxxabi.h>
#include <dlfcn.h>
#include <elf.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "SnapCommon/ZQJson.h"

namespace {

// Written out, not taken from the engine header's list: the module's entry
// points are generated from that list, and this checks what it generated.
const std::vector<std::string> kEntryPoints = {
    "zqso_version",         "zqso_isSupported", "zqso_prepareDevices", "zqso_unprepareDevices", "zqso_snapDevices",
    "zqso_postSnapDevices", "zqso_isMapped",    "zqso_mapSnaps",       "zqso_unmapSnaps",       "zqso_deleteSnaps",
    "zqso_revertSnaps",     "zqso_fileRevert",  "zqso_reconcileSnaps"};

// The parts of a 64-bit ELF shared object this test reads. The test runs on
// the module's own platform, so the file's byte order is the native one.
struct DynamicInfo {
    std::vector<std::string> defined_symbols;  // that a host can bind to
    std::vector<std::string> unique_symbols;   // bound STB_GNU_UNIQUE: the module could never be unloaded
    std::string runpath;
};

template <class T>
const T& at(const std::string& image, std::size_t offset) {
    if (offset + sizeof(T) > image.size()) throw std::runtime_error("truncated ELF file");
    return *reinterpret_cast<const T*>(image.data() + offset);
}

DynamicInfo read_dynamic_info(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    const std::string image((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const auto& header = at<Elf64_Ehdr>(image, 0);
    DynamicInfo info;
    for (unsigned i = 0; i < header.e_shnum; ++i) {
        const auto& section = at<Elf64_Shdr>(image, header.e_shoff + i * header.e_shentsize);
        const auto& strings = at<Elf64_Shdr>(image, header.e_shoff + section.sh_link * header.e_shentsize);
        auto string_at = [&](std::size_t index) { return std::string(&at<char>(image, strings.sh_offset + index)); };
        if (section.sh_type == SHT_DYNSYM) {
            for (std::size_t off = sizeof(Elf64_Sym); off < section.sh_size; off += sizeof(Elf64_Sym)) {
                const auto& sym = at<Elf64_Sym>(image, section.sh_offset + off);
                // Local symbols (the section symbols some targets keep) bind nothing for a host.
                if (sym.st_shndx == SHN_UNDEF || ELF64_ST_BIND(sym.st_info) == STB_LOCAL) continue;
                info.defined_symbols.push_back(string_at(sym.st_name));
                if (ELF64_ST_BIND(sym.st_info) == STB_GNU_UNIQUE) info.unique_symbols.push_back(string_at(sym.st_name));
            }
        } else if (section.sh_type == SHT_DYNAMIC) {
            for (std::size_t off = 0; off < section.sh_size; off += sizeof(Elf64_Dyn)) {
                const auto& entry = at<Elf64_Dyn>(image, section.sh_offset + off);
                if (entry.d_tag == DT_RUNPATH || entry.d_tag == DT_RPATH) info.runpath = string_at(entry.d_un.d_val);
            }
        }
    }
    return info;
}

std::string demangle(const std::string& name) {
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> text(abi::__cxa_demangle(name.c_str(), nullptr, nullptr, &status),
                                                std::free);
    return status == 0 ? text.get() : name;
}

// The JSON library's API: every symbol of namespace zqjson, and the stream
// output of its three types.
bool is_library_api(const std::string& demangled) {
    if (demangled.rfind("zqjson::", 0) == 0) return true;
    for (const char* type : {"Value", "Object", "Array"}) {
        if (demangled == std::string("operator<<(std::ostream&, zqjson::") + type + " const&)") return true;
    }
    return false;
}

// Whether the file at `path` is mapped into this process.
bool is_mapped(const std::string& path) {
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);) {
        if (line.size() >= path.size() && line.compare(line.size() - path.size(), path.size(), path) == 0) return true;
    }
    return false;
}

struct ProbeRun {
    int exit_code;
    std::string output;  // standard output and standard error together
};

ProbeRun run_probe(const std::string& args) {
    const std::string command = std::string(ZQ_EMULATOR) + " " + ZQ_PROBE + " " + args + " 2>&1";
    ProbeRun run{-1, {}};
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char chunk[4096];
    std::size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, pipe)) > 0) run.output.append(chunk, n);
    const int status = pclose(pipe);
    run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

}  // namespace

TEST(Module, ExportsTheThirteenEntryPointsUnmangled) {
    const DynamicInfo info = read_dynamic_info(ZQ_MODULE);
    std::set<std::string> engine;
    for (const auto& name : info.defined_symbols)
        if (name.rfind("zqso_", 0) == 0) engine.insert(name);
    EXPECT_EQ(engine, std::set<std::string>(kEntryPoints.begin(), kEntryPoints.end()));
}

TEST(Module, ExportsThePublicLibraryAndNothingInternal) {
    const DynamicInfo info = read_dynamic_info(ZQ_MODULE);
    std::vector<std::string> internal;
    bool has_public_api = false;
    for (const auto& name : info.defined_symbols) {
        const std::string text = demangle(name);
        for (const char* hidden : {"zqjson::detail::", "(anonymous namespace)"})
            if (text.find(hidden) != std::string::npos) internal.push_back(text);
        if (text.rfind("zqjson::assertion(", 0) == 0) has_public_api = true;
    }
    EXPECT_TRUE(has_public_api);
    EXPECT_EQ(internal, std::vector<std::string>{});
}

// Nothing of the standard library leaves the module: a host sees the entry
// points and the API alone, and no unique symbol keeps the module loaded.
TEST(Module, ExportsTheEntryPointsAndTheLibraryAlone) {
    const DynamicInfo info = read_dynamic_info(ZQ_MODULE);
    std::vector<std::string> foreign;
    std::size_t stream_outputs = 0;
    for (const auto& name : info.defined_symbols) {
        if (std::find(kEntryPoints.begin(), kEntryPoints.end(), name) != kEntryPoints.end()) continue;
        const std::string text = demangle(name);
        if (!is_library_api(text)) foreign.push_back(text);
        if (text.rfind("operator<<", 0) == 0) ++stream_outputs;
    }
    EXPECT_EQ(foreign, std::vector<std::string>{});
    EXPECT_EQ(stream_outputs, 3u);
    EXPECT_EQ(info.unique_symbols, std::vector<std::string>{});
}

// A host unloads the engine, and loads it again: the module is gone from
// memory in between, and works the same each time.
TEST(Module, UnloadsAndLoadsAgain) {
    using Snap = int (*)(void*, std::int16_t, void*);
    using Reformat = std::string (*)(const zqjson::String&);
    const std::string path = std::filesystem::canonical(ZQ_MODULE).string();
    const std::string text = "{\"k\": [1, 'two', {}], \"e\": null}";
    for (int load = 1; load <= 2; ++load) {
        SCOPED_TRACE(load);
        void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(module, nullptr) << dlerror();
        const auto snap = reinterpret_cast<Snap>(dlsym(module, "zqso_snapDevices"));
        const auto reformat = reinterpret_cast<Reformat>(
            dlsym(module, "_ZN6zqjson8reformatERKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE"));
        ASSERT_NE(snap, nullptr);
        ASSERT_NE(reformat, nullptr);
        EXPECT_EQ(snap(nullptr, 0, nullptr), 1);
        EXPECT_EQ(reformat(text), zqjson::reformat(text));
        EXPECT_EQ(dlclose(module), 0);
        EXPECT_FALSE(is_mapped(path));
    }
}

TEST(Module, RunPathLooksBesideTheModuleThenInBase64) {
    EXPECT_EQ(read_dynamic_info(ZQ_MODULE).runpath, "$ORIGIN:$ORIGIN/../Base64");
}

TEST(Probe, PassesTheNullEngine) {
    const ProbeRun run = run_probe(std::string("--call ") + ZQ_MODULE);
    EXPECT_EQ(run.exit_code, 0) << run.output;
    EXPECT_NE(run.output.find("PASS: 13 of 13"), std::string::npos) << run.output;
}

TEST(Probe, FailsEachFaultyModuleNamingTheFault) {
    struct Case {
        const char* module;
        const char* says;
    };
    const Case cases[] = {
        {ZQ_FAULTY_MISSING_ENTRY, "has no entry point zqso_reconcileSnaps"},
        {ZQ_FAULTY_WRONG_STATUS, "answered 0, expected 1"},
        {ZQ_FAULTY_SCRIBBLE, "changed byte 0 of buffer 2"},
        {"/nonexistent/engine.so", "cannot open module '/nonexistent/engine.so'"},
        {ZQ_PROBE, "cannot load"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.module);
        const ProbeRun run = run_probe(std::string("--call ") + c.module);
        EXPECT_EQ(run.exit_code, 1) << run.output;
        EXPECT_NE(run.output.find(c.says), std::string::npos) << run.output;
    }
}

TEST(Probe, UsageErrorsAndHelp) {
    EXPECT_EQ(run_probe("").exit_code, 2);
    EXPECT_EQ(run_probe("--bogus x.so").exit_code, 2);
    const ProbeRun help = run_probe("--help");
    EXPECT_EQ(help.exit_code, 0);
    EXPECT_NE(help.output.find("usage: zqso-probe"), std::string::npos);
}
