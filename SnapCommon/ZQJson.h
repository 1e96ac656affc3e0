/// @file
/// zqjson: a JSON document model, a lenient parser, JSON and XML writers.
///
/// The one public header of the library. Every container owns what it holds,
/// every copy is deep, and nothing is shared or reference-counted. Precondition
/// violations go through `assertion`, which reports and aborts; the library
/// throws nothing of its own (allocation failures propagate as
/// `std::bad_alloc`). The lookups `find`, `get_if`, `integer` and `lookup`
/// never abort: they answer null or empty instead.
#ifndef ZQ_JSON_H
#define ZQ_JSON_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <iosfwd>
#include <iterator>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "ZQExport.h"

/// The JSON document library.
namespace zqjson {

// ---------------------------------------------------------------------------
// Bounds

/// Deepest nesting of arrays and objects the parser accepts (`[]` is depth 1);
/// deeper input is rejected like any other malformed text instead of
/// exhausting the stack.
constexpr std::size_t kMaxDepth = 512;

/// Significant digits of a number in indented JSON and XML: enough to keep the
/// value of almost every double while staying free of binary round-off noise.
constexpr int kNumberDigits = 16;

// ---------------------------------------------------------------------------
// Scalar types

/// The boolean kind's content.
using Boolean = bool;

/// The number kind's content: a 64-bit IEEE double everywhere. It is
/// `long double` where that type is the 64-bit format, `double` where
/// `long double` is wider (80-bit x87, 128-bit double-double), so numbers
/// read and print alike on every platform.
using Number = std::conditional_t<std::numeric_limits<long double>::digits == 53 &&
                                      std::numeric_limits<long double>::max_exponent == 1024,
                                  long double, double>;

/// The string kind's content: bytes, stored as they are; no encoding is
/// checked or converted.
using String = std::string;

/// Selects the null kind (`Value(Null())`, `is<Null>()`); carries nothing.
class Null {};

/// The kind of a Value. The numbers are fixed: stored renderings rely on them.
enum ValueType : std::uint32_t {
    NumberType = 0,   ///< a Number
    StringType = 1,   ///< a String
    BooleanType = 2,  ///< true or false
    NullType = 3,     ///< null
    ArrayType = 4,    ///< an Array
    ObjectType = 5,   ///< an Object
    InvalidType = 6,  ///< nothing: a Value that was never given content
};

/// Rendering format of `Object::write`; the XML entry points take 1 to 4.
enum Format : std::uint32_t {
    JSON = 0,       ///< indented JSON
    JSONx = 1,      ///< XML: elements named after the kinds
    JXML = 2,       ///< XML: every element is `j`, kind and key in a `son` attribute
    JXMLex = 3,     ///< XML: as JXML, plus an attribute holding the value's text
    TaggedXML = 4,  ///< XML: elements named after the keys, with a type attribute
};

class Value;
class Object;
class Array;

/// @cond INTERNAL
namespace detail {
struct ModelAccess;  // the parser's and renderers' way to the raw fields

template <class T, class... Kinds>
inline constexpr bool is_one_of = (std::is_same_v<T, Kinds> || ...);

// The six kinds a Value can hold, by the type that selects each.
template <class T>
inline constexpr bool is_kind = is_one_of<T, Null, Boolean, Number, String, Array, Object>;

// Characters are not numbers: `Value('c')` is far more often a mistake for
// `Value("c")` than a request for the number 99.
template <class T>
inline constexpr bool is_character = is_one_of<T, char, signed char, unsigned char, wchar_t, char16_t, char32_t>;

// Arithmetic types that convert to a Number without surprise.
template <class T>
inline constexpr bool is_numeric =
    (std::is_integral_v<T> && !std::is_same_v<T, bool> && !is_character<T>) || std::is_floating_point_v<T>;

// Byte texts that become a String: views, C strings and string literals.
template <class T>
inline constexpr bool is_text = is_one_of<T, std::string_view, const char*, char*> ||
                                (std::is_array_v<T> && std::is_same_v<std::remove_extent_t<T>, char>);

// Exactly the types a Value is made from; anything else, including classes
// that merely convert to one of these, is refused at compile time.
template <class T>
inline constexpr bool is_value_source = is_kind<T> || std::is_same_v<T, Value> || is_numeric<T> || is_text<T>;

template <class T>
inline constexpr bool always_false = false;

template <class T>
using remove_cvref_t = std::remove_cv_t<std::remove_reference_t<T>>;

// The kinds whose content lives in a node of its own, which an rvalue hands
// over instead of having it copied.
template <class T>
inline constexpr bool is_owned_kind = is_one_of<T, String, Array, Object>;

// What `Object::value` reads a member as.
template <class T>
inline constexpr bool is_member_reading =
    (is_kind<T> && !std::is_same_v<T, Null>) || std::is_same_v<T, Value> || is_numeric<T>;

// 2^53: every integer up to here is a double of its own.
inline constexpr std::uint64_t kExactDoubleLimit = std::uint64_t{1} << 53;

// The kind each type selects.
template <class T>
struct KindOf;
template <>
struct KindOf<Null> {
    static constexpr ValueType kind = NullType;
};
template <>
struct KindOf<Boolean> {
    static constexpr ValueType kind = BooleanType;
};
template <>
struct KindOf<String> {
    static constexpr ValueType kind = StringType;
};
template <>
struct KindOf<Number> {
    static constexpr ValueType kind = NumberType;
};
template <>
struct KindOf<Array> {
    static constexpr ValueType kind = ArrayType;
};
template <>
struct KindOf<Object> {
    static constexpr ValueType kind = ObjectType;
};
}  // namespace detail
/// @endcond

/// The library's failure report. When `ok` is false, writes
/// "[ZQJSON] expression '<expr>' failed at <file>:<line> -> " to standard
/// error and aborts through the C runtime's assertion failure; when it is
/// true, does nothing.
ZQ_API void assertion(const char* file, int line, const char* expr, bool ok);

// ---------------------------------------------------------------------------
/// One number, string, boolean, null, array or object, or nothing.
///
/// A String, Array or Object kind with no content is *released* (after
/// `reset`): it reads as empty, copies as released, renders as empty.
/// Two Values never share content: a copy or an assignment is deep, and a
/// move hands the content over, leaving the source invalid.
///
/// @code
/// Value port(8080), name("disk-1"), flag(true), none(Null());
/// if (const Number* n = port.get_if<Number>()) ...;
/// std::optional<std::int64_t> whole = port.integer();   // 8080
/// port = 8081;                                          // replaces the content
/// Value taken = std::move(name);                        // name is invalid now
/// @endcode
class ZQ_API Value {
public:
    // The content starts null: the kind alone keeps reset() from freeing it,
    // but a compiler that loses track of the kind (GCC under
    // AddressSanitizer) would warn that it frees an unset pointer.
    /// An invalid Value: it holds nothing and `empty()` is true.
    Value() : type_(InvalidType), exact_(0), object_(nullptr) {}
    /// A deep copy of `other`.
    Value(const Value& other) : type_(InvalidType), exact_(0), object_(nullptr) { import(other); }
    /// A Value made from one of the kinds' own types (Boolean, Number, Null,
    /// String, Array, Object), a Value, any integer or floating type (not
    /// bool or a character type: those make a Boolean and nothing), or a
    /// byte text (`std::string_view`, `const char*`, `char*`, a string
    /// literal). Any other type, a pointer or a class that merely converts
    /// to one of these, does not compile.
    template <class T, std::enable_if_t<detail::is_value_source<T>, int> = 0>
    Value(const T& content) : type_(InvalidType), exact_(0), object_(nullptr) {
        import(content);
    }
    /// Takes the content of `other`, which is left invalid; allocates nothing.
    Value(Value&& other) noexcept : Value() { take(other); }
    /// A String, Array or Object moved into a node of its own: its content is
    /// handed over, not copied, and `content` is left empty.
    template <class T, std::enable_if_t<detail::is_owned_kind<T>, int> = 0>
    Value(T&& content) : Value() {
        import(std::move(content));
    }
    /// Releases the content.
    ~Value() { reset(); }

    /// A deep copy of `other`, as `import(other)`: on allocation failure the
    /// Value keeps its old content, and `other` may lie inside it.
    Value& operator=(const Value& other) {
        import(other);
        return *this;
    }
    /// Takes the content of `other`, as `import(std::move(other))`.
    Value& operator=(Value&& other) noexcept {
        import(std::move(other));
        return *this;
    }
    /// Replaces the content with any type a Value is made from (`v = 43;
    /// v = "x"; v = obj;`), as `import` does; an rvalue String, Array or
    /// Object is moved in.
    template <class T, std::enable_if_t<detail::is_value_source<detail::remove_cvref_t<T>> &&
                                            !std::is_same_v<detail::remove_cvref_t<T>, Value>,
                                        int> = 0>
    Value& operator=(T&& content) {
        import(std::forward<T>(content));
        return *this;
    }

    /// Exchanges the contents of two Values; allocates nothing. Neither may
    /// lie inside the other: a Value would then hold itself.
    void swap(Value& other) noexcept {
        Value held(std::move(other));
        other.take(*this);
        take(held);
    }

    /// @name Replacing the content
    /// Each import copies its argument before releasing the old content, so
    /// the argument may lie inside this Value; on allocation failure the
    /// Value keeps its old content.
    ///@{
    void import(const Boolean& b);
    void import(const Number& n);
    void import(const Null&);
    void import(const String& s);
    /// A C string is text, not a pointer that converts to Boolean; a null one
    /// is JSON null.
    void import(const char* s);
    void import(std::string_view s) { import(String(s)); }
    void import(const Array& a);
    void import(const Object& o);
    /// Importing the Value itself changes nothing; an invalid Value makes
    /// this one invalid.
    void import(const Value& other);
    /// Takes the content of `other`, which is left invalid (unless it is this
    /// Value); allocates nothing. `other` may lie inside this Value, but may
    /// not hold it: a Value would then hold itself.
    void import(Value&& other) noexcept {
        Value taken(std::move(other));
        swap(taken);  // the old content leaves with `taken`
    }
    /// An rvalue String, Array or Object: its content is handed over into a
    /// fresh node, and `content` is left empty. It may lie inside this Value.
    template <class T, std::enable_if_t<detail::is_owned_kind<T>, int> = 0>
    void import(T&& content) {
        install(detail::KindOf<T>::kind, new T(std::move(content)));
    }
    /// Any integer or floating type other than Number itself; bool and
    /// characters are not numbers. An integer beyond 2^53 that a double
    /// cannot hold is kept exactly (see `integer`).
    template <class T, std::enable_if_t<detail::is_numeric<T> && !std::is_same_v<T, Number>, int> = 0>
    void import(T n) {
        if constexpr (std::is_integral_v<T> && sizeof(T) <= sizeof(std::uint64_t)) {
            const bool negative = n < 0;
            const std::uint64_t magnitude =
                negative ? std::uint64_t{0} - static_cast<std::uint64_t>(n) : static_cast<std::uint64_t>(n);
            if (magnitude > detail::kExactDoubleLimit) return import_integer(negative, magnitude);
        }
        import(static_cast<Number>(n));
    }
    ///@}

    /// Releases owned content; the kind stays (a String, Array or Object
    /// Value becomes released).
    void reset();

    /// True for the invalid state and for released content.
    bool empty() const;

    /// The kind the Value holds; `InvalidType` when it holds nothing.
    ValueType type() const { return type_; }

    /// Whether the Value holds the kind that `T` selects: Null, Boolean,
    /// Number, String, Array or Object. Any other `T` does not compile.
    template <class T>
    bool is() const;

    /// Content of kind `T` (Boolean, Number, String, Array or Object); a kind
    /// mismatch reports through `assertion` and aborts. Use `get_if` where
    /// the kind is not known.
    template <class T>
    const T& get() const;
    /// The same, writable: edits go straight into the document. A released
    /// String, Array or Object gets fresh empty content first.
    template <class T>
    T& get();

    /// Content of kind `T`, or null when the Value holds another kind. Never
    /// aborts. A released String, Array or Object reads as empty.
    template <class T>
    const T* get_if() const;
    /// The same, writable: edits go straight into the document. A released
    /// String, Array or Object gets fresh empty content first.
    template <class T>
    T* get_if();

    /// The Number as a 64-bit integer when it is whole and in range: no
    /// fraction, no rounding, no saturation. Empty for every other value,
    /// NaN and 2^63 included.
    ///
    /// An integer beyond 2^53, read from an integer literal or made from an
    /// integer type, is kept exactly within [-2^63, 2^64 - 1]: `integer`
    /// and `unsigned_integer` answer it, every writer writes all its digits,
    /// and copies and merges keep it, while `get<Number>()` answers its
    /// nearest double. Storing another number, by `import` or through the
    /// pointer of `get_if<Number>()`, replaces it.
    std::optional<std::int64_t> integer() const;
    /// The same for [0, 2^64 - 1].
    std::optional<std::uint64_t> unsigned_integer() const;

    /// `get<Object>()[key]`: the member under `key`, added as null when
    /// absent. A Value of another kind reports through `assertion` and
    /// aborts.
    Value& operator[](const String& key);
    /// `get<Array>()[index]`: a Value of another kind, or an index past the
    /// end, reports through `assertion` and aborts.
    Value& operator[](std::size_t index);
    /// The same, read-only.
    const Value& operator[](std::size_t index) const;

    /// @name Reading JSON text
    /// Each answers whether the input was accepted; the Value first releases
    /// its content. The lenient grammar reads apostrophe strings, `//`
    /// comments, trailing commas and empty values as null, and does not look
    /// past the value it reads.
    ///@{

    /// Reads one value from `in` into `target`.
    static bool parse(std::istream& in, Value& target);
    bool parse(std::istream& in);
    bool parse(const String& text);
    ///@}

    /// @cond INTERNAL
    // Nodes come from the library's own store (see the README).
    static void* operator new(std::size_t size);
    static void operator delete(void* node, std::size_t size) noexcept;
    /// @endcond

private:
    friend struct detail::ModelAccess;

    // Releases the current content, then takes `content` (already copied) as
    // the content of kind `kind`.
    template <class T>
    void install(ValueType kind, T* content);

    // An integer the nearest double does not hold: its mark, kept beside it.
    void import_integer(bool negative, std::uint64_t magnitude);

    // This Value, which owns nothing, takes the kind and content of `from`,
    // which is left invalid.
    void take(Value& from) noexcept;

    ValueType type_;
    // Under NumberType, what keeps an integer beyond 2^53 exactly; 0 for
    // none. It fills the room the content's alignment leaves after the kind.
    std::uint32_t exact_;
    union {
        Number number_;
        Boolean boolean_;
        String* string_;
        Array* array_;
        Object* object_;
    };
};

/// @cond INTERNAL
namespace detail {
// An Object's members as pairs of `const String&` and `Member&` (Value or
// const Value), in key order. The map holds pointers, so the pair is made
// when asked for and kept in the iterator, where `auto& [key, value]` can
// bind to it; it lasts until the iterator is read again. That makes this an
// input iterator, though every pass over the same Object sees the same
// members.
template <class Member>
class MemberIterator {
public:
    using value_type = std::pair<const String&, Member&>;
    using reference = value_type&;
    using pointer = value_type*;
    using difference_type = std::ptrdiff_t;
    using iterator_category = std::input_iterator_tag;

    MemberIterator() = default;
    explicit MemberIterator(std::map<String, Value*>::const_iterator at) : at_(at) {}
    // A pair of references cannot be assigned, so the pair is not copied.
    MemberIterator(const MemberIterator& other) : at_(other.at_) {}
    MemberIterator& operator=(const MemberIterator& other) {
        at_ = other.at_;
        return *this;
    }

    reference operator*() const { return entry_.emplace(at_->first, *at_->second); }
    pointer operator->() const { return &**this; }
    MemberIterator& operator++() {
        ++at_;
        return *this;
    }
    MemberIterator operator++(int) { return MemberIterator(at_++); }
    friend bool operator==(const MemberIterator& a, const MemberIterator& b) { return a.at_ == b.at_; }
    friend bool operator!=(const MemberIterator& a, const MemberIterator& b) { return a.at_ != b.at_; }

private:
    std::map<String, Value*>::const_iterator at_;
    mutable std::optional<value_type> entry_;
};

// An Array's elements as `Element&` (Value or const Value), in order.
template <class Element>
class ElementIterator {
public:
    using value_type = Value;
    using reference = Element&;
    using pointer = Element*;
    using difference_type = std::ptrdiff_t;
    using iterator_category = std::random_access_iterator_tag;

    ElementIterator() = default;
    explicit ElementIterator(std::vector<Value*>::const_iterator at) : at_(at) {}

    reference operator*() const { return **at_; }
    pointer operator->() const { return *at_; }
    reference operator[](difference_type n) const { return *at_[n]; }
    ElementIterator& operator++() {
        ++at_;
        return *this;
    }
    ElementIterator operator++(int) { return ElementIterator(at_++); }
    ElementIterator& operator--() {
        --at_;
        return *this;
    }
    ElementIterator operator--(int) { return ElementIterator(at_--); }
    ElementIterator& operator+=(difference_type n) {
        at_ += n;
        return *this;
    }
    ElementIterator& operator-=(difference_type n) {
        at_ -= n;
        return *this;
    }
    friend ElementIterator operator+(ElementIterator i, difference_type n) { return i += n; }
    friend ElementIterator operator+(difference_type n, ElementIterator i) { return i += n; }
    friend ElementIterator operator-(ElementIterator i, difference_type n) { return i -= n; }
    friend difference_type operator-(const ElementIterator& a, const ElementIterator& b) { return a.at_ - b.at_; }
    friend bool operator==(const ElementIterator& a, const ElementIterator& b) { return a.at_ == b.at_; }
    friend bool operator!=(const ElementIterator& a, const ElementIterator& b) { return a.at_ != b.at_; }
    friend bool operator<(const ElementIterator& a, const ElementIterator& b) { return a.at_ < b.at_; }
    friend bool operator>(const ElementIterator& a, const ElementIterator& b) { return a.at_ > b.at_; }
    friend bool operator<=(const ElementIterator& a, const ElementIterator& b) { return a.at_ <= b.at_; }
    friend bool operator>=(const ElementIterator& a, const ElementIterator& b) { return a.at_ >= b.at_; }

private:
    std::vector<Value*>::const_iterator at_;
};
}  // namespace detail
/// @endcond

// ---------------------------------------------------------------------------
/// Members in ascending byte-wise key order, one value per key, plus a
/// pending key used while streaming alternating keys and values into it.
///
/// @code
/// Object server{{"host", "backup-01"}, {"port", 8080}};
/// server["port"] = 8081;                              // edits the member in place
/// int timeout = server.value("timeout", 30);          // 30: no such member
/// for (auto& [key, value] : server) std::cout << key << ' ' << value << '\n';
/// server << Value("user") << Value("backup");         // or stream a key, then its value
/// @endcode
class ZQ_API Object {
public:
    /// The members, by key.
    using Map = std::map<String, Value*>;
    /// One member as `begin` yields it: its key and its value.
    using Member = std::pair<const String, Value>;
    /// Walks the members in key order as pairs of `const String&` and
    /// `Value&`; `for (auto& [key, value] : object)` binds to them. An input
    /// iterator: the pair it yields lasts until it is read again.
    using iterator = detail::MemberIterator<Value>;
    /// The same, with `const Value&`.
    using const_iterator = detail::MemberIterator<const Value>;

    /// An empty Object.
    Object() = default;
    /// A deep copy of `other`; the pending key is not copied.
    Object(const Object& other);
    /// Takes the members and the pending key of `other`, which is left
    /// empty with no key pending; allocates nothing.
    Object(Object&& other) noexcept : Object() { swap(other); }
    /// An Object of one member.
    Object(const String& key, const Value& value);
    /// The members listed, `Object{{"name", "disk-1"}, {"size", 4096}}`; a
    /// key listed twice keeps its last value, as `import` does.
    Object(std::initializer_list<Member> members);
    /// Releases every member.
    ~Object();

    /// Merge: adds copies of the members of `other`; keys in both take the
    /// value of `other`.
    void import(const Object& other);
    /// Adds or replaces one member.
    void import(const String& key, const Value& value);
    /// Adds or replaces one member, taking the content of `value` without
    /// copying it; `value` is left invalid. It may lie inside this Object.
    void import(const String& key, Value&& value);

    /// Becomes a deep copy of `other`.
    Object& operator=(const Object& other);
    /// Takes the members and the pending key of `other`, which is left empty
    /// with no key pending; allocates nothing. `other` may lie inside this
    /// Object.
    Object& operator=(Object&& other) noexcept {
        Object taken(std::move(other));
        swap(taken);  // the old members leave with `taken`
        return *this;
    }
    /// Exchanges the members and the pending keys of two Objects; allocates
    /// nothing.
    void swap(Object& other) noexcept {
        entries_.swap(other.entries_);
        pending_key_.swap(other.pending_key_);
        std::swap(key_pending_, other.key_pending_);
    }

    /// Alternates: a String key, then its value. A key that is not a String
    /// reports through `assertion` and aborts.
    Object& operator<<(const Value& v);
    /// Stores a copy of `o` under the pending key, or under "" when none.
    Object& operator<<(const Object& o);

    /// The number of members.
    std::size_t size() const { return entries_.size(); }
    /// Whether there are no members.
    bool empty() const { return entries_.empty(); }
    /// The members, in byte-wise key order.
    const Map& kv_map() const { return entries_; }
    /// @name Members in key order
    ///@{

    /// From the first member, in byte-wise key order, to past the last.
    iterator begin() { return iterator(entries_.begin()); }
    iterator end() { return iterator(entries_.end()); }
    const_iterator begin() const { return const_iterator(entries_.begin()); }
    const_iterator end() const { return const_iterator(entries_.end()); }
    ///@}

    /// The member under `key`; when there is none, a null member is added
    /// under it first. It is the Value this Object owns, so an assignment
    /// through it edits the member in place.
    Value& operator[](const String& key);
    /// 0 is not a key: without this it would be taken as a null C string.
    Value& operator[](std::nullptr_t) = delete;

    /// The member under `key` read as a `T`, or `fallback` when there is no
    /// such member or it holds another kind. `T` is Boolean, String, Array,
    /// Object, Value (any member) or a numeric type: a floating type reads
    /// any Number, an integer type only a whole Number within its range (see
    /// `Value::integer`).
    template <class T>
    T value(const String& key, const T& fallback) const;
    /// A String member, or `fallback` as a String: `value("name", "none")`.
    String value(const String& key, const char* fallback) const;

    /// The member under `key`, or null when there is none.
    const Value* find(const String& key) const;
    /// The member under `key`, or null when there is none. It is the Value
    /// this Object owns, so an import through it edits the member in place.
    Value* find(const String& key);
    /// Releases the member under `key`; answers whether there was one.
    bool erase(const String& key);

    /// Releases every member; the pending key stays.
    void reset();

    /// @name Reading JSON text
    /// Each answers whether the input opened with an object that was
    /// accepted; the Object first releases its members.
    ///@{

    /// Reads one object from `in` into `target`.
    static bool parse(std::istream& in, Object& target);
    bool parse(std::istream& in);
    bool parse(const String& text);
    ///@}

    /// Indented JSON, one TAB per level, numbers at `kNumberDigits`.
    std::string json() const;
    /// XML in one of the dialects `JSONx` to `TaggedXML`: the header line
    /// (an empty `header` selects the default one) and the rendering.
    /// `attrib` has no effect.
    std::string xml(Format format, const String& header, const String& attrib) const;
    /// `json()` for the format `JSON`, `xml(format, "", "")` otherwise.
    std::string write(Format format) const;

    /// @cond INTERNAL
    // Nodes come from the library's own store (see the README).
    static void* operator new(std::size_t size);
    static void operator delete(void* node, std::size_t size) noexcept;
    /// @endcond

private:
    friend struct detail::ModelAccess;

    void copy_entries_from(const Object& other);
    void absorb(Object& staged);
    void drop_pending_key();

    // Every member below is moved by `swap`.
    Map entries_;
    String pending_key_;
    bool key_pending_ = false;
};

// ---------------------------------------------------------------------------
/// Values in insertion order.
///
/// @code
/// Array tags{"fast", 2, true, Null()};
/// tags.push_back("local");
/// for (Value& tag : tags) ...;
/// if (const Value* first = tags.find(0)) std::cout << *first;
/// @endcode
class ZQ_API Array {
public:
    /// The elements, in order.
    using Elements = std::vector<Value*>;
    /// Walks the elements in order as `Value&`.
    using iterator = detail::ElementIterator<Value>;
    /// The same, as `const Value&`.
    using const_iterator = detail::ElementIterator<const Value>;

    /// An empty Array.
    Array() = default;
    /// A deep copy of `other`.
    Array(const Array& other);
    /// Takes the elements of `other`, which is left empty; allocates nothing.
    Array(Array&& other) noexcept : Array() { swap(other); }
    /// An Array of one element, a copy of `v`. A `v` that holds an array
    /// becomes one nested element.
    Array(const Value& v);
    /// The elements listed, two or more, each anything a Value is made from:
    /// `Array{1, "two", true, Null()}`; an rvalue Array or Object is moved
    /// in. One element goes to the constructors above, so `Array{x}` is one
    /// element for a Value `x`, while `Array{Array{1, 2}}` is a copy of
    /// `Array{1, 2}`, not an array in an array: write
    /// `Array{Value(Array{1, 2})}` for that.
    template <
        class... T,
        std::enable_if_t<(sizeof...(T) > 1) && (detail::is_value_source<detail::remove_cvref_t<T>> && ...), int> = 0>
    Array(T&&... elements) : Array() {
        elements_.reserve(sizeof...(T));
        (push_back(Value(std::forward<T>(elements))), ...);
    }
    /// Releases every element.
    ~Array();

    /// Appends copies of the elements of `other`; into itself, [a, b] becomes
    /// [a, b, a, b].
    void import(const Array& other);
    /// Appends one copy of `v`.
    void import(const Value& v);
    /// Appends one copy of `v`, as `import(v)`.
    void push_back(const Value& v) { import(v); }
    /// Appends the content of `v` without copying it; `v` is left invalid.
    /// It may be one of this Array's elements, or lie inside one.
    void push_back(Value&& v);

    /// Appends copies of the elements of `other`, as `import` does.
    Array& operator<<(const Array& other) {
        import(other);
        return *this;
    }
    /// Appends one copy of `v`.
    Array& operator<<(const Value& v) {
        import(v);
        return *this;
    }

    /// Becomes a deep copy of `other`.
    Array& operator=(const Array& other);
    /// The Array becomes exactly one element, a copy of `v`.
    Array& operator=(const Value& v);
    /// Takes the elements of `other`, which is left empty; allocates nothing.
    /// `other` may lie inside this Array.
    Array& operator=(Array&& other) noexcept {
        Array taken(std::move(other));
        swap(taken);  // the old elements leave with `taken`
        return *this;
    }
    /// Exchanges the elements of two Arrays; allocates nothing.
    void swap(Array& other) noexcept { elements_.swap(other.elements_); }

    /// The number of elements.
    std::size_t size() const { return elements_.size(); }
    /// Whether there are no elements.
    bool empty() const { return elements_.empty(); }
    /// The elements, in order.
    const Elements& values() const { return elements_; }
    /// @name Elements in order
    ///@{

    /// From the first element to past the last.
    iterator begin() { return iterator(elements_.begin()); }
    iterator end() { return iterator(elements_.end()); }
    const_iterator begin() const { return const_iterator(elements_.begin()); }
    const_iterator end() const { return const_iterator(elements_.end()); }
    ///@}

    /// The element at `index`; an index past the end reports through
    /// `assertion` and aborts. Use `find` where the size is not known.
    Value& operator[](std::size_t index) {
        assertion(__FILE__, __LINE__, "index < size()", index < elements_.size());
        return *elements_[index];
    }
    /// The same, read-only.
    const Value& operator[](std::size_t index) const {
        assertion(__FILE__, __LINE__, "index < size()", index < elements_.size());
        return *elements_[index];
    }

    /// The element at `index`, or null past the end.
    const Value* find(std::size_t index) const;
    /// The element at `index`, or null past the end; an import through it
    /// edits the element in place.
    Value* find(std::size_t index);
    /// Releases the element at `index`, moving the later ones down; answers
    /// whether there was one.
    bool erase(std::size_t index);

    /// Releases every element.
    void reset();

    /// @name Reading JSON text
    /// Each answers whether the input opened with an array that was accepted;
    /// the Array first releases its elements.
    ///@{

    /// Reads one array from `in` into `target`.
    static bool parse(std::istream& in, Array& target);
    bool parse(std::istream& in);
    bool parse(const String& text);
    ///@}

    /// Indented JSON, one TAB per level, numbers at `kNumberDigits`.
    std::string json() const;
    /// XML in one of the dialects `JSONx` to `TaggedXML`, as `Object::xml`.
    std::string xml(Format format, const String& header, const String& attrib) const;

    /// @cond INTERNAL
    // Nodes come from the library's own store (see the README).
    static void* operator new(std::size_t size);
    static void operator delete(void* node, std::size_t size) noexcept;
    /// @endcond

private:
    friend struct detail::ModelAccess;

    void copy_elements_from(const Array& other);

    Elements elements_;
};

// ---------------------------------------------------------------------------
/// @name Comparing
/// Two documents are equal when they hold the same kind and the same
/// content, deeply: strings byte for byte, members under the same keys,
/// elements in the same order, and numbers as doubles, so NaN equals
/// nothing, itself included. An integer kept beyond 2^53 (see
/// `Value::integer`) compares by its exact value: it differs from another
/// kept integer with the same nearest double and equals a double of the
/// same value. Two invalid Values are equal; released content equals the
/// empty content of its kind. An Object's pending key is not compared.
/// However deep the documents, the comparison takes no stack per level.
///@{

/// Whether `a` and `b` are equal, as above.
ZQ_API bool operator==(const Value& a, const Value& b);
ZQ_API bool operator==(const Object& a, const Object& b);
ZQ_API bool operator==(const Array& a, const Array& b);
inline bool operator!=(const Value& a, const Value& b) { return !(a == b); }
inline bool operator!=(const Object& a, const Object& b) { return !(a == b); }
inline bool operator!=(const Array& a, const Array& b) { return !(a == b); }
///@}

/// @name Swapping
/// `a.swap(b)`, for `using std::swap; swap(a, b);`.
///@{

/// Exchanges the contents of `a` and `b`.
inline void swap(Value& a, Value& b) noexcept { a.swap(b); }
inline void swap(Object& a, Object& b) noexcept { a.swap(b); }
inline void swap(Array& a, Array& b) noexcept { a.swap(b); }
///@}

// ---------------------------------------------------------------------------
/// @name Parsing
/// Every reader answers true when its input was accepted.
///@{

/// `Value::parse(in, target)`.
ZQ_API bool parse_value(std::istream& in, Value& target);
/// `Object::parse(in, target)`.
ZQ_API bool parse_object(std::istream& in, Object& target);
/// `Array::parse(in, target)`.
ZQ_API bool parse_array(std::istream& in, Array& target);

/// Skips white space and comments, then reads `pattern` exactly; gives back
/// what it read when the pattern does not follow.
ZQ_API bool match(const char* pattern, std::istream& in);
/// Reads one `//` comment, to the end of its line.
ZQ_API bool parse_comment(std::istream& in);
/// Reads a string in double quotes or apostrophes, escapes decoded.
ZQ_API bool parse_string(std::istream& in, String& value);
/// Reads a bare name of letters, digits and underscores.
ZQ_API bool parse_identifier(std::istream& in, String& value);
/// Reads a number.
ZQ_API bool parse_number(std::istream& in, Number& value);
/// Reads `true` or `false`.
ZQ_API bool parse_bool(std::istream& in, bool& value);
/// Reads `null`, or an empty value in front of a comma.
ZQ_API bool parse_null(std::istream& in);

/// Where and why a text was not accepted.
struct ReadError {
    /// Bytes from where reading began to the first byte that cannot continue
    /// an accepted text (the end of the input when the text stops too early).
    std::size_t offset = 0;
    /// Line of `offset`, from 1; a line ends at LF (CR does not end one).
    std::size_t line = 1;
    /// Column of `offset` in bytes, from 1.
    std::size_t column = 1;
    /// What was wrong there, for example "expected ':' after a key".
    std::string reason;
    /// Which document, from 1, where `read_each` reads several; after an
    /// input `read_each` accepted, how many it read.
    std::size_t document = 1;
};

/// The language `read` accepts.
enum class Syntax {
    /// What `Value::parse` accepts: apostrophe strings, comments, trailing
    /// commas, empty values; nothing after the value is examined.
    Lenient,
    /// Standard JSON (RFC 8259) and the whole input: one value of any kind
    /// with only white space around it, valid UTF-8, numbers within range.
    Strict
};

/// Reads one JSON value from `text` into `target`. On success `target` holds
/// it; on failure `target` is left as it was and `error`, when given, says
/// where and why. Lenient reading accepts and builds exactly what
/// `Value::parse` does, and on failure `offset` is where its reading stopped.
ZQ_API bool read(const String& text, Value& target, ReadError* error = nullptr, Syntax syntax = Syntax::Lenient);
/// `read` from a stream: the same result, document and error as the text it
/// delivers. Lenient reading leaves the stream as `Value::parse` does; strict
/// reading reads it to its end.
ZQ_API bool read(std::istream& in, Value& target, ReadError* error = nullptr, Syntax syntax = Syntax::Lenient);

/// Reads the documents of `in` one after another and hands each to `visit`,
/// then releases it, so that memory holds one document at a time: JSON Lines,
/// or documents of several lines each, with white space (and, leniently,
/// comments) between. Each document is a value of any kind, read as `read`
/// reads one, and starts on a line of its own: `[1]\n[2]` is two documents,
/// while `[][]` and `{"a": 1} "x"` are rejected ("text after the document"),
/// as they are for one JSON text. A UTF-8 byte-order mark at the start of
/// the input is skipped.
///
/// True at the end of the input (with no call when it holds no document) or
/// when `visit` answers false, with `error->document`, when given, the count
/// of documents read; false at the first text that does not start or
/// complete a document, with `error`, when given, saying where (counting from
/// the start of the input) and which document. An empty `visit` reads every
/// document without building it, as a check.
///
/// The stream is read ahead a large piece at a time, so it need not seek;
/// when `visit` stops the reading, the stream stands after what was read
/// ahead, not after the document.
ZQ_API bool read_each(std::istream& in, const std::function<bool(Value& document)>& visit, ReadError* error = nullptr,
                      Syntax syntax = Syntax::Lenient);

/// Whether the input, after leading bytes up to 0x20, opens with an object or
/// an array that the parser accepts. What follows it is not examined.
ZQ_API bool validate(std::istream& in);
/// `validate` of a text.
ZQ_API bool validate(const String& text);
///@}

// ---------------------------------------------------------------------------
/// @name JSON Pointer
/// The value a pointer such as "/server/port" or "/list/0" leads to, or null
/// when it leads nowhere or is malformed; never aborts. In a reference token
/// "~1" stands for '/' and "~0" for '~', and '~' followed by anything else is
/// malformed. "" is the root itself, so an Object or Array root, which no
/// Value holds, answers null for it. An array index is decimal without
/// leading zeros; "-" (one past the end) leads nowhere. The writable forms
/// hand out the Value the document owns, so an import through it edits the
/// document in place.
///@{

/// The value under `root` that `pointer` leads to, or null.
ZQ_API const Value* lookup(const Value& root, std::string_view pointer);
ZQ_API Value* lookup(Value& root, std::string_view pointer);
ZQ_API const Value* lookup(const Object& root, std::string_view pointer);
ZQ_API Value* lookup(Object& root, std::string_view pointer);
ZQ_API const Value* lookup(const Array& root, std::string_view pointer);
ZQ_API Value* lookup(Array& root, std::string_view pointer);
///@}

// ---------------------------------------------------------------------------
/// @name Writing
///@{

/// The body of a JSON string literal, with the quotes when `quote` is true.
ZQ_API std::string escape_string(const std::string& text, bool quote);

/// How a writer puts numbers. Either way NaN and the infinities are written
/// as null (a null element in XML), and an integer kept beyond 2^53 (see
/// `Value::integer`) with all its digits.
enum class Numbers {
    /// The shortest text that reads back as the same double (`0.1`,
    /// `0.30000000000000004`, `1e+23`).
    Shortest,
    /// 16 significant digits, as `json()` and `xml()` write them: free of
    /// binary round-off noise, but not every double reads back the same.
    Digits16,
};

/// What `dump` writes.
struct WriteOptions {
    /// One value per line and one TAB per level, the layout of `json()`;
    /// otherwise one line, the layout of `operator<<`.
    bool indent = false;
    /// How numbers are written.
    Numbers numbers = Numbers::Shortest;
};

/// @name JSON text of a document
/// `dump(doc)` is one line of JSON with every number kept; `dump(doc,
/// {true})` the same indented. `dump(o, {true, Numbers::Digits16})` is
/// `o.json()` byte for byte. The text never depends on a stream's
/// precision, flags or locale. A scalar Value is a document of its own; an
/// invalid one writes nothing.
///@{
ZQ_API std::string dump(const Value& v, const WriteOptions& options = {});
ZQ_API std::string dump(const Object& o, const WriteOptions& options = {});
ZQ_API std::string dump(const Array& a, const WriteOptions& options = {});
/// Writes the text to `out` as it renders, not holding it whole; a stream
/// that takes less than it is given is left bad.
ZQ_API std::ostream& dump(std::ostream& out, const Value& v, const WriteOptions& options = {});
ZQ_API std::ostream& dump(std::ostream& out, const Object& o, const WriteOptions& options = {});
ZQ_API std::ostream& dump(std::ostream& out, const Array& a, const WriteOptions& options = {});
///@}

/// What `write_xml` and `xml_document` write.
struct XmlOptions {
    /// How numbers are written.
    Numbers numbers = Numbers::Shortest;
    /// The name of the one root element; it must be an XML name.
    String root = "json";
    /// No root element: exactly what `Object::xml(format, "", "")` returns
    /// (the declaration line and the elements, which may be several or none),
    /// numbers aside.
    bool fragment = false;
};

/// @name XML documents
/// A well-formed XML document in dialect `JSONx` to `TaggedXML`: the
/// declaration line, then the rendering inside one root element named
/// `options.root`. A root that is not an XML name is refused with
/// `std::invalid_argument`; a format outside 1 to 4 reports through
/// `assertion`. A scalar Value is one element, named as an unnamed array
/// element is.
///@{

/// Writes the document to `out` as it renders, not holding it whole.
ZQ_API std::ostream& write_xml(std::ostream& out, const Value& v, Format format, const XmlOptions& options = {});
ZQ_API std::ostream& write_xml(std::ostream& out, const Object& o, Format format, const XmlOptions& options = {});
ZQ_API std::ostream& write_xml(std::ostream& out, const Array& a, Format format, const XmlOptions& options = {});
/// The document as a string.
ZQ_API std::string xml_document(const Value& v, Format format, const XmlOptions& options = {});
/// The document as a string.
ZQ_API std::string xml_document(const Object& o, Format format, const XmlOptions& options = {});
/// The document as a string.
ZQ_API std::string xml_document(const Array& a, Format format, const XmlOptions& options = {});
///@}

/// JSON text to indented JSON; the empty string when it is not accepted.
ZQ_API std::string reformat(std::istream& in);
/// `reformat` of a text.
ZQ_API std::string reformat(const String& text);

/// JSON text to XML in dialect `JSONx` to `TaggedXML`; the header line alone
/// when the text is not accepted.
ZQ_API std::string xml(std::istream& in, Format format);
/// `xml` of a text.
ZQ_API std::string xml(const String& text, Format format);
///@}

// ---------------------------------------------------------------------------
// Inline members of Value.

/// @cond INTERNAL
namespace detail {
// What a released Value reads as.
template <class T>
const T& empty_content() {
    static const T empty;
    return empty;
}
}  // namespace detail

template <class T>
inline bool Value::is() const {
    static_assert(detail::is_kind<T>, "Value::is<T>: T must be Null, Boolean, Number, String, Array or Object");
    if constexpr (detail::is_kind<T>) return type_ == detail::KindOf<T>::kind;
    return false;
}

template <class T>
inline const T& Value::get() const {
    static_assert(detail::always_false<T>, "Value::get<T>: T must be Boolean, Number, String, Array or Object");
}

template <>
inline const Boolean& Value::get<Boolean>() const {
    assertion(__FILE__, __LINE__, "is<Boolean>()", is<Boolean>());
    return boolean_;
}

template <>
inline const Number& Value::get<Number>() const {
    assertion(__FILE__, __LINE__, "is<Number>()", is<Number>());
    return number_;
}

template <>
inline const String& Value::get<String>() const {
    assertion(__FILE__, __LINE__, "is<String>()", is<String>());
    return string_ ? *string_ : detail::empty_content<String>();
}

template <>
inline const Array& Value::get<Array>() const {
    assertion(__FILE__, __LINE__, "is<Array>()", is<Array>());
    return array_ ? *array_ : detail::empty_content<Array>();
}

template <>
inline const Object& Value::get<Object>() const {
    assertion(__FILE__, __LINE__, "is<Object>()", is<Object>());
    return object_ ? *object_ : detail::empty_content<Object>();
}

template <class T>
inline T& Value::get() {
    static_assert(detail::is_kind<T> && !std::is_same_v<T, Null>,
                  "Value::get<T>: T must be Boolean, Number, String, Array or Object");
    static_cast<const Value&>(*this).get<T>();  // reports another kind
    return *get_if<T>();
}

template <class T>
inline const T* Value::get_if() const {
    static_assert(detail::is_kind<T> && !std::is_same_v<T, Null>,
                  "Value::get_if<T>: T must be Boolean, Number, String, Array or Object");
    if constexpr (detail::is_kind<T> && !std::is_same_v<T, Null>) {
        if (!is<T>()) return nullptr;
        return &get<T>();
    }
    return nullptr;
}

template <class T>
inline T* Value::get_if() {
    static_assert(detail::is_kind<T> && !std::is_same_v<T, Null>,
                  "Value::get_if<T>: T must be Boolean, Number, String, Array or Object");
    if constexpr (std::is_same_v<T, Boolean>) {
        return is<T>() ? &boolean_ : nullptr;
    } else if constexpr (std::is_same_v<T, Number>) {
        return is<T>() ? &number_ : nullptr;
    } else if constexpr (detail::is_kind<T> && !std::is_same_v<T, Null>) {
        if (!is<T>()) return nullptr;
        if (empty()) install(detail::KindOf<T>::kind, new T());
        if constexpr (std::is_same_v<T, String>) return string_;
        if constexpr (std::is_same_v<T, Array>) return array_;
        if constexpr (std::is_same_v<T, Object>) return object_;
    }
    return nullptr;
}

inline void Value::reset() {
    switch (type_) {
        case StringType:
            delete string_;
            string_ = nullptr;
            break;
        case ArrayType:
            delete array_;
            array_ = nullptr;
            break;
        case ObjectType:
            delete object_;
            object_ = nullptr;
            break;
        default:
            break;
    }
}

inline bool Value::empty() const {
    switch (type_) {
        case InvalidType:
            return true;
        case StringType:
            return string_ == nullptr;
        case ArrayType:
            return array_ == nullptr;
        case ObjectType:
            return object_ == nullptr;
        default:
            return false;
    }
}

template <class T>
inline void Value::install(ValueType kind, T* content) {
    reset();
    type_ = kind;
    if constexpr (std::is_same_v<T, String>) string_ = content;
    if constexpr (std::is_same_v<T, Array>) array_ = content;
    if constexpr (std::is_same_v<T, Object>) object_ = content;
}

inline void Value::import(const Boolean& b) {
    const Boolean copy = b;  // `b` may live in the content that reset releases
    reset();
    type_ = BooleanType;
    boolean_ = copy;
}

inline void Value::import(const Number& n) {
    const Number copy = n;
    reset();
    type_ = NumberType;
    exact_ = 0;
    number_ = copy;
}

inline void Value::import(const Null&) {
    reset();
    type_ = NullType;
}

inline void Value::import(const String& s) { install(StringType, new String(s)); }

inline void Value::import(const char* s) {
    if (s)
        import(String(s));
    else
        import(Null());
}

inline void Value::import(const Array& a) { install(ArrayType, new Array(a)); }

inline void Value::import(const Object& o) { install(ObjectType, new Object(o)); }

inline void Value::take(Value& from) noexcept {
    type_ = from.type_;
    exact_ = from.exact_;
    switch (type_) {
        case NumberType:
            number_ = from.number_;
            break;
        case BooleanType:
            boolean_ = from.boolean_;
            break;
        case StringType:
            string_ = from.string_;
            break;
        case ArrayType:
            array_ = from.array_;
            break;
        case ObjectType:
            object_ = from.object_;
            break;
        default:
            break;
    }
    from.type_ = InvalidType;
    from.exact_ = 0;
    from.object_ = nullptr;
}

inline void Value::import(const Value& other) {
    if (&other == this) return;
    switch (static_cast<std::uint32_t>(other.type_)) {
        case NumberType: {
            const std::uint32_t exact = other.exact_;  // `other` may lie in the content import releases
            import(other.number_);
            exact_ = exact;
            return;
        }
        case BooleanType:
            import(other.boolean_);
            return;
        case NullType:
            import(Null());
            return;
        case StringType:
            install(StringType, other.string_ ? new String(*other.string_) : nullptr);
            return;
        case ArrayType:
            install(ArrayType, other.array_ ? new Array(*other.array_) : nullptr);
            return;
        case ObjectType:
            install(ObjectType, other.object_ ? new Object(*other.object_) : nullptr);
            return;
        case InvalidType:
            reset();
            type_ = InvalidType;
            return;
        default:
            assertion(__FILE__, __LINE__, "!\"not implemented\"", false);
    }
}

inline Value& Value::operator[](const String& key) { return get<Object>()[key]; }

inline Value& Value::operator[](std::size_t index) { return get<Array>()[index]; }

inline const Value& Value::operator[](std::size_t index) const { return get<Array>()[index]; }

// ---------------------------------------------------------------------------
// Inline members of Object.

template <class T>
inline T Object::value(const String& key, const T& fallback) const {
    static_assert(detail::is_member_reading<T>,
                  "Object::value<T>: T must be Boolean, String, Array, Object, Value or a numeric type");
    const Value* member = find(key);
    if (!member) return fallback;
    if constexpr (std::is_same_v<T, Value>) {
        return *member;
    } else if constexpr (std::is_same_v<T, Boolean>) {
        if (const Boolean* b = member->get_if<Boolean>()) return *b;
    } else if constexpr (std::is_integral_v<T> && std::is_signed_v<T>) {
        const std::optional<std::int64_t> n = member->integer();
        if (n && static_cast<std::int64_t>(static_cast<T>(*n)) == *n) return static_cast<T>(*n);
    } else if constexpr (std::is_integral_v<T>) {
        const std::optional<std::uint64_t> n = member->unsigned_integer();
        if (n && static_cast<std::uint64_t>(static_cast<T>(*n)) == *n) return static_cast<T>(*n);
    } else if constexpr (std::is_floating_point_v<T>) {
        if (const Number* n = member->get_if<Number>()) return static_cast<T>(*n);
    } else if constexpr (detail::is_member_reading<T>) {
        if (const T* content = member->get_if<T>()) return *content;
    }
    return fallback;
}

inline String Object::value(const String& key, const char* fallback) const {
    const Value* member = find(key);
    if (const String* text = member ? member->get_if<String>() : nullptr) return *text;
    return fallback;
}

/// @endcond

}  // namespace zqjson

// ---------------------------------------------------------------------------
/// @name Compact JSON on a stream
/// One line of JSON, with ": " after keys and ", " between items. Numbers are
/// written as `out << number` would write them, so at the stream's precision:
/// 6 significant digits on a fresh stream. Set `out.precision(17)` to keep
/// every double exactly.
///@{

/// Writes `v` to `out` as compact JSON.
ZQ_API std::ostream& operator<<(std::ostream& out, const zqjson::Value& v);
ZQ_API std::ostream& operator<<(std::ostream& out, const zqjson::Array& a);
ZQ_API std::ostream& operator<<(std::ostream& out, const zqjson::Object& o);
///@}

namespace zqjson {
// Found by argument-dependent lookup too: inside a namespace that declares
// an operator<< of its own, that one hides the global ones from ordinary
// lookup. Only a name is added; the exported symbols stay as they are.
using ::operator<<;
}  // namespace zqjson

#endif
