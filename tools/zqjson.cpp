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

namespace {

using namespace zqjson;

enum ExitStatus { kSuccess = 0, kNotAccepted = 1, kUsageError = 2 };

constexpr const char* kProgram = "zqjson";
constexpr const char* kStdinName = "<stdin>";
// What is read at a time from a pipe or terminal.
constexpr std::size_t kReadChunk = 64 * 1024;

constexpr const char* kToolHelp =
    "usage: zqjson COMMAND [OPTION...] [FILE...]\n"
    "\n"
    "Commands:\n"
    "  validate [FILE...]  check that each input opens with a JSON object or array\n"
    "  reformat [FILE...]  write each input as indented JSON, one TAB per level\n"
    "  compact [FILE...]   write each input as JSON on one line\n"
    "  xml --dialect D [FILE...]\n"
    "                      write each input as XML in dialect D: jsonx, jxml,\n"
    "                      jxmlex or tagged\n"
    "  get [--raw] POINTER [FILE...]\n"
    "                      write the value at a JSON Pointer (/a/b/0) on one line\n"
    "  help [COMMAND]      describe the tool, or one command\n"
    "  --version           print the library version\n"
    "\n"
    "Each input is handled in turn; '-' or no FILE at all is standard input.\n"
    "Options take '--opt value' or '--opt=value'; '--' ends them. Text after the\n"
    "top-level object or array is not examined.\n"
    "\n"
    "Example: zqjson reformat config.json\n"
    "\n"
    "Exit status: 0 success, 1 an input was not accepted, 2 usage error, an\n"
    "input that cannot be read, or output that cannot be written.\n";

// What the command line gives a command.
struct Arguments {
    std::vector<const char*> files;  // "-": standard input
    Format dialect = JSONx;          // of the xml command
    const char* pointer = nullptr;   // of the get command
    bool raw = false;                // of the get command
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

// A document as the opening of validate, reformat and xml reads it.
struct Document {
    Object object;
    Array array;
    ReadError error;  // before `opened`, whose reading sets it
    detail::Opened opened;

    explicit Document(std::string_view text) : opened(detail::open_document(text, object, array, &error)) {}
    bool accepted() const { return opened != detail::Opened::Nothing; }
};

void report(const std::string& name, const std::string& problem) {
    std::cerr << kProgram << ": " << name << ": " << problem << '\n';
}

// Reads to the end of `file`: a regular file in one read of its size and one
// byte more, so that the end shows in that read; anything else, or a file
// that grew meanwhile, a chunk at a time. Only what is read is made room
// for: each page of the text is touched once.
bool read_all(std::FILE* file, std::string& text) {
    struct stat status;
    std::size_t chunk = kReadChunk;
    if (fstat(fileno(file), &status) == 0 && S_ISREG(status.st_mode))
        chunk = static_cast<std::size_t>(status.st_size) + 1;
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
        report(input.name, "not enough memory to read it");
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
        if (!detail::check_document(input.text, &error)) {
            report_not_accepted(input, error);
            status = worse(status, kNotAccepted);
        }
    }
    return status;
}

// The document of the last input that reformat, compact or xml writes. Never
// released: the process ends right after writing it and gives all its memory
// back at once, where releasing a large document node by node costs a good
// part of what reading it did. Held here rather than dropped, so that leak
// checkers count it as still in use; volatile, so that the compiler keeps the
// pointer in memory where they look.
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
int write_one(const char* path, bool last, Write write) {
    Input input;
    if (!read_input(path, input)) return kUsageError;
    std::unique_ptr<Document> document;
    try {
        document = std::make_unique<Document>(input.text);
    } catch (const std::bad_alloc&) {
        report(input.name, "not enough memory to read it");
        return kUsageError;
    }
    if (!document->accepted()) {
        report_not_accepted(input, document->error);
        return kNotAccepted;
    }
    const int written = write(*document, input);
    if (last) written_document = document.release();
    return output_failed() ? kUsageError : written;
}

// Each input in turn, each written on its own; a failure to write ends it.
template <class Write>
int write_command(const Arguments& arguments, Write write) {
    int status = kSuccess;
    for (std::size_t i = 0; i < arguments.files.size(); ++i) {
        const int one = write_one(arguments.files[i], i + 1 == arguments.files.size(), write);
        status = worse(status, one);
        if (!std::cout) break;
    }
    return status;
}

void write_text(const std::string& text) { std::cout.write(text.data(), static_cast<std::streamsize>(text.size())); }

void write_compact(const Document& document) {
    std::cout.precision(kNumberDigits);  // that of the indented form, so that compact loses nothing it keeps
    if (document.opened == detail::Opened::Object) {
        std::cout << document.object << '\n';
    } else {
        std::cout << document.array << '\n';
    }
}

int reformat_command(const Arguments& arguments) {
    return write_command(arguments, [](const Document& document, const Input&) {
        if (document.opened == detail::Opened::Object) {
            detail::write_json(std::cout, document.object);
        } else {
            detail::write_json(std::cout, document.array);
        }
        return kSuccess;
    });
}

int compact_command(const Arguments& arguments) {
    return write_command(arguments, [](const Document& document, const Input&) {
        write_compact(document);
        return kSuccess;
    });
}

// The value at the pointer on one line; a string's own text with --raw. The
// empty pointer is the whole document, which no Value holds.
int get_command(const Arguments& arguments) {
    return write_command(arguments, [&](const Document& document, const Input& input) {
        if (*arguments.pointer == '\0') {
            write_compact(document);
            return kSuccess;
        }
        const Value* found = document.opened == detail::Opened::Object ? lookup(document.object, arguments.pointer)
                                                                        : lookup(document.array, arguments.pointer);
        if (!found) {
            report(input.name, std::string("nothing at '") + arguments.pointer + "'");
            return kNotAccepted;
        }
        std::cout.precision(kNumberDigits);
        if (arguments.raw && found->is<String>()) {
            write_text(found->get<String>());
            std::cout << '\n';
        } else {
            std::cout << *found << '\n';
        }
        return kSuccess;
    });
}

int xml_command(const Arguments& arguments) {
    return write_command(arguments, [&](const Document& document, const Input&) {
        write_text(document.opened == detail::Opened::Object ? document.object.xml(arguments.dialect, "", "")
                                                             : document.array.xml(arguments.dialect, "", ""));
        return kSuccess;
    });
}

struct Command {
    const char* name;
    int (*run)(const Arguments& arguments);
    bool takes_dialect;
    const char* help;
    bool takes_pointer = false;  // and --raw
};

const Command kCommands[] = {
    {"validate", validate_command, false,
     "usage: zqjson validate [FILE...]\n"
     "\n"
     "Checks that each input, after leading bytes up to 0x20, opens with an object\n"
     "or an array that the parser accepts. Writes nothing for accepted inputs and\n"
     "one line on standard error for each input that is not accepted, with the\n"
     "line and column where reading stopped and why. '-' or no FILE is standard\n"
     "input.\n"
     "\n"
     "Example: zqjson validate *.json\n"
     "\n"
     "Exit status: 0 all accepted, 1 an input not accepted, 2 usage error or an\n"
     "input that cannot be read.\n"},
    {"reformat", reformat_command, false,
     "usage: zqjson reformat [FILE...]\n"
     "\n"
     "Writes the object or array that each input opens with as indented JSON: one\n"
     "value per line, one TAB per level, members in key order, numbers with 16\n"
     "significant digits. '-' or no FILE is standard input.\n"
     "\n"
     "Example: curl -s https://example.org/data.json | zqjson reformat\n"
     "\n"
     "Exit status: 0 all written, 1 an input not accepted (nothing written for\n"
     "it), 2 usage error, an input that cannot be read, or output that cannot be\n"
     "written.\n"},
    {"compact", compact_command, false,
     "usage: zqjson compact [FILE...]\n"
     "\n"
     "Writes the object or array that each input opens with as JSON on one line,\n"
     "members in key order, numbers with 16 significant digits. '-' or no FILE is\n"
     "standard input.\n"
     "\n"
     "Example: zqjson compact a.json b.json > both.jsonl\n"
     "\n"
     "Exit status: 0 all written, 1 an input not accepted (nothing written for\n"
     "it), 2 usage error, an input that cannot be read, or output that cannot be\n"
     "written.\n"},
    {"xml", xml_command, true,
     "usage: zqjson xml --dialect jsonx|jxml|jxmlex|tagged [FILE...]\n"
     "\n"
     "Writes the object or array that each input opens with as XML in one of four\n"
     "dialects, after the XML declaration line: jsonx names elements after keys,\n"
     "jxml writes every element as j with type and key in a son attribute, jxmlex\n"
     "adds the value as an attribute named after the key, tagged names elements\n"
     "after keys with type and key attributes. '-' or no FILE is standard input.\n"
     "\n"
     "Example: zqjson xml --dialect=tagged config.json\n"
     "\n"
     "Exit status: 0 all written, 1 an input not accepted (nothing written for\n"
     "it), 2 usage error, an input that cannot be read, or output that cannot be\n"
     "written.\n"},
    {"get", get_command, false,
     "usage: zqjson get [--raw] POINTER [FILE...]\n"
     "\n"
     "Writes the value that the JSON Pointer (RFC 6901) leads to in the object or\n"
     "array each input opens with, as JSON on one line: \"\" is the whole\n"
     "document, /a/b/0 the first element under key b under key a, ~1 stands for\n"
     "'/' and ~0 for '~' in a key. With --raw a string is written as its text,\n"
     "without quotes or escapes. '-' or no FILE is standard input.\n"
     "\n"
     "Example: zqjson get --raw /server/host config.json\n"
     "\n"
     "Exit status: 0 all found and written, 1 an input not accepted or a pointer\n"
     "that leads nowhere, 2 usage error, an input that cannot be read, or output\n"
     "that cannot be written.\n",
     true},
};

bool is_help(std::string_view argument) { return argument == "--help" || argument == "-h"; }

int usage_error(const std::string& problem) {
    std::cerr << kProgram << ": " << problem << "\nTry 'zqjson --help'.\n";
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

// The command's options and files: "--opt value" or "--opt=value", "--"
// before files only, "-" for standard input.
int run_command(const Command& command, int argc, char** argv) {
    Arguments arguments;
    bool has_dialect = false;
    bool options_ended = false;
    for (int i = 2; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (options_ended || argument == kStdinPath || argument.empty() || argument[0] != '-') {
            if (command.takes_pointer && !arguments.pointer) {
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
        if (command.takes_pointer && argument == "--raw") {
            arguments.raw = true;
            continue;
        }
        const std::size_t equals = argument.find('=');
        const std::string_view option = argument.substr(0, equals);
        if (!command.takes_dialect || option != "--dialect")
            return usage_error("unknown option '" + std::string(option) + "'");
        std::string_view value;
        if (equals != std::string_view::npos) {
            value = argument.substr(equals + 1);
        } else if (++i < argc) {
            value = argv[i];
        } else {
            return usage_error(std::string("--dialect needs one of ") + kDialectNames);
        }
        if (!find_dialect(value, arguments.dialect))
            return usage_error("unknown dialect '" + std::string(value) + "': choose " + kDialectNames);
        has_dialect = true;
    }
    if (command.takes_pointer && !arguments.pointer) return usage_error("get needs a POINTER, such as /a/0");
    if (command.takes_dialect && !has_dialect)
        return usage_error(std::string(command.name) + " needs --dialect " + kDialectNames);
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
