// The indented writer's way straight to a stream, for the zqjson tool.
// Internal; never installed or exported.
#ifndef ZQ_JSON_JSON_WRITER_H
#define ZQ_JSON_JSON_WRITER_H

#include <iosfwd>

#include "../ZQJson.h"

namespace zqjson::detail {

// Writes to `out` what `json()` returns, without making a string of it
// first: a large document's text is not held twice.
void write_json(std::ostream& out, const Object& object);
void write_json(std::ostream& out, const Array& array);

}  // namespace zqjson::detail

#endif
