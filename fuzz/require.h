// The fuzz targets' check: a broken property aborts, which libFuzzer reports
// as a crash, keeping the input, and which fails a replay under ctest.
#ifndef ZQ_FUZZ_REQUIRE_H
#define ZQ_FUZZ_REQUIRE_H

#include <cstdio>
#include <cstdlib>

namespace zq_fuzz {

inline void require(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

}  // namespace zq_fuzz

#endif
