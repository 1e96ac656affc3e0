// The main of a fuzz target's replay build: runs the saved inputs (files, or
// every file of a folder) through the target once each, so that any compiler
// builds the targets and ctest reruns what the fuzzer once found.
#ifndef ZQ_FUZZ_REPLAY_MAIN_H
#define ZQ_FUZZ_REPLAY_MAIN_H

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

#ifndef ZQ_LIBFUZZER
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace zq_fuzz {

inline void replay(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
}

}  // namespace zq_fuzz

int main(int argc, char** argv) {
    std::size_t inputs = 0;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path path(argv[i]);
        if (std::filesystem::is_directory(path)) {
            for (const auto& entry : std::filesystem::directory_iterator(path)) {
                zq_fuzz::replay(entry.path());
                ++inputs;
            }
        } else {
            zq_fuzz::replay(path);
            ++inputs;
        }
    }
    std::printf("replayed %zu inputs\n", inputs);
    return inputs == 0 ? 1 : 0;
}
#endif

#endif
