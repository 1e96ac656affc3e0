// The document model: Object and Array ownership, merging, copying and
// comparing.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "../ZQJson.h"
#include "ExactInteger.h"
#include "ModelAccess.h"
#include "NodePool.h"

namespace zqjson {

using detail::ModelAccess;

namespace {

// Moves the values a container `v` holds, if any, to the end of `values`.
// Nothing moves when the list cannot grow for want of memory: the container
// then releases them itself, the recursive way.
void take_children(Value& v, std::vector<Value*>& values) noexcept {
    const Array* array = ModelAccess::array(v);
    const Object* object = ModelAccess::object(v);
    const std::size_t count = array ? array->values().size() : object ? object->kv_map().size() : 0;
    if (count == 0) return;
    try {
        if (values.capacity() - values.size() < count)
            values.reserve(std::max(values.size() + count, 2 * values.capacity()));
    } catch (const std::bad_alloc&) {
        return;
    }
    if (array) {
        Array::Elements& elements = ModelAccess::elements(v);
        values.insert(values.end(), elements.begin(), elements.end());
        elements.clear();
        return;
    }
    for (auto& entry : ModelAccess::entries(v)) values.push_back(std::exchange(entry.second, nullptr));
}

// Releases `values` and everything under them without recursion: each value
// hands over what its container holds before it goes, so its destructor
// finds nothing nested left, however deep the document. The nodes go back
// to their store in batches.
void release_all(std::vector<Value*>& values) noexcept {
    detail::NodeReturns<Value> values_back;
    detail::NodeReturns<Array> arrays_back;
    detail::NodeReturns<Object> objects_back;
    while (!values.empty()) {
        Value* v = values.back();
        values.pop_back();
        if (!v) continue;
        take_children(*v, values);
        if (Array* array = ModelAccess::detach_array(*v)) arrays_back.release(array);
        if (Object* object = ModelAccess::detach_object(*v)) objects_back.release(object);
        values_back.release(v);
    }
}

// A deep copy, without recursion: a nested container is made empty in the
// copy first and filled when the walk comes to it. Its nodes come from
// reserves, a batch at a time.
struct Copying {
    const Value* from;
    Value* to;
};

struct CopyWalk {
    std::vector<Copying> pending;
    detail::NodeReserve<Value> values;
    detail::NodeReserve<Array> arrays;
    detail::NodeReserve<Object> objects;
};

// A copy of `from`, but a container's content is left for the walk.
Value* copy_shell(const Value& from, CopyWalk& walk) {
    const Array* array = ModelAccess::array(from);
    const Object* object = ModelAccess::object(from);
    if ((!array || array->values().empty()) && (!object || object->kv_map().empty())) return walk.values.make(from);
    std::unique_ptr<Value> shell(walk.values.make());
    if (array)
        ModelAccess::adopt(*shell, walk.arrays.make());
    else
        ModelAccess::adopt(*shell, walk.objects.make());
    walk.pending.push_back({&from, shell.get()});
    return shell.release();
}

void fill_copy(const Array& from, Array& to, CopyWalk& walk) {
    Array::Elements& elements = ModelAccess::elements(to);
    elements.reserve(from.values().size());
    for (const Value* element : from.values()) elements.push_back(copy_shell(*element, walk));
}

// A failed allocation leaves at most one null entry, which release skips.
void fill_copy(const Object& from, Object& to, CopyWalk& walk) {
    Object::Map& entries = ModelAccess::entries(to);
    for (const auto& [key, value] : from.kv_map()) {
        Value*& slot = entries.emplace_hint(entries.end(), key, nullptr)->second;
        slot = copy_shell(*value, walk);
    }
}

template <class Container>
void copy_tree(const Container& from, Container& to) {
    CopyWalk walk;
    fill_copy(from, to, walk);
    while (!walk.pending.empty()) {
        const Copying next = walk.pending.back();
        walk.pending.pop_back();
        if (const Array* array = ModelAccess::array(*next.from))
            fill_copy(*array, ModelAccess::array_content(*next.to), walk);
        else
            fill_copy(*ModelAccess::object(*next.from), ModelAccess::object_content(*next.to), walk);
    }
}

// A fresh Value made from `content` under `key`, entry first: an allocation
// failure then leaves a null entry, which release skips, and nothing leaks.
template <class Content>
void add_copy(Object::Map& entries, const String& key, const Content& content) {
    Value*& slot = entries.emplace(key, nullptr).first->second;
    slot = new Value(content);
}
}  // namespace

// ---------------------------------------------------------------------------
// Value

void Value::import_integer(bool negative, std::uint64_t magnitude) {
    const detail::ExactInteger n{negative, magnitude};
    const double nearest = detail::nearest_double(n);
    import(static_cast<Number>(nearest));
    exact_ = detail::mark_of(n, nearest);
}

namespace {

// The whole number `v` holds, exactly: its kept integer, or its double when
// that is whole and below 2^64 in magnitude.
std::optional<detail::ExactInteger> whole_number(const Value& v) {
    if (!v.is<Number>()) return std::nullopt;
    detail::ExactInteger n;
    if (ModelAccess::exact_integer(v, n)) return n;
    const auto d = static_cast<double>(ModelAccess::number(v));
    // 2^64 is one past the greatest uint64_t, exact in a double; NaN fails
    // the comparison.
    constexpr double kPastGreatest = 18446744073709551616.0;
    const double magnitude = std::fabs(d);
    if (!(magnitude < kPastGreatest) || std::trunc(magnitude) != magnitude) return std::nullopt;
    return detail::ExactInteger{std::signbit(d) && magnitude != 0, static_cast<std::uint64_t>(magnitude)};
}

// Whether two Numbers are equal: as doubles, unless one keeps an integer
// beyond 2^53, which the other must then equal exactly.
bool same_number(const Value& a, const Value& b) {
    detail::ExactInteger kept;
    if (!ModelAccess::exact_integer(a, kept) && !ModelAccess::exact_integer(b, kept))
        return ModelAccess::number(a) == ModelAccess::number(b);
    const auto x = whole_number(a);
    const auto y = whole_number(b);
    return x && y && x->negative == y->negative && x->magnitude == y->magnitude;
}

// Pairs of values still to be compared.
using Comparisons = std::vector<std::pair<const Value*, const Value*>>;

bool same_elements(const Array& a, const Array& b, Comparisons& nested) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) nested.emplace_back(a.values()[i], b.values()[i]);
    return true;
}

bool same_members(const Object& a, const Object& b, Comparisons& nested) {
    if (a.size() != b.size()) return false;
    auto theirs = b.kv_map().begin();
    for (const auto& [key, value] : a.kv_map()) {
        if (key != theirs->first) return false;
        nested.emplace_back(value, theirs->second);
        ++theirs;
    }
    return true;
}

// Whether `a` and `b` are alike as far as they hold content themselves; the
// children of two containers go to `nested`, to be compared in turn.
bool alike(const Value& a, const Value& b, Comparisons& nested) {
    if (a.type() != b.type()) return false;
    switch (a.type()) {
        case NumberType:
            return same_number(a, b);
        case BooleanType:
            return ModelAccess::boolean(a) == ModelAccess::boolean(b);
        case StringType:
            return a.get<String>() == b.get<String>();  // released content reads as empty
        case ArrayType:
            return same_elements(a.get<Array>(), b.get<Array>(), nested);
        case ObjectType:
            return same_members(a.get<Object>(), b.get<Object>(), nested);
        default:
            return true;
    }
}

// Deep documents are compared without recursion, the pairs still to come
// kept on the heap.
bool equal(const Value& a, const Value& b) {
    Comparisons nested;
    if (!alike(a, b, nested)) return false;
    while (!nested.empty()) {
        const auto [x, y] = nested.back();
        nested.pop_back();
        if (!alike(*x, *y, nested)) return false;
    }
    return true;
}

}  // namespace

bool operator==(const Value& a, const Value& b) { return equal(a, b); }

bool operator==(const Object& a, const Object& b) {
    const ModelAccess::Borrowed<Object> x(a), y(b);
    return equal(x.value(), y.value());
}

bool operator==(const Array& a, const Array& b) {
    const ModelAccess::Borrowed<Array> x(a), y(b);
    return equal(x.value(), y.value());
}

std::optional<std::int64_t> Value::integer() const {
    const auto n = whole_number(*this);
    if (!n) return std::nullopt;
    if (!n->negative) {
        if (n->magnitude > static_cast<std::uint64_t>(INT64_MAX)) return std::nullopt;
        return static_cast<std::int64_t>(n->magnitude);
    }
    if (n->magnitude > detail::kLeastInt64Magnitude) return std::nullopt;
    return static_cast<std::int64_t>(std::uint64_t{0} - n->magnitude);
}

std::optional<std::uint64_t> Value::unsigned_integer() const {
    const auto n = whole_number(*this);
    if (!n || (n->negative && n->magnitude != 0)) return std::nullopt;
    return n->magnitude;
}

// ---------------------------------------------------------------------------
// Object

Object::Object(const Object& other) : Object() { copy_entries_from(other); }

Object::Object(const String& key, const Value& value) : Object() { import(key, value); }

Object::Object(std::initializer_list<Member> members) : Object() {
    for (const auto& [key, value] : members) import(key, value);
}

Object::~Object() { reset(); }

void Object::reset() {
    std::vector<Value*> values;
    try {
        values.reserve(entries_.size());
    } catch (const std::bad_alloc&) {
        for (auto& entry : entries_) delete entry.second;  // the recursive way
        entries_.clear();
        return;
    }
    for (auto& entry : entries_) values.push_back(entry.second);
    entries_.clear();
    release_all(values);
}

// Deep copies of every member of `other` into this (empty) Object.
void Object::copy_entries_from(const Object& other) { copy_tree(other, *this); }

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
    drop_pending_key();
}

void Object::import(const String& key, const Value& value) {
    Object staged;
    add_copy(staged.entries_, key, value);
    absorb(staged);
    drop_pending_key();
}

void Object::import(const String& key, Value&& value) {
    Object staged;
    Value*& slot = staged.entries_.emplace(key, nullptr).first->second;
    slot = new Value(std::move(value));  // the node is had before anything is taken
    absorb(staged);
    drop_pending_key();
}

Value& Object::operator[](const String& key) {
    auto at = entries_.lower_bound(key);
    if (at == entries_.end() || at->first != key) {
        auto fresh = std::make_unique<Value>(Null());
        at = entries_.emplace_hint(at, key, fresh.get());
        fresh.release();
    }
    return *at->second;
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
    drop_pending_key();
    return *this;
}

// The empty key is a key like any other, so whether one is pending is held
// apart from its text.
Object& Object::operator<<(const Value& v) {
    if (!key_pending_) {
        pending_key_ = v.get<String>();
        key_pending_ = true;
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
    drop_pending_key();
    return *this;
}

void Object::drop_pending_key() {
    pending_key_.clear();
    key_pending_ = false;
}

// ---------------------------------------------------------------------------
// Array

Array::Array(const Array& other) : Array() { copy_elements_from(other); }

Array::Array(const Value& v) : Array() { import(v); }

Array::~Array() { reset(); }

void Array::reset() {
    std::vector<Value*> values;
    values.swap(elements_);
    release_all(values);
}

void Array::copy_elements_from(const Array& other) { copy_tree(other, *this); }

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

// The node and the room for it are had before anything is taken from `v`,
// so that a failure leaves `v` as it was.
void Array::push_back(Value&& v) {
    auto fresh = std::make_unique<Value>();
    elements_.push_back(fresh.get());
    fresh.release()->import(std::move(v));
}

const Value* Array::find(std::size_t index) const { return index < elements_.size() ? elements_[index] : nullptr; }

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
