// The document model: Object and Array ownership, merging and copying, and
// the library's failure report.
// The failure report ends in the runtime's assertion failure in every build,
// also in those that compile other assertions out.
#undef NDEBUG
#include <cassert>
#include <cmath>
#include <cstdio>
#include <memory>

#include "../ZQJson.h"

namespace zqjson {

namespace {
// A fresh Value made from `content` under `key`, entry first: an allocation
// failure then leaves a null entry, which release skips, and nothing leaks.
template <class Content>
void add_copy(Object::Map& entries, const String& key, const Content& content) {
    Value*& slot = entries.emplace(key, nullptr).first->second;
    slot = new Value(content);
}
}  // namespace

void assertion(const char* file, int line, const char* expr, bool ok) {
    if (ok) return;
    std::fprintf(stderr, "[ZQJSON] expression '%s' failed at %s:%d -> ", expr, file, line);
    assert(0);
}

// ---------------------------------------------------------------------------
// Value

std::optional<std::int64_t> Value::integer() const {
    if (type_ != NumberType) return std::nullopt;
    // -2^63 is the least int64_t; 2^63 is one past the greatest. Both are
    // exact in a double, and NaN fails either comparison.
    constexpr Number kLeast = -9223372036854775808.0;
    constexpr Number kPastGreatest = 9223372036854775808.0;
    if (!(number_ >= kLeast && number_ < kPastGreatest)) return std::nullopt;
    if (std::trunc(number_) != number_) return std::nullopt;
    return static_cast<std::int64_t>(number_);
}

// ---------------------------------------------------------------------------
// Object

Object::Object(const Object& other) : Object() { copy_entries_from(other); }

Object::Object(const String& key, const Value& value) : Object() { import(key, value); }

Object::~Object() { reset(); }

void Object::reset() {
    for (auto& entry : entries_) delete entry.second;
    entries_.clear();
}

// Deep copies of every member of `other` into this (empty) Object. A failed
// allocation leaves at most one null entry, which release skips.
void Object::copy_entries_from(const Object& other) {
    for (const auto& [key, value] : other.entries_) {
        Value*& slot = entries_.emplace_hint(entries_.end(), key, nullptr)->second;
        slot = new Value(*value);
    }
}

// Moves every member of `staged` into this Object, replacing (and releasing)
// the values under keys present in both. Moves map nodes: allocates nothing.
void Object::absorb(Object& staged) {
    while (!staged.entries_.empty()) {
        auto result = entries_.insert(staged.entries_.extract(staged.entries_.begin()));
        if (!result.inserted) {
            delete result.position->second;
            result.position->second = result.node.mapped();
            result.node.mapped() = nullptr;
        }
    }
}

void Object::import(const Object& other) {
    // Copied before anything here is released: `other` may be this Object or
    // lie inside one of its members.
    Object staged(other);
    absorb(staged);
    pending_key_.clear();
}

void Object::import(const String& key, const Value& value) {
    Object staged;
    add_copy(staged.entries_, key, value);
    absorb(staged);
    pending_key_.clear();
}

const Value* Object::find(const String& key) const {
    const auto entry = entries_.find(key);
    return entry == entries_.end() ? nullptr : entry->second;
}

Value* Object::find(const String& key) {
    const auto entry = entries_.find(key);
    return entry == entries_.end() ? nullptr : entry->second;
}

bool Object::erase(const String& key) {
    const auto entry = entries_.find(key);
    if (entry == entries_.end()) return false;
    delete entry->second;
    entries_.erase(entry);
    return true;
}

Object& Object::operator=(const Object& other) {
    if (&other != this) {
        Object staged(other);
        entries_.swap(staged.entries_);  // the old members leave with `staged`
    }
    pending_key_.clear();
    return *this;
}

Object& Object::operator<<(const Value& v) {
    if (pending_key_.empty()) {
        pending_key_ = v.get<String>();
        return *this;
    }
    const String key = std::move(pending_key_);
    import(key, v);
    return *this;
}

Object& Object::operator<<(const Object& o) {
    const String key = std::move(pending_key_);
    Object staged;
    add_copy(staged.entries_, key, o);
    absorb(staged);
    pending_key_.clear();
    return *this;
}

// ---------------------------------------------------------------------------
// Array

Array::Array(const Array& other) : Array() { copy_elements_from(other); }

Array::Array(const Value& v) : Array() { import(v); }

Array::~Array() { reset(); }

void Array::reset() {
    for (Value* element : elements_) delete element;
    elements_.clear();
}

void Array::copy_elements_from(const Array& other) {
    elements_.reserve(other.elements_.size());
    for (const Value* element : other.elements_)
        elements_.push_back(new Value(*element));
}

void Array::import(const Array& other) {
    // Copied first: `other` may be this Array, whose storage the append moves.
    Array staged(other);
    elements_.insert(elements_.end(), staged.elements_.begin(), staged.elements_.end());
    staged.elements_.clear();
}

void Array::import(const Value& v) {
    auto fresh = std::make_unique<Value>(v);
    elements_.push_back(fresh.get());
    fresh.release();
}

const Value* Array::find(std::size_t index) const {
    return index < elements_.size() ? elements_[index] : nullptr;
}

Value* Array::find(std::size_t index) { return index < elements_.size() ? elements_[index] : nullptr; }

bool Array::erase(std::size_t index) {
    if (index >= elements_.size()) return false;
    delete elements_[index];
    elements_.erase(elements_.begin() + static_cast<std::ptrdiff_t>(index));
    return true;
}

Array& Array::operator=(const Array& other) {
    if (&other != this) {
        Array staged(other);
        elements_.swap(staged.elements_);
    }
    return *this;
}

Array& Array::operator=(const Value& v) {
    Array staged(v);  // `v` may be one of this Array's elements
    elements_.swap(staged.elements_);
    return *this;
}

}  // namespace zqjson
