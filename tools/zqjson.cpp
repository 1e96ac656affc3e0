// zqjson: the JSON library from the shell. Checks documents, writes them
// indented, on one line, or as XML.
//
// Each input is read whole into memory once and parsed in place. When an
// input is not accepted, one line on standard error says which, where
// reading stopped and why, and nothing goes to standard output.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iostream>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "SnapCommon/ZQJson.h"

namespace {

using namespace zqjson;

enum ExitStatus { kSuccess = 0, kNotAccepted = 1, kUsageError = 2 };

constexpr const char* kProgram = "zqjson";
constexpr const char* kStdinName = "<stdin>";
// What the tool does with inputs when no command is named.
constexpr const char* kDefaultCommand = "reformat";
// The most read from an input at a time, when the reader asks for little.
constexpr std::size_t kReadChunk = 64 * 1024;
// The root element that makes the XML rendering one document.
constexpr const char* kDefaultRoot = "json";

constexpr const char* kToolHelp =
    "usage: zqjson [COMMAND] [OPTION...] [FILE...]\n"
    "\n"
    "Commands:\n"
    "  validate [--strict] [FILE...]\n"
    "                      check that every document of each input is JSON\n"
    "  reformat [--strict] [--rounded] [FILE...]\n"
    "                      write each document as indented JSON, one TAB per\n"
    "                      level; what zqjson does when no command is named\n"
    "  compact [--strict] [--rounded] [FILE...]\n"
    "                      write each document as JSON on one line\n"
    "  xml [--dialect D] [--root NAME | --fragment] [--strict] [--rounded] [FILE...]\n"
    "                      write the documents as one XML document in dialect D:\n"
    "                      jsonx (the default), jxml, jxmlex or tagged\n"
    "  get [--raw] [--strict] [--rounded] POINTER [FILE...]\n"
    "                      write the value at a JSON Pointer (/a/b/0) of each\n"
    "                      document on one line\n"
    "  help [COMMAND]      describe the tool, or one command\n"
    "  --version           print the library version\n"
    "\n"
    "Each input is read in turn, and every document in it: JSON Lines, or\n"
    "documents of several lines one after another, each starting on a line of\n"
    "its own. '-' or no FILE at all is standard input; a UTF-8 byte-order mark at\n"
    "the start of an input is skipped. A document is any JSON value, read\n"
    "leniently (comments, apostrophe strings, trailing commas); --strict takes\n"
    "standard JSON only. Text after a document on its line, or that starts no\n"
    "document, is not accepted, and neither is an input with no document.\n"
    "Options take '--opt value' or '--opt=value'; '--' ends them.\n"
    "Every number is written as the shortest text that reads back as the same\n"
    "number, and an integer up to 64 bits with all its digits; --rounded writes\n"
    "16 significant digits instead, as the library's reformat() does (--exact,\n"
    "which once asked for the shortest text, is still accepted and changes\n"
    "nothing).\n"
    "\n"
    "Examples: zqjson config.json\n"
    "          zqjson compact a.json b.json > both.jsonl\n"
    "\n"
    "Exit status: 0 success, 1 an input was not accepted, 2 usage error, an\n"
    "input that cannot be read, or output that cannot be written.\n";

// The options a command takes, as bits.
enum Option : unsigned {
    kDialectOption = 1,
    kRawOption = 2,
    kStrictOption = 4,
    kRoundedOption = 8,
    kRootOption = 16,
    kFragmentOption = 32,
    kExactOption = 64,  // what numbers are by default: accepted, changes nothing
};

// What the command line gives a command.
struct Arguments {
    std::vector<const char*> files;  // "-": standard input
    Syntax syntax = Syntax::Lenient;
    Numbers numbers = Numbers::Shortest;
    Format dialect = JSONx;           // of the xml command
    std::string root = kDefaultRoot;  // of the xml command
    bool fragment = false;            // of the xml command
    const char* pointer = nullptr;    // of the get command
    bool raw = false;                 // of the get command
};

constexpr const char* kStdinPath = "-";

const std::pair<std::string_view, Format> kDialects[] = {
    {"jsonx", JSONx},
    {"jxml", JXML},
    {"jxmlex", JXMLex},
    {"tagged", TaggedXML},
};

// One input: standard input or a file, read through a stream buffer that
// hands on what each read of the file gives, so that documents arriving on
// a pipe are written as they come, and that tells a failed read from the
// end.
class InputBuffer : public std::streambuf {
public:
    explicit InputBuffer(int fd) : fd_(fd) {}
    InputBuffer(const InputBuffer&) = delete;
    InputBuffer& operator=(const InputBuffer&) = delete;

    // The error of a read that failed, or 0.
    int error() const { return error_; }

protected:
    int_type underflow() override {
        const std::size_t got = read_some(buffer_, sizeof buffer_);
        setg(buffer_, buffer_, buffer_ + got);
        return got == 0 ? traits_type::eof() : traits_type::to_int_type(*gptr());
    }
    // What the buffer holds, or else one read straight into `to`.
    std::streamsize xsgetn(char* to, std::streamsize count) override {
        const std::streamsize held = egptr() - gptr();
        if (held > 0) {
            const std::streamsize taken = std::min(held, count);
            std::memcpy(to, gptr(), static_cast<std::size_t>(taken));
            gbump(static_cast<int>(taken));
            return taken;
        }
        return static_cast<std::streamsize>(read_some(to, static_cast<std::size_t>(count)));
    }

private:
    std::size_t read_some(char* to, std::size_t count) {
        for (;;) {
            const ssize_t got = ::read(fd_, to, count);
            if (got >= 0) return static_cast<std::size_t>(got);
            if (errno == EINTR) continue;
            error_ = errno;
            return 0;
        }
    }

    int fd_;
    int error_ = 0;
    char buffer_[kReadChunk];
};

// The length of the well-formed UTF-8 sequence at `p`, or 0: no overlong
// form, no surrogate, nothing past U+10FFFF.
std::size_t utf8_length(const char* p, const char* end) {
    const auto lead = static_cast<unsigned char>(*p);
    const int continuations = lead >= 0xC2 && lead <= 0xDF   ? 1
                              : lead >= 0xE0 && lead <= 0xEF ? 2
                              : lead >= 0xF0 && lead <= 0xF4 ? 3
                                                             : 0;
    if (continuations == 0 || end - p <= continuations) return 0;
    const unsigned low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    const unsigned high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    const auto second = static_cast<unsigned char>(p[1]);
    if (second < low || second > high) return 0;
    for (int i = 2; i <= continuations; ++i)
        if ((static_cast<unsigned char>(p[i]) & 0xC0) != 0x80) return 0;
    return static_cast<std::size_t>(continuations) + 1;
}

// `text` for a line on a terminal: control bytes, and bytes that are not
// well-formed UTF-8, as \xHH, so that what a user typed cannot break the
// line or drive the terminal.
std::string printable(std::string_view text) {
    constexpr char kHex[] = "0123456789abcdef";
    std::string shown;
    const auto escape = [&](unsigned char byte) {
        shown += "\\x";
        shown += kHex[byte >> 4];
        shown += kHex[byte & 0xF];
    };
    const char* const end = text.data() + text.size();
    for (const char* p = text.data(); p != end;) {
        const auto byte = static_cast<unsigned char>(*p);
        if (byte < 0x80) {
            if (byte < 0x20 || byte == 0x7F)
                escape(byte);
            else
                shown += *p;
            ++p;
            continue;
        }
        const std::size_t length = utf8_length(p, end);
        const bool c1_control = length == 2 && byte == 0xC2 && static_cast<unsigned char>(p[1]) < 0xA0;
        if (length == 0 || c1_control) {
            for (const char* q = p + (length == 0 ? 1 : length); p != q; ++p) escape(static_cast<unsigned char>(*p));
            continue;
        }
        shown.append(p, length);
        p += length;
    }
    return shown;
}

void report(const std::string& name, const std::string& problem) {
    std::cerr << kProgram << ": " << printable(name) << ": " << printable(problem) << '\n';
}

void report_no_memory(const std::string& what, const std::string& name) {
    std::cerr << kProgram << ": not enough memory to " << what << ' ' << printable(name) << '\n';
}

// "document N, " for the second document of an input on, where a line and
// column alone would not say which.
std::string which_document(std::size_t document) {
    return document > 1 ? "document " + std::to_string(document) + ", " : std::string();
}

// Where reading stopped and why: "line L, column C: REASON".
void report_not_accepted(const std::string& name, const ReadError& error) {
    report(name, "not accepted: " + which_document(error.document) + "line " + std::to_string(error.line) +
                     ", column " + std::to_string(error.column) + ": " + error.reason);
}

bool output_failed() {
    std::cout.flush();
    if (std::cout) return false;
    report("<stdout>", "cannot write");
    return true;
}

// ---------------------------------------------------------------------------
// Commands

// The exit status of several inputs is the worst of theirs.
int worse(int status, int other) { return std::max(status, other); }

// Hands each document of one input to `use` in turn, with its number from 1,
// which answers kSuccess or kNotAccepted; without `use`, checks them. Says on
// standard error why an input cannot be read or is not accepted (also when
// it holds no document).
template <class Use>
int read_input(const char* path, const Arguments& arguments, Use use) {
    const bool from_stdin = std::strcmp(path, kStdinPath) == 0;
    const std::string name = from_stdin ? kStdinName : path;
    const int fd = from_stdin ? 0 : ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        report(name, std::string("cannot open: ") + std::strerror(errno));
        return kUsageError;
    }
    InputBuffer buffer(fd);
    std::istream in(&buffer);
    int status = kSuccess;
    std::size_t number = 0;
    ReadError error;
    bool accepted = false;
    std::function<bool(Value&)> visit;
    if constexpr (!std::is_same_v<Use, std::nullptr_t>) {
        visit = [&](Value& document) {
            status = worse(status, use(document, name, ++number));
            return static_cast<bool>(std::cout);
        };
    }
    try {
        accepted = read_each(in, visit, &error, arguments.syntax);
    } catch (const std::bad_alloc&) {
        std::cout.flush();
        report_no_memory(number > 0 ? "write" : "read", name);
        status = kUsageError;
    }
    if (!from_stdin) ::close(fd);
    if (status == kUsageError) return status;
    if (buffer.error() != 0) {
        report(name, std::string("cannot read: ") + std::strerror(buffer.error()));
        return kUsageError;
    }
    if (!accepted) {
        report_not_accepted(name, error);
        return worse(status, kNotAccepted);
    }
    if (error.document == 0) {
        report(name, "not accepted: no document");
        return kNotAccepted;
    }
    return status;
}

// Each input in turn; a failure to write ends it.
template <class Use>
int each_input(const Arguments& arguments, Use use) {
    int status = kSuccess;
    for (const char* path : arguments.files) {
        status = worse(status, read_input(path, arguments, use));
        if (output_failed()) return kUsageError;
    }
    return status;
}

// Checked without building the documents: the longest line is all it costs.
int validate_command(const Arguments& arguments) { return each_input(arguments, nullptr); }

void write_text(std::string_view text) { std::cout.write(text.data(), static_cast<std::streamsize>(text.size())); }

void write_compact(const Value& value, Numbers numbers) { dump(std::cout, value, {false, numbers}) << '\n'; }

int reformat_command(const Arguments& arguments) {
    return each_input(arguments, [&](const Value& document, const std::string&, std::size_t) {
        dump(std::cout, document, {true, arguments.numbers});
        return kSuccess;
    });
}

int compact_command(const Arguments& arguments) {
    return each_input(arguments, [&](const Value& document, const std::string&, std::size_t) {
        write_compact(document, arguments.numbers);
        return kSuccess;
    });
}

// The value at the pointer on one line; a string's own text with --raw.
int get_command(const Arguments& arguments) {
    return each_input(arguments, [&](const Value& document, const std::string& name, std::size_t number) {
        const Value* found = *arguments.pointer == '\0' ? &document : lookup(document, arguments.pointer);
        if (!found) {
            report(name, which_document(number) + "nothing at '" + arguments.pointer + "'");
            return kNotAccepted;
        }
        if (arguments.raw && found->is<String>()) {
            write_text(found->get<String>());
            std::cout << '\n';
        } else {
            write_compact(*found, arguments.numbers);
        }
        return kSuccess;
    });
}

// Drops what is written up to and including the first line feed, and hands
// the rest on: the rendering of one document without its declaration line,
// where several share one.
class AfterFirstLine : public std::streambuf {
public:
    explicit AfterFirstLine(std::streambuf& to) : to_(to) {}

protected:
    std::streamsize xsputn(const char* text, std::streamsize count) override {
        std::streamsize skipped = 0;
        if (!past_first_line_) {
            const void* feed = std::memchr(text, '\n', static_cast<std::size_t>(count));
            if (!feed) return count;
            skipped = static_cast<const char*>(feed) - text + 1;
            past_first_line_ = true;
        }
        return to_.sputn(text + skipped, count - skipped) == count - skipped ? count : skipped;
    }
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
        const char byte = traits_type::to_char_type(c);
        return xsputn(&byte, 1) == 1 ? c : traits_type::eof();
    }

private:
    std::streambuf& to_;
    bool past_first_line_ = false;
};

// The XML of a whole run as one XML document. One document alone is written
// as the library writes it; several, each in an element of its own inside
// the one root element, `<document input="NAME" number="N">`, numbered
// within its input. So the first document waits until the next shows which.
class XmlRun {
public:
    XmlRun(Format dialect, XmlOptions options) : dialect_(dialect), options_(std::move(options)) {}

    void add(Value& document, const std::string& input, std::size_t number) {
        if (written_ == 0 && !waiting_) {
            waiting_.emplace(std::move(document));
            waiting_input_ = input;
            return;
        }
        if (waiting_) {
            start_several();
            write_one(*waiting_, waiting_input_, 1);
            waiting_.reset();
        }
        write_one(document, input, number);
    }

    void finish() {
        if (waiting_) {
            write_xml(std::cout, *waiting_, dialect_, options_);
        } else if (written_ > 0 && !options_.fragment) {
            std::cout << "</" << options_.root << ">\n";
        }
    }

private:
    void start_several() {
        XmlOptions declaration_alone = options_;
        declaration_alone.fragment = true;
        const std::string declaration = xml_document(Value(), dialect_, declaration_alone);
        write_text(std::string_view(declaration).substr(0, declaration.find('\n') + 1));
        if (!options_.fragment) std::cout << '<' << options_.root << ">\n";
    }
    void write_one(const Value& document, const std::string& input, std::size_t number) {
        ++written_;
        XmlOptions fragment = options_;
        fragment.fragment = true;
        if (!options_.fragment)
            std::cout << "<document input=\"" << escape_for_attribute(input) << "\" number=\"" << number << "\">\n";
        std::cout.flush();
        AfterFirstLine body(*std::cout.rdbuf());
        std::ostream out(&body);
        write_xml(out, document, dialect_, fragment);
        if (!out) std::cout.setstate(std::ios_base::badbit);
        if (!options_.fragment) std::cout << "</document>\n";
    }
    // An input's name inside an attribute value: its markup characters as
    // references.
    static std::string escape_for_attribute(const std::string& name) {
        std::string out;
        for (const char c : name) {
            switch (c) {
                case '&':
                    out += "&amp;";
                    break;
                case '<':
                    out += "&lt;";
                    break;
                case '"':
                    out += "&quot;";
                    break;
                default:
                    out += c;
            }
        }
        return out;
    }

    const Format dialect_;
    const XmlOptions options_;
    std::optional<Value> waiting_;
    std::string waiting_input_;
    std::size_t written_ = 0;
};

int xml_command(const Arguments& arguments) {
    XmlRun run(arguments.dialect, XmlOptions{arguments.numbers, arguments.root, arguments.fragment});
    const int status = each_input(arguments, [&](Value& document, const std::string& input, std::size_t number) {
        run.add(document, input, number);
        return kSuccess;
    });
    run.finish();
    return output_failed() ? kUsageError : status;
}

struct Command {
    const char* name;
    int (*run)(const Arguments& arguments);
    unsigned options;  // Option bits
    const char* help;
};

// What every command says of its inputs and of --strict.
#define ZQ_INPUTS_HELP                                                              \
    "Every document of each input is read in turn: JSON Lines, or documents of\n"   \
    "several lines one after another, each starting on a line of its own. '-' or\n" \
    "no FILE is standard input.\n"
#define ZQ_STRICT_HELP                                                               \
    "  --strict   accept standard JSON (RFC 8259) only, instead of also comments,\n" \
    "             apostrophe strings, trailing commas and empty values\n"
#define ZQ_ROUNDED_HELP                                                                \
    "  --rounded  write numbers with 16 significant digits, as the library's\n"        \
    "             reformat() does, instead of the shortest text that reads back and\n" \
    "             every digit of an integer up to 64 bits\n"
#define ZQ_WRITTEN_STATUS_HELP                                                    \
    "Exit status: 0 all written, 1 a document not accepted (the ones before it\n" \
    "are written), 2 usage error, an input that cannot be read, or output that\n" \
    "cannot be written.\n"

const Command kCommands[] = {
    {"validate", validate_command, kStrictOption,
     "usage: zqjson validate [--strict] [FILE...]\n"
     "\n"
     "Checks that every document of each input is JSON, without building it.\n"
     "Writes nothing for accepted inputs and one line on standard error for each\n"
     "input that is not, with the document, line and column where reading stopped\n"
     "and why.\n"
     "\n" ZQ_INPUTS_HELP "\n" ZQ_STRICT_HELP "\n"
     "Example: zqjson validate --strict *.json logs.jsonl\n"
     "\n"
     "Exit status: 0 all accepted, 1 an input not accepted, 2 usage error or an\n"
     "input that cannot be read.\n"},
    {"reformat", reformat_command, kStrictOption | kRoundedOption | kExactOption,
     "usage: zqjson reformat [--strict] [--rounded] [FILE...]\n"
     "       zqjson [--strict] [--rounded] [FILE...]\n"
     "\n"
     "Writes each document as indented JSON: one value per line, one TAB per\n"
     "level, members in key order, every number kept.\n"
     "\n" ZQ_INPUTS_HELP "\n" ZQ_STRICT_HELP ZQ_ROUNDED_HELP "\n"
     "Example: curl -s https://example.org/data.json | zqjson\n"
     "\n" ZQ_WRITTEN_STATUS_HELP},
    {"compact", compact_command, kStrictOption | kRoundedOption | kExactOption,
     "usage: zqjson compact [--strict] [--rounded] [FILE...]\n"
     "\n"
     "Writes each document as JSON on one line, members in key order, every\n"
     "number kept: JSON Lines in, JSON Lines out.\n"
     "\n" ZQ_INPUTS_HELP "\n" ZQ_STRICT_HELP ZQ_ROUNDED_HELP "\n"
     "Example: zqjson compact a.json b.json > both.jsonl\n"
     "\n" ZQ_WRITTEN_STATUS_HELP},
    {"xml", xml_command, kDialectOption | kRootOption | kFragmentOption | kStrictOption | kRoundedOption | kExactOption,
     "usage: zqjson xml [--dialect jsonx|jxml|jxmlex|tagged] [--root NAME | --fragment]\n"
     "                  [--strict] [--rounded] [FILE...]\n"
     "\n"
     "Writes the documents as one XML document in one of four dialects: jsonx\n"
     "names elements after keys, jxml writes every element as j with type and key\n"
     "in a son attribute, jxmlex adds the value as an attribute named after the\n"
     "key, tagged names elements after keys with type and key attributes. The\n"
     "elements sit inside one root element, after the XML declaration line; where\n"
     "there are several documents, each sits in an element <document input=\"FILE\"\n"
     "number=\"N\"> of its own, numbered within its input.\n"
     "\n" ZQ_INPUTS_HELP "\n"
     "  --dialect D  jsonx (the default), jxml, jxmlex or tagged\n"
     "  --root NAME  the root element's name (default json)\n"
     "  --fragment   no root element: the declaration line and the elements\n"
     "               alone, as the library renders them\n"
     "  --strict     accept standard JSON (RFC 8259) only\n"
     "  --rounded    write numbers with 16 significant digits instead of the\n"
     "               shortest text that reads back\n"
     "\n"
     "Example: zqjson xml --dialect=tagged config.json | xmllint --format -\n"
     "\n" ZQ_WRITTEN_STATUS_HELP},
    {"get", get_command, kRawOption | kStrictOption | kRoundedOption | kExactOption,
     "usage: zqjson get [--raw] [--strict] [--rounded] POINTER [FILE...]\n"
     "\n"
     "Writes the value that the JSON Pointer (RFC 6901) leads to in each document,\n"
     "as JSON on one line: \"\" is the whole document, /a/b/0 the first element\n"
     "under key b under key a, ~1 stands for '/' and ~0 for '~' in a key.\n"
     "\n" ZQ_INPUTS_HELP "\n"
     "  --raw      write a string as its text, without quotes or escapes\n" ZQ_STRICT_HELP ZQ_ROUNDED_HELP "\n"
     "Example: zqjson get --raw /server/host config.json\n"
     "\n"
     "Exit status: 0 all found and written, 1 a document not accepted or a pointer\n"
     "that leads nowhere in one, 2 usage error, an input that cannot be read, or\n"
     "output that cannot be written.\n"},
};

bool is_help(std::string_view argument) { return argument == "--help" || argument == "-h"; }

// One line, the way to help on it too.
int usage_error(const std::string& problem) {
    std::cerr << kProgram << ": " << printable(problem) << " (try 'zqjson --help')\n";
    return kUsageError;
}

constexpr const char* kDialectNames = "jsonx, jxml, jxmlex or tagged";

bool find_dialect(std::string_view name, Format& dialect) {
    for (const auto& [dialect_name, format] : kDialects) {
        if (name != dialect_name) continue;
        dialect = format;
        return true;
    }
    return false;
}

const Command* find_command(std::string_view name) {
    for (const Command& command : kCommands)
        if (name == command.name) return &command;
    return nullptr;
}

// `help`, or `help COMMAND`.
int help(int argc, char** argv) {
    if (argc < 3) {
        std::cout << kToolHelp;
        return kSuccess;
    }
    const Command* command = find_command(argv[2]);
    if (!command) return usage_error("unknown command '" + std::string(argv[2]) + "'");
    std::cout << command->help;
    return kSuccess;
}

struct OptionName {
    std::string_view name;
    Option option;
    bool takes_value;
};

constexpr OptionName kOptions[] = {
    {"--dialect", kDialectOption, true},    {"--root", kRootOption, true},        {"--raw", kRawOption, false},
    {"--strict", kStrictOption, false},     {"--rounded", kRoundedOption, false}, {"--exact", kExactOption, false},
    {"--fragment", kFragmentOption, false},
};

const OptionName* find_option(std::string_view name, unsigned allowed) {
    for (const OptionName& option : kOptions)
        if (option.name == name && (allowed & option.option) != 0) return &option;
    return nullptr;
}

// Whether the XML writer takes `name` for its root element, asked before any
// input is read.
bool is_root_name(const std::string& name) {
    try {
        xml_document(Value(), JSONx, XmlOptions{Numbers::Shortest, name, false});
        return true;
    } catch (const std::invalid_argument&) {
        return false;
    }
}

// Sets what `option` stands for in `arguments`; an empty answer, or why the
// value cannot be taken.
std::string take_option(Option option, std::string_view value, Arguments& arguments) {
    switch (option) {
        case kDialectOption:
            if (find_dialect(value, arguments.dialect)) return {};
            return "unknown dialect '" + std::string(value) + "': choose " + kDialectNames;
        case kRootOption:
            arguments.root = value;
            if (is_root_name(arguments.root)) return {};
            return "--root needs an XML element name, not '" + std::string(value) + "'";
        case kRawOption:
            arguments.raw = true;
            return {};
        case kStrictOption:
            arguments.syntax = Syntax::Strict;
            return {};
        case kRoundedOption:
            arguments.numbers = Numbers::Digits16;
            return {};
        case kExactOption:
            return {};
        case kFragmentOption:
            arguments.fragment = true;
            return {};
    }
    return {};
}

// What each option that takes a value asks for, when it is missing.
std::string missing_value(Option option) {
    if (option == kDialectOption) return std::string("--dialect needs one of ") + kDialectNames;
    return "--root needs an XML element name";
}

// The command's options and files: "--opt value" or "--opt=value", "--"
// before files only, "-" for standard input.
int run_command(const Command& command, int first, int argc, char** argv) {
    Arguments arguments;
    unsigned given = 0;
    bool options_ended = false;
    for (int i = first; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (options_ended || argument == kStdinPath || argument.empty() || argument[0] != '-') {
            if ((command.options & kRawOption) != 0 && !arguments.pointer) {  // get's POINTER
                arguments.pointer = argv[i];
            } else {
                arguments.files.push_back(argv[i]);
            }
            continue;
        }
        if (argument == "--") {
            options_ended = true;
            continue;
        }
        if (is_help(argument)) {
            std::cout << command.help;
            return kSuccess;
        }
        const std::size_t equals = argument.find('=');
        const std::string_view name = argument.substr(0, equals);
        const OptionName* option = find_option(name, command.options);
        if (!option) return usage_error("unknown option '" + std::string(name) + "'");
        std::string_view value;
        if (equals != std::string_view::npos) {
            if (!option->takes_value) return usage_error("option '" + std::string(name) + "' takes no value");
            value = argument.substr(equals + 1);
        } else if (option->takes_value) {
            if (++i == argc) return usage_error(missing_value(option->option));
            value = argv[i];
        }
        const std::string problem = take_option(option->option, value, arguments);
        if (!problem.empty()) return usage_error(problem);
        given |= option->option;
    }
    if ((command.options & kRawOption) != 0 && !arguments.pointer)
        return usage_error("get needs a POINTER, such as /a/0");
    // A JSON Pointer is empty or starts with '/'; "a/b" or ".a.b" is a
    // mistake, not a path that leads nowhere.
    if (arguments.pointer && *arguments.pointer != '\0' && *arguments.pointer != '/')
        return usage_error("'" + std::string(arguments.pointer) +
                           "' is not a JSON Pointer: it starts with '/', as in /a/0, or is '' for the whole document");
    if ((given & kRootOption) != 0 && arguments.fragment)
        return usage_error("--root and --fragment exclude each other");
    if (arguments.files.empty()) arguments.files.push_back(kStdinPath);
    return command.run(arguments);
}

int run(int argc, char** argv) {
    // Alone on a terminal, the tool would wait for typed JSON.
    if (argc < 2 && ::isatty(STDIN_FILENO)) return usage_error("missing command");
    const std::string_view name = argc < 2 ? std::string_view(kDefaultCommand) : argv[1];
    if (is_help(name) || name == "help") return help(argc, argv);
    if (name == "--version") {
        std::cout << kProgram << ' ' << ZQ_VERSION << '\n';
        return kSuccess;
    }
    if (const Command* command = find_command(name)) return run_command(*command, 2, argc, argv);
    // Without a command the arguments are reformat's, as `jq .` takes its
    // files: a file that has a command's name is named by a path
    // (./validate).
    return run_command(*find_command(kDefaultCommand), 1, argc, argv);
}

}  // namespace

// Whatever was written last, help included, must reach its destination.
int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    const int status = run(argc, argv);
    if (status != kUsageError && output_failed()) return kUsageError;
    return status;
}
