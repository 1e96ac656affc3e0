// The library's failure report. It ends in the runtime's assertion failure in
// every build, also in those that compile other assertions out.
#undef NDEBUG
#include <cassert>
#include <cstdio>

#include "../ZQJson.h"

namespace zqjson {

void assertion(const char* file, int line, const char* expr, bool ok) {
    if (ok) return;
    std::fprintf(stderr, "[ZQJSON] expression '%s' failed at %s:%d -> ", expr, file, line);
    assert(0);
}

}  // namespace zqjson
