// What the grammar hands its events to. The document builder makes the
// model from them; the null builder keeps nothing, so that a check of a text
// costs no memory per value. Internal; never installed or exported.
#ifndef ZQ_JSON_BUILDERS_H
#define ZQ_JSON_BUILDERS_H

#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

#include "../ZQJson.h"
#include "ModelAccess.h"
#include "NodePool.h"

namespace zqjson::detail {

// Takes a string's bytes and keeps none of them.
struct DiscardedText {
    void push_back(char) {}
    void append(const char*, std::size_t) {}
};

struct NullBuilder {
    using Text = DiscardedText;

    void string(Text&&) {}
    void number(Number) {}
    void exact(std::uint32_t) {}
    void boolean(bool) {}
    void null() {}
    void begin_array() {}
    void end_array() {}
    void drop_array() {}
    void begin_object() {}
    void key(Text&&) {}
    void drop_key() {}
    void end_object() {}
    void drop_object() {}
};

// Builds values bottom-up: each finished value waits on one stack until its
// container ends, and each key on another, so an array takes its elements in
// one allocation of the exact size and an object its members in input order.
// A dropped container's values are released with it.
class DocumentBuilder {
public:
    using Text = String;

    DocumentBuilder() = default;
    DocumentBuilder(const DocumentBuilder&) = delete;
    DocumentBuilder& operator=(const DocumentBuilder&) = delete;
    ~DocumentBuilder() { release_from(0); }

    void string(String&& text) {
        std::unique_ptr<Value> value(values_made_.make());
        ModelAccess::adopt(*value, new String(std::move(text)));
        push(std::move(value));
    }
    void number(Number n) { push(std::unique_ptr<Value>(values_made_.make(n))); }
    // The number read last keeps the integer of `mark` beside its double.
    void exact(std::uint32_t mark) { ModelAccess::keep_exact(*values_.back(), mark); }
    void boolean(bool b) { push(std::unique_ptr<Value>(values_made_.make(Boolean(b)))); }
    void null() { push(std::unique_ptr<Value>(values_made_.make(Null()))); }

    void begin_array() { frames_.push_back({values_.size(), keys_.size()}); }
    void end_array() {
        const Frame frame = pop_frame();
        std::unique_ptr<Array> content(arrays_made_.make());
        ModelAccess::elements(*content).assign(values_.begin() + static_cast<std::ptrdiff_t>(frame.values),
                                               values_.end());
        values_.resize(frame.values);
        push_container(std::move(content));
    }
    void drop_array() { keep_or_drop(&DocumentBuilder::end_array); }

    void begin_object() { begin_array(); }
    void key(String&& key) { keys_.push_back(std::move(key)); }
    // The member whose key came last has no value.
    void drop_key() { keys_.pop_back(); }
    void end_object() {
        const Frame frame = pop_frame();
        std::unique_ptr<Object> content(objects_made_.make());
        Object::Map& entries = ModelAccess::entries(*content);
        for (std::size_t i = frame.values, k = frame.keys; i < values_.size(); ++i, ++k) {
            // Keys often arrive in order; the hint makes that case constant time.
            Value*& slot = entries.try_emplace(entries.end(), std::move(keys_[k]), nullptr)->second;
            delete slot;  // a later key replaces an earlier one
            slot = std::exchange(values_[i], nullptr);
        }
        values_.resize(frame.values);
        keys_.resize(frame.keys);
        push_container(std::move(content));
    }
    void drop_object() { keep_or_drop(&DocumentBuilder::end_object); }

    // A failed outermost container still ends as a value, with what was
    // added before the failure: a caller's Object or Array target keeps it.
    void keep_failed_outermost(bool keep) { keep_failed_ = keep; }

    // The value read last, taken out of the builder; null when there is none.
    std::unique_ptr<Value> take() {
        if (values_.empty()) return nullptr;
        std::unique_ptr<Value> last(values_.back());
        values_.pop_back();
        return last;
    }

private:
    struct Frame {
        std::size_t values;
        std::size_t keys;
    };

    void push(std::unique_ptr<Value> value) {
        values_.push_back(value.get());
        value.release();
    }
    template <class Container>
    void push_container(std::unique_ptr<Container> content) {
        std::unique_ptr<Value> value(values_made_.make());
        ModelAccess::adopt(*value, content.release());
        push(std::move(value));
    }
    Frame pop_frame() {
        const Frame frame = frames_.back();
        frames_.pop_back();
        return frame;
    }
    void keep_or_drop(void (DocumentBuilder::*end)()) {
        if (keep_failed_ && frames_.size() == 1) {
            (this->*end)();
            return;
        }
        const Frame frame = pop_frame();
        release_from(frame.values);
        keys_.resize(frame.keys);
    }
    void release_from(std::size_t first) {
        for (std::size_t i = first; i < values_.size(); ++i) delete values_[i];
        values_.resize(first);
    }

    NodeReserve<Value> values_made_;
    NodeReserve<Array> arrays_made_;
    NodeReserve<Object> objects_made_;
    std::vector<Value*> values_;
    std::vector<String> keys_;
    std::vector<Frame> frames_;
    bool keep_failed_ = false;
};

}  // namespace zqjson::detail

#endif
