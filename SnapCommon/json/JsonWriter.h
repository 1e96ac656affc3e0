// The writers' ways straight to a stream, for the zqjson tool. Internal;
// never installed or exported.
#ifndef ZQ_JSON_JSON_WRITER_H
#define ZQ_JSON_JSON_WRITER_H

#include <iosfwd>

#include "../ZQJson.h"
#include "Text.h"

namespace zqjson::detail {

// Writes to `out` what `json()` returns, without making a string of it
// first: a large document's text is not held twice. A scalar root is
// written as a one-line document.
void write_json(std::ostream& out, const Value& root, NumberForm numbers);
void write_json(std::ostream& out, const Object& root, NumberForm numbers);
void write_json(std::ostream& out, const Array& root, NumberForm numbers);

// Writes what `out << root` writes; with NumberForm::Exact numbers take
// their shortest exact text whatever the stream's precision.
void write_compact(std::ostream& out, const Value& root, NumberForm numbers);
void write_compact(std::ostream& out, const Object& root, NumberForm numbers);
void write_compact(std::ostream& out, const Array& root, NumberForm numbers);

}  // namespace zqjson::detail

#endif
