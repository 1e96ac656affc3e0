// zqjson: the JSON library from the shell. Checks documents, writes them
// indented, on one line, or as XML.
//
// Each input is read whole into memory once and parsed in place. When an
// input is not accepted, one line on standard error says which, where
// reading stopped and why, and nothing goes to standard output.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "SnapCommon/ZQJson.h"
#include "SnapCommon/json/JsonWriter.h"
#include "SnapCommon/json/Parser.h"
#include "SnapCommon/json/Utf8.h"
#include "SnapCommon/json/Xml.h"

namespace {

using namespace zqjson;
using detail::NumberForm;

enum ExitStatus { kSuccess = 0, kNotAccepted = 1, kUsageError = 2 };

constexpr const char* kProgram = "zqjson";
constexpr const char* kStdinName = "<stdin>";
// What is read at a time from a pipe or terminal, and after a file's first
// read.
constexpr std::size_t kReadChunk = 64 * 1024;
// The most a file's size is trusted for its first read: a sparse or growing
// file may claim far more than it will give, and the rest comes in chunks.
constexpr std::size_t kLargestFirstRead = 256 * 1024 * 1024;
// The root element that makes the XML rendering one document.
constexpr const char* kDefaultRoot = "json";

constexpr const char* kToolHelp =
    "usage: zqjson COMMAND [OPTION...] [FILE...]\n"
    "\n"
    "Commands:\n"
    "  validate [--strict] [FILE...]\n"
    "                      check that each input is a JSON document\n"
    "  reformat [--strict] [--exact] [FILE...]\n"
    "                      write each input as indented JSON, one TAB per level\n"
    "  compact [--strict] [--exact] [FILE...]\n"
    "                      write each input as JSON on one line\n"
    "  xml --dialect D [--root NAME | --fragment] [--strict] [--exact] [FILE...]\n"
    "                      write each input as an XML document in dialect D:\n"
    "                      jsonx, jxml, jxmlex or tagged\n"
    "  get [--raw] [--strict] [--exact] POINTER [FILE...]\n"
    "                      write the value at a JSON Pointer (/a/b/0) on one line\n"
    "  help [COMMAND]      describe the tool, or one command\n"
    "  --version           print the library version\n"
    "\n"
    "Each input is handled in turn; '-' or no FILE at all is standard input.\n"
    "Options take '--opt value' or '--opt=value'; '--' ends them. By default an\n"
    "input is an object or array, read leniently, and text after it is not\n"
    "examined; --strict takes standard JSON only, any value, and the whole input.\n"
    "Numbers are written with 16 significant digits; --exact writes each in the\n"
    "shortest form that reads back as the same number.\n"
    "\n"
    "Example: zqjson reformat config.json\n"
    "\n"
    "Exit status: 0 success, 1 an input was not accepted, 2 usage error, an\n"
    "input that cannot be read, or output that cannot be written.\n";

// The options a command takes, as bits.
enum Option : unsigned {
    kDialectOption = 1,
    kRawOption = 2,
    kStrictOption = 4,
    kExactOption = 8,
    kRootOption = 16,
    kFragmentOption = 32,
};

// What the command line gives a command.
struct Arguments {
    std::vector<const char*> files;  // "-": standard input
    Syntax syntax = Syntax::Lenient;
    NumberForm numbers = NumberForm::Rounded;
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

struct Input {
    std::string name;
    std::string text;
};

// A document as the commands read it: leniently, the object or array the
// text opens with; strictly, the whole text as any value.
class Document {
public:
    Document(const std::string& text, Syntax syntax) {
        if (syntax == Syntax::Strict) {
            root_ = read(text, value_, &error_, Syntax::Strict) ? Root::Value : Root::Nothing;
            return;
        }
        switch (detail::open_document(std::string_view(text), object_, array_, &error_)) {
            case detail::Opened::Object:
                root_ = Root::Object;
                break;
            case detail::Opened::Array:
                root_ = Root::Array;
                break;
            case detail::Opened::Nothing:
                root_ = Root::Nothing;
                break;
        }
    }

    bool accepted() const { return root_ != Root::Nothing; }
    const ReadError& error() const { return error_; }

    // Calls `use` with the document's root: an Object, an Array or a Value.
    template <class Use>
    void with_root(Use use) const {
        if (root_ == Root::Object) {
            use(object_);
        } else if (root_ == Root::Array) {
            use(array_);
        } else {
            use(value_);
        }
    }

private:
    enum class Root { Nothing, Object, Array, Value };
    Object object_;
    Array array_;
    Value value_;
    ReadError error_;
    Root root_ = Root::Nothing;
};

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
        const std::size_t length = zqjson::detail::utf8_length(p, end);
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

// Reads to the end of `file`: a regular file in one read of its size and one
// byte more, so that the end shows in that read, up to kLargestFirstRead;
// anything else, or the rest, a chunk at a time. Only what is read is made
// room for: each page of the text is touched once.
bool read_all(std::FILE* file, std::string& text) {
    struct stat status;
    std::size_t chunk = kReadChunk;
    if (fstat(fileno(file), &status) == 0 && S_ISREG(status.st_mode))
        chunk = std::min(static_cast<std::size_t>(status.st_size), kLargestFirstRead - 1) + 1;
    std::size_t size = 0;
    for (;;) {
        text.resize(size + chunk);
        const std::size_t got = std::fread(&text[size], 1, chunk, file);
        size += got;
        if (got < chunk) break;
        chunk = kReadChunk;
    }
    text.resize(size);
    return !std::ferror(file);
}

// The whole input; on failure says why on standard error.
bool read_input(const char* path, Input& input) {
    const bool from_stdin = std::strcmp(path, kStdinPath) == 0;
    input.name = from_stdin ? kStdinName : path;
    std::FILE* file = from_stdin ? stdin : std::fopen(path, "rb");
    if (!file) {
        report(input.name, std::string("cannot open: ") + std::strerror(errno));
        return false;
    }
    bool read = false;
    try {
        read = read_all(file, input.text);
    } catch (const std::bad_alloc&) {
        input.text = std::string();
        if (!from_stdin) std::fclose(file);
        report_no_memory("read", input.name);
        return false;
    }
    const int error = errno;
    if (!from_stdin) std::fclose(file);
    if (!read) report(input.name, std::string("cannot read: ") + std::strerror(error));
    return read;
}

// Where reading stopped and why: "line L, column C: REASON".
void report_not_accepted(const Input& input, const ReadError& error) {
    report(input.name, "not accepted: line " + std::to_string(error.line) + ", column " + std::to_string(error.column) +
                           ": " + error.reason);
}

// ---------------------------------------------------------------------------
// Commands

// The exit status of several inputs is the worst of theirs.
int worse(int status, int other) { return std::max(status, other); }

int validate_command(const Arguments& arguments) {
    int status = kSuccess;
    for (const char* path : arguments.files) {
        Input input;
        if (!read_input(path, input)) {
            status = worse(status, kUsageError);
            continue;
        }
        // Checked without building the document: the text is all it costs.
        ReadError error;
        const bool accepted = arguments.syntax == Syntax::Strict ? detail::check_strictly(input.text, &error)
                                                                 : detail::check_document(input.text, &error);
        if (!accepted) {
            report_not_accepted(input, error);
            status = worse(status, kNotAccepted);
        }
    }
    return status;
}

// The document of the last input that reformat, compact, xml or get writes.
// Never released: the process ends right after writing it and gives all its
// memory back at once, where releasing a large document node by node costs a
// good part of what reading it did. Held here rather than dropped, so that
// leak checkers count it as still in use; volatile, so that the compiler
// keeps the pointer in memory where they look.
const Document* volatile written_document = nullptr;

bool output_failed() {
    std::cout.flush();
    if (std::cout) return false;
    report("<stdout>", "cannot write");
    return true;
}

// Reads one input and hands its document to `write`, which answers kSuccess
// or kNotAccepted; the last input's document is kept to the end.
template <class Write>
int write_one(const char* path, bool last, Syntax syntax, Write write) {
    Input input;
    if (!read_input(path, input)) return kUsageError;
    std::unique_ptr<Document> document;
    try {
        document = std::make_unique<Document>(input.text, syntax);
    } catch (const std::bad_alloc&) {
        report_no_memory("read", input.name);
        return kUsageError;
    }
    if (!document->accepted()) {
        report_not_accepted(input, document->error());
        return kNotAccepted;
    }
    int written;
    try {
        written = write(*document, input);
    } catch (const std::bad_alloc&) {
        std::cout.flush();
        report_no_memory("write", input.name);
        return kUsageError;
    }
    if (last) written_document = document.release();
    return output_failed() ? kUsageError : written;
}

// Each input in turn, each written on its own; a failure to write ends it.
template <class Write>
int write_command(const Arguments& arguments, Write write) {
    int status = kSuccess;
    for (std::size_t i = 0; i < arguments.files.size(); ++i) {
        const bool last = i + 1 == arguments.files.size();
        status = worse(status, write_one(arguments.files[i], last, arguments.syntax, write));
        if (!std::cout) break;
    }
    return status;
}

void write_text(std::string_view text) { std::cout.write(text.data(), static_cast<std::streamsize>(text.size())); }

// On one line, at the precision of the indented form, so that compact loses
// nothing it keeps.
template <class Root>
void write_compact(const Root& root, NumberForm numbers) {
    std::cout.precision(kNumberDigits);
    detail::write_compact(std::cout, root, numbers);
    std::cout << '\n';
}

int reformat_command(const Arguments& arguments) {
    return write_command(arguments, [&](const Document& document, const Input&) {
        document.with_root([&](const auto& root) { detail::write_json(std::cout, root, arguments.numbers); });
        return kSuccess;
    });
}

int compact_command(const Arguments& arguments) {
    return write_command(arguments, [&](const Document& document, const Input&) {
        document.with_root([&](const auto& root) { write_compact(root, arguments.numbers); });
        return kSuccess;
    });
}

// The value at the pointer on one line; a string's own text with --raw.
int get_command(const Arguments& arguments) {
    return write_command(arguments, [&](const Document& document, const Input& input) {
        if (*arguments.pointer == '\0') {  // the whole document, which a lenient one holds in no Value
            document.with_root([&](const auto& root) { write_compact(root, arguments.numbers); });
            return kSuccess;
        }
        const Value* found = nullptr;
        document.with_root([&](const auto& root) { found = lookup(root, arguments.pointer); });
        if (!found) {
            report(input.name, std::string("nothing at '") + arguments.pointer + "'");
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

// The library's rendering, inside one root element unless a fragment is
// asked for: the rendering alone may hold several top-level elements, or none.
int xml_command(const Arguments& arguments) {
    const std::string header =
        std::string(zqjson_xml::default_header()) + (arguments.fragment ? "" : "<" + arguments.root + ">\n");
    return write_command(arguments, [&](const Document& document, const Input&) {
        document.with_root([&](const auto& root) {
            zqjson_xml::write_xml(std::cout, root, arguments.dialect, header, arguments.numbers);
        });
        if (!arguments.fragment) std::cout << "</" << arguments.root << ">\n";
        return kSuccess;
    });
}

struct Command {
    const char* name;
    int (*run)(const Arguments& arguments);
    unsigned options;  // Option bits
    const char* help;
};

const Command kCommands[] = {
    {"validate", validate_command, kStrictOption,
     "usage: zqjson validate [--strict] [FILE...]\n"
     "\n"
     "Checks that each input, after leading bytes up to 0x20, opens with an object\n"
     "or an array that the parser accepts. Writes nothing for accepted inputs and\n"
     "one line on standard error for each input that is not accepted, with the\n"
     "line and column where reading stopped and why. '-' or no FILE is standard\n"
     "input.\n"
     "\n"
     "  --strict   accept standard JSON (RFC 8259) only: any value, and nothing\n"
     "             but white space after it\n"
     "\n"
     "Example: zqjson validate --strict *.json\n"
     "\n"
     "Exit status: 0 all accepted, 1 an input not accepted, 2 usage error or an\n"
     "input that cannot be read.\n"},
    {"reformat", reformat_command, kStrictOption | kExactOption,
     "usage: zqjson reformat [--strict] [--exact] [FILE...]\n"
     "\n"
     "Writes the object or array that each input opens with as indented JSON: one\n"
     "value per line, one TAB per level, members in key order, numbers with 16\n"
     "significant digits. '-' or no FILE is standard input.\n"
     "\n"
     "  --strict   accept standard JSON (RFC 8259) only: any value, and nothing\n"
     "             but white space after it\n"
     "  --exact    write each number in the shortest form that reads back as the\n"
     "             same number\n"
     "\n"
     "Example: curl -s https://example.org/data.json | zqjson reformat\n"
     "\n"
     "Exit status: 0 all written, 1 an input not accepted (nothing written for\n"
     "it), 2 usage error, an input that cannot be read, or output that cannot be\n"
     "written.\n"},
    {"compact", compact_command, kStrictOption | kExactOption,
     "usage: zqjson compact [--strict] [--exact] [FILE...]\n"
     "\n"
     "Writes the object or array that each input opens with as JSON on one line,\n"
     "members in key order, numbers with 16 significant digits. '-' or no FILE is\n"
     "standard input.\n"
     "\n"
     "  --strict   accept standard JSON (RFC 8259) only: any value, and nothing\n"
     "             but white space after it\n"
     "  --exact    write each number in the shortest form that reads back as the\n"
     "             same number\n"
     "\n"
     "Example: zqjson compact a.json b.json > both.jsonl\n"
     "\n"
     "Exit status: 0 all written, 1 an input not accepted (nothing written for\n"
     "it), 2 usage error, an input that cannot be read, or output that cannot be\n"
     "written.\n"},
    {"xml", xml_command, kDialectOption | kRootOption | kFragmentOption | kStrictOption | kExactOption,
     "usage: zqjson xml --dialect jsonx|jxml|jxmlex|tagged [--root NAME | --fragment]\n"
     "                  [--strict] [--exact] [FILE...]\n"
     "\n"
     "Writes the object or array that each input opens with as an XML document in\n"
     "one of four dialects: jsonx names elements after keys, jxml writes every\n"
     "element as j with type and key in a son attribute, jxmlex adds the value as\n"
     "an attribute named after the key, tagged names elements after keys with type\n"
     "and key attributes. The elements sit inside one root element, after the XML\n"
     "declaration line. '-' or no FILE is standard input.\n"
     "\n"
     "  --dialect D  jsonx, jxml, jxmlex or tagged\n"
     "  --root NAME  the root element's name (default json)\n"
     "  --fragment   no root element: the declaration line and the elements\n"
     "               alone, as the library renders them\n"
     "  --strict     accept standard JSON (RFC 8259) only: any value, and nothing\n"
     "               but white space after it\n"
     "  --exact      write each number in the shortest form that reads back as the\n"
     "               same number\n"
     "\n"
     "Example: zqjson xml --dialect=tagged config.json | xmllint --format -\n"
     "\n"
     "Exit status: 0 all written, 1 an input not accepted (nothing written for\n"
     "it), 2 usage error, an input that cannot be read, or output that cannot be\n"
     "written.\n"},
    {"get", get_command, kRawOption | kStrictOption | kExactOption,
     "usage: zqjson get [--raw] [--strict] [--exact] POINTER [FILE...]\n"
     "\n"
     "Writes the value that the JSON Pointer (RFC 6901) leads to in the object or\n"
     "array each input opens with, as JSON on one line: \"\" is the whole\n"
     "document, /a/b/0 the first element under key b under key a, ~1 stands for\n"
     "'/' and ~0 for '~' in a key. '-' or no FILE is standard input.\n"
     "\n"
     "  --raw      write a string as its text, without quotes or escapes\n"
     "  --strict   accept standard JSON (RFC 8259) only: any value, and nothing\n"
     "             but white space after it\n"
     "  --exact    write each number in the shortest form that reads back as the\n"
     "             same number\n"
     "\n"
     "Example: zqjson get --raw /server/host config.json\n"
     "\n"
     "Exit status: 0 all found and written, 1 an input not accepted or a pointer\n"
     "that leads nowhere, 2 usage error, an input that cannot be read, or output\n"
     "that cannot be written.\n"},
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
    {"--dialect", kDialectOption, true}, {"--root", kRootOption, true},    {"--raw", kRawOption, false},
    {"--strict", kStrictOption, false},  {"--exact", kExactOption, false}, {"--fragment", kFragmentOption, false},
};

const OptionName* find_option(std::string_view name, unsigned allowed) {
    for (const OptionName& option : kOptions)
        if (option.name == name && (allowed & option.option) != 0) return &option;
    return nullptr;
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
            if (zqjson_xml::is_xml_name(value)) return {};
            return "--root needs an XML element name, not '" + std::string(value) + "'";
        case kRawOption:
            arguments.raw = true;
            return {};
        case kStrictOption:
            arguments.syntax = Syntax::Strict;
            return {};
        case kExactOption:
            arguments.numbers = NumberForm::Exact;
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
int run_command(const Command& command, int argc, char** argv) {
    Arguments arguments;
    unsigned given = 0;
    bool options_ended = false;
    for (int i = 2; i < argc; ++i) {
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
    if ((command.options & kDialectOption) != 0 && (given & kDialectOption) == 0)
        return usage_error(std::string(command.name) + " needs --dialect " + kDialectNames);
    if ((given & kRootOption) != 0 && arguments.fragment)
        return usage_error("--root and --fragment exclude each other");
    if (arguments.files.empty()) arguments.files.push_back(kStdinPath);
    return command.run(arguments);
}

int run(int argc, char** argv) {
    if (argc < 2) return usage_error("missing command");
    const std::string_view name = argv[1];
    if (is_help(name) || name == "help") return help(argc, argv);
    if (name == "--version") {
        std::cout << kProgram << ' ' << ZQ_VERSION << '\n';
        return kSuccess;
    }
    if (const Command* command = find_command(name)) return run_command(*command, argc, argv);
    return usage_error("unknown command '" + std::string(name) + "'");
}

}  // namespace

// Whatever was written last, help included, must reach its destination.
int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    const int status = run(argc, argv);
    if (status != kUsageError && output_failed()) return kUsageError;
    return status;
}
