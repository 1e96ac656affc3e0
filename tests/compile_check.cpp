// One snippet, given by the build, compiled alone against the public header.
#include <cstdint>
#include <string_view>
#include <vector>

#include "SnapCommon/ZQJson.h"

using namespace zqjson;

namespace {
struct Meters {
    operator double() const { return 1; }
};
[[maybe_unused]] int thing = 0;  // only the pointer snippet takes its address
}  // namespace

void check();
void check() { SNIPPET; }
