// JSON Pointer lookups: one reference token at a time from the root, each
// decoded as it is reached. A pointer that is malformed further on leads
// nowhere as well, so there is nothing to check ahead of the walk.
#include <limits>

#include "../ZQJson.h"
#include "ModelAccess.h"

namespace zqjson {

namespace {

using detail::ModelAccess;

// One reference token, "~1" read as '/' and "~0" as '~'; empty when a '~'
// is followed by anything else, which makes the whole pointer malformed.
std::optional<String> decode_token(std::string_view token) {
    String key;
    key.reserve(token.size());
    for (std::size_t i = 0; i < token.size(); ++i) {
        if (token[i] != '~') {
            key += token[i];
            continue;
        }
        const char next = ++i < token.size() ? token[i] : '\0';
        if (next == '0')
            key += '~';
        else if (next == '1')
            key += '/';
        else
            return std::nullopt;
    }
    return key;
}

// A decimal index without leading zeros ("0" alone may start with one);
// empty for anything else, "-" included.
std::optional<std::size_t> decode_index(std::string_view token) {
    if (token.empty() || (token.size() > 1 && token[0] == '0')) return std::nullopt;
    std::size_t index = 0;
    for (const char c : token) {
        if (c < '0' || c > '9') return std::nullopt;
        const std::size_t digit = static_cast<std::size_t>(c - '0');
        if (index > (std::numeric_limits<std::size_t>::max() - digit) / 10) return std::nullopt;
        index = index * 10 + digit;
    }
    return index;
}

Value* step(Object& object, std::string_view token) {
    const std::optional<String> key = decode_token(token);
    return key ? object.find(*key) : nullptr;
}

Value* step(Array& array, std::string_view token) {
    const std::optional<std::size_t> index = decode_index(token);
    return index ? array.find(*index) : nullptr;
}

// The member or element of `v` that `token` names; null for a scalar, a
// released container, or a token that names nothing in it.
Value* step(Value& v, std::string_view token) {
    if (Object* object = const_cast<Object*>(ModelAccess::object(v))) return step(*object, token);
    if (Array* array = const_cast<Array*>(ModelAccess::array(v))) return step(*array, token);
    return nullptr;
}

// Splits off the first reference token of `pointer` (which starts with '/')
// and leaves the rest, '/' included, in `pointer`.
std::string_view next_token(std::string_view& pointer) {
    pointer.remove_prefix(1);
    const std::size_t end = std::min(pointer.find('/'), pointer.size());
    const std::string_view token = pointer.substr(0, end);
    pointer.remove_prefix(end);
    return token;
}

// Follows the rest of a pointer from `at`, which its first token reached.
Value* walk(Value* at, std::string_view rest) {
    while (at && !rest.empty()) at = step(*at, next_token(rest));
    return at;
}

template <class Container>
Value* lookup_in(Container& root, std::string_view pointer) {
    if (pointer.empty() || pointer[0] != '/') return nullptr;
    return walk(step(root, next_token(pointer)), pointer);
}

}  // namespace

Value* lookup(Value& root, std::string_view pointer) {
    if (pointer.empty()) return &root;
    return lookup_in(root, pointer);
}

Value* lookup(Object& root, std::string_view pointer) { return lookup_in(root, pointer); }

Value* lookup(Array& root, std::string_view pointer) { return lookup_in(root, pointer); }

// A lookup changes nothing, so the read-only forms share the walk.
const Value* lookup(const Value& root, std::string_view pointer) { return lookup(const_cast<Value&>(root), pointer); }

const Value* lookup(const Object& root, std::string_view pointer) { return lookup(const_cast<Object&>(root), pointer); }

const Value* lookup(const Array& root, std::string_view pointer) { return lookup(const_cast<Array&>(root), pointer); }

}  // namespace zqjson
