// JSON writing: string escaping, the compact stream output and the indented
// rendering.
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <ostream>
#include <string_view>

#include "../ZQJson.h"
#include "ModelAccess.h"
#include "Text.h"

namespace zqjson {

namespace {

// What each byte is written as inside a JSON string. Built once, on first
// use; the language makes that safe under concurrent first calls.
const std::array<std::string, 256>& escape_table() {
    static const std::array<std::string, 256> map = [] {
        std::array<std::string, 256> table;
        constexpr char kHex[] = "0123456789abcdef";
        for (int b = 0; b < 256; ++b) table[b] = std::string(1, static_cast<char>(b));
        for (int b = 0; b < 0x20; ++b) table[b] = std::string("\\u00") + kHex[b >> 4] + kHex[b & 15];
        table['"'] = "\\\"";
        table['\\'] = "\\\\";
        table['/'] = "\\/";
        table['\b'] = "\\b";
        table['\f'] = "\\f";
        table['\n'] = "\\n";
        table['\r'] = "\\r";
        table['\t'] = "\\t";
        return table;
    }();
    return map;
}

constexpr std::array<bool, 256> kNeedsEscape = [] {
    std::array<bool, 256> flags{};
    for (int b = 0; b < 0x20; ++b) flags[b] = true;
    flags['"'] = flags['\\'] = flags['/'] = true;
    return flags;
}();

// Hands the text over as runs of bytes that stand for themselves, passed to
// `plain` in one piece each, and single bytes that take an escape, passed to
// `escaped` as their table entry. Most text has no escapes at all, so it
// leaves in one piece.
template <class Plain, class Escaped>
void for_each_run(std::string_view text, Plain plain, Escaped escaped) {
    const auto& table = escape_table();
    const char* run = text.data();
    const char* const end = run + text.size();
    for (const char* p = run; p != end; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (!kNeedsEscape[c]) continue;
        plain(run, static_cast<std::size_t>(p - run));
        escaped(table[c]);
        run = p + 1;
    }
    plain(run, static_cast<std::size_t>(end - run));
}

// Integers below this print in full at kNumberDigits digits, so they can
// skip the general floating-point formatting.
constexpr double kExactIntegerBound = 1e16;

bool is_plain_integer(double d) {
    return std::fabs(d) < kExactIntegerBound && d == std::trunc(d) && !(d == 0 && std::signbit(d));
}

}  // namespace

namespace detail {

void append_escaped(std::string& out, std::string_view text) {
    for_each_run(
        text, [&](const char* run, std::size_t size) { out.append(run, size); },
        [&](const std::string& escape) { out += escape; });
}

void append_number(std::string& out, Number n) {
    // Sign, 16 digits, point and a four-character exponent, with room to spare.
    char digits[32];
    const auto d = static_cast<double>(n);
    const auto result =
        is_plain_integer(d)
            ? std::to_chars(digits, digits + sizeof digits, static_cast<std::int64_t>(d))
            : std::to_chars(digits, digits + sizeof digits, d, std::chars_format::general, kNumberDigits);
    out.append(digits, result.ptr);
}

}  // namespace detail

std::string escape_string(const std::string& text, bool quote) {
    std::string out;
    out.reserve(2 * (text.size() + 1));
    if (quote) out += '"';
    detail::append_escaped(out, text);
    if (quote) out += '"';
    return out;
}

// ---------------------------------------------------------------------------
// Indented rendering: every value appends its lines to one buffer, each line
// ending in ",\n", and a container turns the comma of its last line into a
// space once its children are in. Nothing is copied per level, so the cost
// is linear in the output whatever the depth.

namespace json {
namespace {

using detail::ModelAccess;

// The comma after a container's last child becomes a space; the line keeps
// its length. After an empty container's opening line there is none.
void remove_last_comma(std::string& out) {
    if (out.size() >= 3 && out[out.size() - 2] == ',') out[out.size() - 2] = ' ';
}

void tag(std::string& out, std::size_t depth, const String* name, const Value& value);

void array_lines(std::string& out, std::size_t depth, const Array* array) {
    out += "[\n";
    if (array) {
        for (const Value* element : array->values()) tag(out, depth + 1, nullptr, *element);
    }
    remove_last_comma(out);
    out.append(depth, '\t');
    out += "],\n";
}

void object_lines(std::string& out, std::size_t depth, const Object* object) {
    out += "{\n";
    if (object) {
        for (const auto& [key, member] : object->kv_map()) tag(out, depth + 1, &key, *member);
    }
    remove_last_comma(out);
    out.append(depth, '\t');
    out += "},\n";
}

// One value at `depth`, as a member called `name` or, when that is null, as
// an array element or the top-level value. Released content renders empty.
void tag(std::string& out, std::size_t depth, const String* name, const Value& value) {
    out.append(depth, '\t');
    if (name) {
        out += '"';
        detail::append_escaped(out, *name);
        out += "\": ";
    }
    switch (ModelAccess::kind(value)) {
        case NumberType:
            detail::append_number(out, ModelAccess::number(value));
            break;
        case StringType:
            out += '"';
            if (const String* text = ModelAccess::string(value)) detail::append_escaped(out, *text);
            out += '"';
            break;
        case BooleanType:
            out += ModelAccess::boolean(value) ? "true" : "false";
            break;
        case ArrayType:
            return array_lines(out, depth, ModelAccess::array(value));
        case ObjectType:
            return object_lines(out, depth, ModelAccess::object(value));
        default:
            out += "null";
            break;
    }
    out += ",\n";
}

template <class Container>
std::string render(const Container& container) {
    std::string out;
    const ModelAccess::Borrowed<Container> view(container);
    tag(out, 0, nullptr, view.value());
    remove_last_comma(out);
    return out;
}

// ---------------------------------------------------------------------------
// Compact output. Everything but numbers is written unformatted, so the
// caller's width, fill, base and flags neither act on it nor get changed.

void write(std::ostream& out, std::string_view text) {
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

void stream_string(std::ostream& out, const String& text) {
    out.put('"');
    for_each_run(
        text, [&](const char* run, std::size_t size) { write(out, {run, size}); },
        [&](const std::string& escape) { write(out, escape); });
    out.put('"');
}

}  // namespace
}  // namespace json

std::string Object::json() const { return json::render(*this); }

std::string Array::json() const { return json::render(*this); }

}  // namespace zqjson

// Released content reads as empty through `get`.
std::ostream& operator<<(std::ostream& out, const zqjson::Value& v) {
    using namespace zqjson;
    switch (detail::ModelAccess::kind(v)) {
        case NumberType:
            return out << v.get<Number>();
        case StringType:
            json::stream_string(out, v.get<String>());
            return out;
        case BooleanType:
            json::write(out, v.get<Boolean>() ? "true" : "false");
            return out;
        case NullType:
            json::write(out, "null");
            return out;
        case ArrayType:
            return out << v.get<Array>();
        case ObjectType:
            return out << v.get<Object>();
        default:  // the invalid state writes nothing
            return out;
    }
}

std::ostream& operator<<(std::ostream& out, const zqjson::Array& a) {
    out.put('[');
    const char* separator = "";
    for (const zqjson::Value* element : a.values()) {
        zqjson::json::write(out, separator);
        out << *element;
        separator = ", ";
    }
    out.put(']');
    return out;
}

std::ostream& operator<<(std::ostream& out, const zqjson::Object& o) {
    out.put('{');
    const char* separator = "";
    for (const auto& [key, member] : o.kv_map()) {
        zqjson::json::write(out, separator);
        zqjson::json::stream_string(out, key);
        zqjson::json::write(out, ": ");
        out << *member;
        separator = ", ";
    }
    out.put('}');
    return out;
}
