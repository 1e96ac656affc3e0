// One snippet, given by the build, compiled alone against the public header.
#include <algorithm>
#include <cstdint>
#include <iostream>
#include <map>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "SnapCommon/ZQJson.h"

using namespace zqjson;

namespace {
struct Meters {
    operator double() const { return 1; }
};
[[maybe_unused]] int thing = 0;  // only the pointer snippets take its address

// What the snippets work on, so that each is one statement.
[[maybe_unused]] Value doc;
[[maybe_unused]] Object obj;
[[maybe_unused]] Array arr;
[[maybe_unused]] const Object& cobj = obj;
[[maybe_unused]] const Array& carr = arr;
[[maybe_unused]] std::vector<Value> values;
[[maybe_unused]] bool by_kind(const Value& a, const Value& b) { return a.type() < b.type(); }
}  // namespace

// Application code often declares an operator<< of its own, which hides the
// global ones from ordinary lookup inside its namespace.
namespace elsewhere {
struct Own {};
[[maybe_unused]] std::ostream& operator<<(std::ostream& out, Own) { return out; }

void check();
void check() { SNIPPET; }
}  // namespace elsewhere
