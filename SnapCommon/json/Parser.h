// The parser's internal interface: the document opening that validate,
// reformat and xml share, and the readers themselves, written once over a
// Cursor and instantiated for streams and for text. Internal; never
// installed or exported.
#ifndef ZQ_JSON_PARSER_H
#define ZQ_JSON_PARSER_H

#include <cstddef>
#include <iosfwd>
#include <string_view>
#include <vector>

#include "../ZQJson.h"
#include "Cursor.h"

namespace zqjson::detail {

// The document opening of validate, reformat and xml: skip leading bytes up to
// 0x20, then read an object at '{' or an array at '['.
enum class Opened { Nothing, Object, Array };
Opened open_document(std::istream& in, Object& object, Array& array);
// Reads the text in place, with the result an input string stream over it
// gives; `stopped`, when given, receives where reading stopped. The text must
// not lie inside `object` or `array`.
Opened open_document(std::string_view text, Object& object, Array& array,
                     std::size_t* stopped = nullptr);

// The token readers and the structural parser over one source. Each member
// answers true when its token or value was read. `depth` counts the arrays
// and objects open around a value; a container is entered only while the
// count, itself included, stays within kMaxDepth: a deeper one fails the
// source, as the end of the input does, and with it the whole read.
template <class In>
class Reader {
public:
    explicit Reader(In& in) : in_(in) {}

    bool match(const char* pattern);
    bool comment();
    bool string(String& value);
    bool identifier(String& value);
    bool number(Number& value);
    bool boolean(bool& value);
    bool null();

    bool value(Value& target, std::size_t depth);
    bool object(Object& target, std::size_t depth);
    bool array(Array& target, std::size_t depth);
    Opened document(Object& object, Array& array);

private:
    enum class Attempt { String, Number, Boolean, Null, Array, Object };
    Attempt first_attempt();
    bool value_from(Value& target, std::size_t depth, Attempt first);

    // The full sequences of stream operations, behind the fast paths.
    bool match_slowly(const char* pattern);
    bool match_sequence(const char* pattern);
    bool number_slowly(Number& value);
    void unicode_escape(String& value, unsigned& high);
    bool too_deep(std::size_t depth);

    In& in_;
    // Elements of the arrays being read, innermost last: each array takes
    // its own at the end, in one allocation of the exact size.
    std::vector<Value*> pending_;
};

extern template class Reader<TextCursor>;
extern template class Reader<StreamCursor>;

}  // namespace zqjson::detail

#endif
