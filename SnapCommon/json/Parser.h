// The parser's internal interface: the grammar, written once over a Cursor
// (stream or text) and a builder that receives what it reads; the readers
// that build the document model with it; and the document opening that
// validate, reformat and xml share. Internal; never installed or exported.
#ifndef ZQ_JSON_PARSER_H
#define ZQ_JSON_PARSER_H

#include <cstddef>
#include <iosfwd>
#include <string_view>

#include "../ZQJson.h"
#include "Builders.h"
#include "Cursor.h"

namespace zqjson::detail {

// The document opening of validate, reformat and xml: skip leading bytes up to
// 0x20, then read an object at '{' or an array at '['.
enum class Opened { Nothing, Object, Array };
Opened open_document(std::istream& in, Object& object, Array& array);
// Reads the text in place, with the result an input string stream over it
// gives; `error`, when given, receives where reading stopped and why. The
// text must not lie inside `object` or `array`.
Opened open_document(std::string_view text, Object& object, Array& array, ReadError* error = nullptr);
// The same opening, building nothing: whether it accepts the input.
bool check_document(std::istream& in);
bool check_document(std::string_view text, ReadError* error = nullptr);
// Whether the whole text is standard JSON (any value at the top), building
// nothing.
bool check_strictly(std::string_view text, ReadError* error = nullptr);

// One value read from the front of a text, as `read` reads one but looking
// at nothing after it in either syntax: whether it was read, where it ended
// (or where reading stopped), and how far reading went, which tells a value
// that the end of the text may have cut short.
struct FrontRead {
    bool ok = false;
    std::size_t end = 0;
    std::size_t reached = 0;
    ReadError error;  // when not read; offset, line and column within the text
};
// Builds the value into `staged` when there is one; builds nothing when null.
FrontRead read_front(std::string_view text, Value* staged, Syntax syntax);

// Why reading stopped, where a reader noted it: an offset and one of the
// reasons `ReadError` carries.
struct Stop {
    std::size_t offset = 0;
    const char* reason = nullptr;
};

// The grammar over one source, handing what it reads to `Build`. Each member
// answers true when its token or value was read; a value read is one event
// (a scalar) or a bracketed run of them (a container) at the builder.
//
// Lenient is the language of the stream operations the readers are written
// in; Strict is standard JSON and the whole input, through the same
// structural readers. A failed lenient read may be recovered by an enclosing
// reader; a failed strict read is final.
//
// `depth` counts the arrays and objects open around a value; a container is
// entered only while the count, itself included, stays within kMaxDepth: a
// deeper one fails the source, as the end of the input does, and with it the
// whole read.
template <class In, class Build, Syntax kSyntax = Syntax::Lenient>
class Grammar {
public:
    Grammar(In& in, Build& build) : in_(in), build_(build) {}

    bool match(const char* pattern);
    bool comment();
    template <class Text>
    bool string(Text& value);
    bool identifier(String& value);
    bool number(Number& value);
    bool boolean(bool& value);
    bool null();

    bool value(std::size_t depth);
    bool object(std::size_t depth);
    bool array(std::size_t depth);
    // Leading bytes up to 0x20, then an object or an array.
    Opened document();
    // One value and nothing but white space around it: the strict text.
    bool whole_text();

    // The last reason noted, and where.
    const Stop& stop() const { return stop_; }

private:
    static constexpr bool kStrict = kSyntax == Syntax::Strict;
    enum class Attempt { String, Number, Boolean, Null, Array, Object, None };
    Attempt first_attempt();
    bool value_from(std::size_t depth, Attempt first);
    bool string_value();
    bool close(const char* bracket, bool value_failed, const char* expected);
    const char* reason_at_value();

    // The full sequences of stream operations, behind the fast paths.
    bool match_slowly(const char* pattern);
    bool match_sequence(const char* pattern);
    bool number_slowly(Number& value);
    template <class Text>
    void unicode_escape(Text& value, unsigned& high);
    bool too_deep(std::size_t depth);

    // Standard JSON's tokens.
    bool strict_match(char c);
    template <class Text>
    bool strict_string(Text& value);
    template <class Text>
    bool strict_escape(Text& value, unsigned& high);
    template <class Text>
    bool strict_utf8(Text& value, int lead);
    bool strict_number(Number& value);
    bool strict_number_run();
    bool strict_literal(const char* literal);
    bool takes_byte_order_mark();

    void note(const char* reason);
    void note_at(std::size_t offset, const char* reason);
    bool fails_at(const char* reason);

    In& in_;
    Build& build_;
    Stop stop_;
    bool deep_ = false;  // kMaxDepth was passed: nothing later is noted
};

// The readers the public parse functions run: the grammar building the
// document model, each into a caller's target.
template <class In>
class Reader {
public:
    explicit Reader(In& in) : grammar_(in, build_) {}

    bool match(const char* pattern) { return grammar_.match(pattern); }
    bool comment() { return grammar_.comment(); }
    bool string(String& value) { return grammar_.string(value); }
    bool identifier(String& value) { return grammar_.identifier(value); }
    bool number(Number& value) { return grammar_.number(value); }
    bool boolean(bool& value) { return grammar_.boolean(value); }
    bool null() { return grammar_.null(); }

    // A Value target takes what was read only on success; it is released
    // (keeping its kind) whatever the result.
    bool value(Value& target, std::size_t depth);
    // An Object or Array target keeps the members or elements added before
    // a failure.
    bool object(Object& target, std::size_t depth);
    bool array(Array& target, std::size_t depth);
    Opened document(Object& object, Array& array);

    const Stop& stop() const { return grammar_.stop(); }

private:
    DocumentBuilder build_;
    Grammar<In, DocumentBuilder> grammar_;
};

extern template class Reader<TextCursor>;
extern template class Reader<StreamCursor>;

}  // namespace zqjson::detail

#endif
