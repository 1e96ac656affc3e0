// The one traversal of a document that every writer renders from. Internal.
//
// Open containers wait on an explicit stack of frames rather than on the call
// stack, so a document built deeper than the parser reads is walked on any
// thread. The walk tells a writer what comes next, and nothing more: a
// writer picks a separator or a line ending once it knows whether a sibling
// or the end of the container follows.
#ifndef ZQ_JSON_WALK_H
#define ZQ_JSON_WALK_H

#include <cstddef>
#include <type_traits>
#include <vector>

#include "../ZQJson.h"
#include "Inline.h"
#include "ModelAccess.h"

namespace zqjson::detail {

// Where a value stands in the document.
struct Placement {
    std::size_t depth;  // arrays and objects open around it
    const String* key;  // its key as a member; null for an array element or the root
    bool first;         // whether it comes first in its container (the root does)
};

// Walks `root` in document order while `writer.going()`, telling `writer`:
//   scalar(value, place, parent)          any value but an array or object
//   open(array, place, parent, state)     an array or object whose children follow
//   open(object, place, parent, state)
//   close(is_object, place, state, empty) the end of the innermost open one
// `parent` is the writer's state of the enclosing container, null at the
// root; `state` is the writer's own, of type `Writer::Frame`, kept with the
// container's frame. Content that was released reads as empty.
template <class Writer>
class Walk {
public:
    using State = typename Writer::Frame;

    explicit Walk(Writer& writer) : writer_(writer) {}

    void run(const Value& root) {
        enter(root, Placement{0, nullptr, true}, nullptr);
        while (!frames_.empty() && writer_.going()) {
            Frame& frame = frames_.back();
            if (frame.is_object ? enter_members(frame) : enter_elements(frame)) continue;
            writer_.close(frame.is_object, frame.place, frame.state, frame.empty);
            frames_.pop_back();
        }
    }

private:
    struct Frame {
        bool is_object;
        bool empty;  // no child entered yet
        Placement place;
        Array::Elements::const_iterator next_element, end_element;
        Object::Map::const_iterator next_member, end_member;
        State state;
    };

    template <class T>
    static const T& content_of(const T* content) {
        return content ? *content : empty_content<T>();
    }

    // Returns whether the value opened a container, whose frame is now the
    // innermost. Inlined into the loops over children: a call per value
    // costs more than most values take to write.
    ZQ_INLINE bool enter(const Value& value, const Placement& place, State* parent) {
        switch (ModelAccess::kind(value)) {
            case ArrayType: {
                const Array& array = content_of(ModelAccess::array(value));
                if (array.values().empty()) return enter_empty(array, place, parent);
                Frame frame{false, true, place, array.values().begin(), array.values().end(), {}, {}, {}};
                writer_.open(array, place, parent, frame.state);
                frames_.push_back(frame);  // after the writer saw `parent`, which the push may move
                return true;
            }
            case ObjectType: {
                const Object& object = content_of(ModelAccess::object(value));
                if (object.kv_map().empty()) return enter_empty(object, place, parent);
                Frame frame{true, true, place, {}, {}, object.kv_map().begin(), object.kv_map().end(), {}};
                writer_.open(object, place, parent, frame.state);
                frames_.push_back(frame);
                return true;
            }
            default:
                writer_.scalar(value, place, parent);
                return false;
        }
    }

    // An empty container opens and closes at once, without a frame: in some
    // documents most arrays are empty.
    template <class Container>
    bool enter_empty(const Container& container, const Placement& place, State* parent) {
        State state{};
        writer_.open(container, place, parent, state);
        if (writer_.going()) writer_.close(std::is_same_v<Container, Object>, place, state, true);
        return false;
    }

    // Enters the children of the innermost open container in turn, scalars
    // one after another without going back to the stack, until one opens a
    // container or the writer stops: true then, false at the container's end.
    bool enter_elements(Frame& frame) {
        while (frame.next_element != frame.end_element) {
            const Placement place{frame.place.depth + 1, nullptr, frame.empty};
            frame.empty = false;
            if (enter(**frame.next_element++, place, &frame.state) || !writer_.going()) return true;
        }
        return false;
    }
    bool enter_members(Frame& frame) {
        while (frame.next_member != frame.end_member) {
            const auto& [key, member] = *frame.next_member++;
            const Placement place{frame.place.depth + 1, &key, frame.empty};
            frame.empty = false;
            if (enter(*member, place, &frame.state) || !writer_.going()) return true;
        }
        return false;
    }

    Writer& writer_;
    std::vector<Frame> frames_;
};

template <class Writer>
void walk(const Value& root, Writer& writer) {
    Walk<Writer>(writer).run(root);
}

}  // namespace zqjson::detail

#endif
