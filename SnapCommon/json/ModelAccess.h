// The library's own way to the raw fields of the document model: the parser
// fills Values in place and the renderers read content without the checks of
// `get`. Internal; never installed or exported.
#ifndef ZQ_JSON_MODEL_ACCESS_H
#define ZQ_JSON_MODEL_ACCESS_H

#include <cstddef>
#include <type_traits>
#include <utility>

#include "../ZQJson.h"
#include "ExactInteger.h"

namespace zqjson::detail {

struct ModelAccess {
    // The kept integer fills the padding after the kind: a Value stays two
    // words, laid out as it always was.
    static_assert(sizeof(Value) == 16 && offsetof(Value, type_) == 0 && offsetof(Value, number_) == 8 &&
                  offsetof(Value, object_) == 8);

    static ValueType kind(const Value& v) { return v.type_; }
    static Number number(const Value& v) { return v.number_; }
    // Whether a Number keeps an integer its double does not hold; then `n`
    // is that integer. Most keep none, which one test tells.
    static bool exact_integer(const Value& v, ExactInteger& n) {
        return v.type_ == NumberType && number_keeps_integer(v, n);
    }
    // The same for a Value known to hold a Number, as a writer knows it.
    static bool number_keeps_integer(const Value& v, ExactInteger& n) {
        return __builtin_expect(v.exact_ != 0, 0) && integer_of(v.exact_, static_cast<double>(v.number_), n);
    }
    // Keeps beside the Number `v` holds the integer of `mark` (0: none).
    static void keep_exact(Value& v, std::uint32_t mark) { v.exact_ = mark; }
    static Boolean boolean(const Value& v) { return v.boolean_; }
    // Null when the content was released.
    static const String* string(const Value& v) { return v.type_ == StringType ? v.string_ : nullptr; }
    static const Array* array(const Value& v) { return v.type_ == ArrayType ? v.array_ : nullptr; }
    static const Object* object(const Value& v) { return v.type_ == ObjectType ? v.object_ : nullptr; }

    // Gives `v` content the parser built, and its kind.
    template <class T>
    static void adopt(Value& v, T* content) {
        v.install(KindOf<T>::kind, content);
    }

    // `to` releases its content and takes what `from` holds, with its kind;
    // when `from` holds nothing, `to` keeps its kind, released. `from` is
    // left invalid.
    static void take_over(Value& to, Value& from) {
        to.reset();
        if (from.type_ == InvalidType) return;
        to.type_ = from.type_;
        switch (from.type_) {
            case NumberType:
                to.number_ = from.number_;
                to.exact_ = from.exact_;
                break;
            case BooleanType:
                to.boolean_ = from.boolean_;
                break;
            case StringType:
                to.string_ = from.string_;
                break;
            case ArrayType:
                to.array_ = from.array_;
                break;
            case ObjectType:
                to.object_ = from.object_;
                break;
            default:
                break;
        }
        from.type_ = InvalidType;
    }

    // Takes the container out of `v`, which is left released; null when it
    // holds none.
    static Array* detach_array(Value& v) { return v.type_ == ArrayType ? std::exchange(v.array_, nullptr) : nullptr; }
    static Object* detach_object(Value& v) {
        return v.type_ == ObjectType ? std::exchange(v.object_, nullptr) : nullptr;
    }

    static Object::Map& entries(Object& o) { return o.entries_; }
    static Object::Map& entries(Value& v) { return v.object_->entries_; }
    static Array::Elements& elements(Value& v) { return v.array_->elements_; }
    static Array& array_content(Value& v) { return *v.array_; }
    static Object& object_content(Value& v) { return *v.object_; }
    static Array::Elements& elements(Array& a) { return a.elements_; }

    // Lends a container to code that takes a Value, without copying it and
    // without ever freeing it: the view detaches itself on every path out.
    template <class Container>
    class Borrowed {
    public:
        explicit Borrowed(const Container& c) {
            if constexpr (std::is_same_v<Container, Object>) {
                view_.type_ = ObjectType;
                view_.object_ = const_cast<Object*>(&c);
            } else {
                view_.type_ = ArrayType;
                view_.array_ = const_cast<Array*>(&c);
            }
        }
        ~Borrowed() {
            view_.object_ = nullptr;
            view_.array_ = nullptr;
        }
        Borrowed(const Borrowed&) = delete;
        Borrowed& operator=(const Borrowed&) = delete;
        const Value& value() const { return view_; }

    private:
        Value view_;
    };

    // Calls `use` with `root` as a Value: itself, or a container lent as one
    // for the call.
    template <class Root, class Use>
    static decltype(auto) with_value(const Root& root, Use use) {
        if constexpr (std::is_same_v<Root, Value>) {
            return use(root);
        } else {
            const Borrowed<Root> view(root);
            return use(view.value());
        }
    }
};

}  // namespace zqjson::detail

#endif
