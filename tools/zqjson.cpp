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
    "usage: zqjson COMMAND [FILE...]\n"
    "\n"
    "Commands:\n"
    "  validate [FILE...]  check that each input opens with a JSON object or array\n"
    "  reformat [FILE]     write the input as indented JSON, one TAB per level\n"
    "  compact [FILE]      write the input as JSON on one line\n"
    "  --version           print the library version\n"
    "  xml --dialect D [FILE]\n"
    "                      write the input as XML in dialect D: jsonx, jxml,\n"
    "                      jxmlex or tagged\n"
    "\n"
    "Reads standard input when no FILE is given. Text after the top-level\n"
    "object or array is not examined. 'zqjson COMMAND --help' describes a command.\n"
    "\n"
    "Exit status: 0 success, 1 an input was not accepted, 2 usage error or an\n"
    "input that cannot be read.\n";

// What the command line gives a command.
struct Arguments {
    std::vector<const char*> files;  // a null path: standard input
    Format dialect = JSONx;          // of the xml command
};

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
    input.name = path ? path : kStdinName;
    std::FILE* file = path ? std::fopen(path, "rb") : stdin;
    if (!file) {
        report(input.name, std::string("cannot open: ") + std::strerror(errno));
        return false;
    }
    const bool read = read_all(file, input.text);
    const int error = errno;
    if (path) std::fclose(file);
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

int validate_command(const Arguments& arguments) {
    int status = kSuccess;
    for (const char* path : arguments.files) {
        Input input;
        if (!read_input(path, input)) {
            status = kUsageError;
            continue;
        }
        // Checked without building the document: the text is all it costs.
        ReadError error;
        if (!detail::check_document(input.text, &error)) {
            report_not_accepted(input, error);
            if (status == kSuccess) status = kNotAccepted;
        }
    }
    return status;
}

// The document that reformat or compact writes. Never released: the process
// ends right after writing it and gives all its memory back at once, where
// releasing a large document node by node costs a good part of what reading
// it did. Held here rather than dropped, so that leak checkers count it as
// still in use; volatile, so that the compiler keeps the pointer in memory
// where they look.
const Document* volatile written_document = nullptr;

// Reads one input (a null path: standard input) and hands its document to
// `write`.
template <class Write>
int write_command(const char* path, Write write) {
    Input input;
    if (!read_input(path, input)) return kUsageError;
    const Document& document = *(written_document = new Document(input.text));
    if (!document.accepted()) {
        report_not_accepted(input, document.error);
        return kNotAccepted;
    }
    write(document);
    std::cout.flush();
    if (!std::cout) {
        report("<stdout>", "cannot write");
        return kUsageError;
    }
    return kSuccess;
}

void write_text(const std::string& text) { std::cout.write(text.data(), static_cast<std::streamsize>(text.size())); }

int reformat_command(const Arguments& arguments) {
    return write_command(arguments.files[0], [](const Document& document) {
        if (document.opened == detail::Opened::Object)
            detail::write_json(std::cout, document.object);
        else
            detail::write_json(std::cout, document.array);
    });
}

int compact_command(const Arguments& arguments) {
    return write_command(arguments.files[0], [](const Document& document) {
        // The precision of the indented form, so that compact loses nothing it keeps.
        std::cout.precision(kNumberDigits);
        if (document.opened == detail::Opened::Object)
            std::cout << document.object << '\n';
        else
            std::cout << document.array << '\n';
    });
}

int xml_command(const Arguments& arguments) {
    return write_command(arguments.files[0], [&](const Document& document) {
        write_text(document.opened == detail::Opened::Object ? document.object.xml(arguments.dialect, "", "")
                                                             : document.array.xml(arguments.dialect, "", ""));
    });
}

struct Command {
    const char* name;
    int (*run)(const Arguments& arguments);
    std::size_t most_files;
    bool takes_dialect;
    const char* help;
};

constexpr std::size_t kAnyNumber = static_cast<std::size_t>(-1);

const Command kCommands[] = {
    {"validate", validate_command, kAnyNumber, false,
     "usage: zqjson validate [FILE...]\n"
     "\n"
     "Checks that each input, after leading bytes up to 0x20, opens with an object\n"
     "or an array that the parser accepts. Writes nothing for accepted inputs and\n"
     "one line on standard error for each input that is not accepted, with the\n"
     "line and column where reading stopped and why. Reads standard input when no\n"
     "FILE is given.\n"
     "\n"
     "Exit status: 0 all accepted, 1 an input not accepted, 2 usage error or an\n"
     "input that cannot be read.\n"},
    {"reformat", reformat_command, 1, false,
     "usage: zqjson reformat [FILE]\n"
     "\n"
     "Writes the object or array that the input opens with as indented JSON: one\n"
     "value per line, one TAB per level, members in key order, numbers with 16\n"
     "significant digits. Reads standard input when no FILE is given.\n"
     "\n"
     "Exit status: 0 written, 1 input not accepted (nothing written), 2 usage\n"
     "error or input that cannot be read.\n"},
    {"compact", compact_command, 1, false,
     "usage: zqjson compact [FILE]\n"
     "\n"
     "Writes the object or array that the input opens with as JSON on one line,\n"
     "members in key order, numbers with 16 significant digits. Reads standard\n"
     "input when no FILE is given.\n"
     "\n"
     "Exit status: 0 written, 1 input not accepted (nothing written), 2 usage\n"
     "error or input that cannot be read.\n"},
    {"xml", xml_command, 1, true,
     "usage: zqjson xml --dialect jsonx|jxml|jxmlex|tagged [FILE]\n"
     "\n"
     "Writes the object or array that the input opens with as XML in one of four\n"
     "dialects, after the XML declaration line: jsonx names elements after keys,\n"
     "jxml writes every element as j with type and key in a son attribute, jxmlex\n"
     "adds the value as an attribute named after the key, tagged names elements\n"
     "after keys with type and key attributes. Reads standard input when no FILE\n"
     "is given.\n"
     "\n"
     "Exit status: 0 written, 1 input not accepted (nothing written), 2 usage\n"
     "error or input that cannot be read.\n"},
};

bool is_help(std::string_view argument) { return argument == "--help" || argument == "-h"; }

int usage_error(const std::string& problem) {
    std::cerr << kProgram << ": " << problem << "\nTry 'zqjson --help'.\n";
    return kUsageError;
}

bool find_dialect(std::string_view name, Format& dialect) {
    for (const auto& [dialect_name, format] : kDialects) {
        if (name != dialect_name) continue;
        dialect = format;
        return true;
    }
    return false;
}

int run(int argc, char** argv) {
    if (argc < 2) return usage_error("missing command");
    const std::string_view name = argv[1];
    if (is_help(name)) {
        std::cout << kToolHelp;
        return kSuccess;
    }
    if (name == "--version") {
        std::cout << kProgram << ' ' << ZQ_VERSION << '\n';
        return kSuccess;
    }
    for (const Command& command : kCommands) {
        if (name != command.name) continue;
        Arguments arguments;
        bool has_dialect = false;
        for (int i = 2; i < argc; ++i) {
            const std::string_view argument = argv[i];
            if (is_help(argument)) {
                std::cout << command.help;
                return kSuccess;
            }
            if (command.takes_dialect && argument == "--dialect") {
                if (++i == argc) return usage_error("--dialect needs one of jsonx, jxml, jxmlex, tagged");
                if (!find_dialect(argv[i], arguments.dialect))
                    return usage_error("unknown dialect '" + std::string(argv[i]) + "'");
                has_dialect = true;
                continue;
            }
            if (argument.size() > 1 && argument[0] == '-') return usage_error("unknown option '" + std::string(argument) + "'");
            arguments.files.push_back(argv[i]);
        }
        if (command.takes_dialect && !has_dialect)
            return usage_error(std::string(command.name) + " needs --dialect jsonx|jxml|jxmlex|tagged");
        if (arguments.files.size() > command.most_files)
            return usage_error(std::string(command.name) + " takes at most one FILE");
        if (arguments.files.empty()) arguments.files.push_back(nullptr);  // standard input
        return command.run(arguments);
    }
    return usage_error("unknown command '" + std::string(name) + "'");
}

}  // namespace

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    return run(argc, argv);
}
