// The zqjson command-line tool, run as a process: exit status, standard
// output and standard error.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "SnapCommon/ZQJson.h"
#include "SnapCommon/json/Parser.h"
#include "SnapCommon/json/Xml.h"
#include "TestSupport.h"

namespace {

struct ToolRun {
    int status;
    std::string out;
    std::string err;
};

// Per process: ctest runs the tests of this file side by side.
std::string path_in_temp(const std::string& name) {
    return testing::TempDir() + "zqjson_tool_test_" + std::to_string(getpid()) + "_" + name;
}

// A file with the given content, removed again when the test is done.
class TempFile {
public:
    TempFile(const std::string& name, const std::string& content) : path_(path_in_temp(name)) {
        std::ofstream(path_, std::ios::binary) << content;
    }
    ~TempFile() { std::remove(path_.c_str()); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

// Runs the tool with `arguments`, feeding `input` on standard input, after
// the shell commands `before`.
ToolRun run_zqjson(const std::string& arguments, const std::string& input = "", const std::string& before = "") {
    const TempFile in("stdin", input);
    const TempFile err("stderr", "");
    const std::string command =
        before + std::string(ZQ_EMULATOR) + " " + ZQ_TOOL + " " + arguments + " <" + in.path() + " 2>" + err.path();
    std::FILE* pipe = popen(command.c_str(), "r");
    EXPECT_NE(pipe, nullptr);
    ToolRun run{-1, "", ""};
    if (!pipe) return run;
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.out.append(buffer, got);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.err = read_file(err.path());
    return run;
}

bool starts_with(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

const std::string kXmlHeader(zqjson::detail::default_header());

// The XML document the xml command writes around the library's rendering.
std::string xml_document(const std::string& rendering, const std::string& root = "json") {
    return kXmlHeader + "<" + root + ">\n" + rendering + "</" + root + ">\n";
}

}  // namespace

TEST(ZqjsonTool, HelpGoesToStandardOutput) {
    const struct {
        const char* arguments;
        const char* first_line;
    } cases[] = {
        {"--help", "usage: zqjson [COMMAND] [OPTION...] [FILE...]\n"},
        {"-h", "usage: zqjson [COMMAND] [OPTION...] [FILE...]\n"},
        {"help", "usage: zqjson [COMMAND] [OPTION...] [FILE...]\n"},
        {"help compact", "usage: zqjson compact [--strict] [--rounded] [FILE...]\n"},
        {"validate --help", "usage: zqjson validate [--strict] [FILE...]\n"},
        {"reformat --help", "usage: zqjson reformat [--strict] [--rounded] [FILE...]\n"},
        {"compact -h", "usage: zqjson compact [--strict] [--rounded] [FILE...]\n"},
        {"xml --help", "usage: zqjson xml [--dialect jsonx|jxml|jxmlex|tagged] [--root NAME | --fragment]\n"},
        {"reformat missing.json --help", "usage: zqjson reformat [--strict] [--rounded] [FILE...]\n"},
        {"--version", "zqjson " ZQ_VERSION "\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        const ToolRun run = run_zqjson(c.arguments);
        EXPECT_EQ(run.status, 0);
        EXPECT_TRUE(starts_with(run.out, c.first_line)) << run.out;
        EXPECT_EQ(run.err, "");
    }
}

// One line per usage error, the hint on it; what the user typed is echoed
// with control bytes and bytes that are not UTF-8 escaped.
TEST(ZqjsonTool, UsageErrors) {
    const struct {
        const char* arguments;
        const char* problem;
    } cases[] = {
        {"help format", "unknown command 'format'"},
        {"validate --exact", "unknown option '--exact'"},
        {"compact --strict=yes", "option '--strict' takes no value"},
        {"xml --dialect jxml --root", "--root needs an XML element name"},
        {"xml --dialect jxml --root 1st", "--root needs an XML element name, not '1st'"},
        {"xml --dialect jxml --root r --fragment", "--root and --fragment exclude each other"},
        {"xml --dialect yaml", "unknown dialect 'yaml': choose jsonx, jxml, jxmlex or tagged"},
        {"xml --dialect=yaml", "unknown dialect 'yaml': choose jsonx, jxml, jxmlex or tagged"},
        {"xml --dialect", "--dialect needs one of jsonx, jxml, jxmlex or tagged"},
        {"reformat --dialect jxml", "unknown option '--dialect'"},
        {"xml --dialect jxml --root \"$(printf 'a\\nb')\"", "--root needs an XML element name, not 'a\\x0ab'"},
        {"help \"$(printf 'f\\033[2J\\r\\177')\"", "unknown command 'f\\x1b[2J\\x0d\\x7f'"},
        {"compact \"$(printf -- '--\\303\\251\\377\\302\\233')\"", "unknown option '--\xc3\xa9\\xff\\xc2\\x9b'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        const ToolRun run = run_zqjson(c.arguments);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, std::string("zqjson: ") + c.problem + " (try 'zqjson --help')\n");
    }
    const ToolRun unwritable = run_zqjson("--help >/dev/full");
    EXPECT_EQ(unwritable.status, 2);
    EXPECT_EQ(unwritable.err, "zqjson: <stdout>: cannot write\n");
}

TEST(ZqjsonTool, WritesAcceptedInput) {
    const struct {
        const char* arguments;
        const char* input;
        std::string output;
    } cases[] = {
        {"reformat", "  [1, 2]", "[\n\t1,\n\t2 \n] \n"},
        {"reformat", "{'b': [true,], \"a\": 0.1} // tail", "{\n\t\"a\": 0.1,\n\t\"b\": [\n\t\ttrue \n\t] \n} \n"},
        {"compact", "{\"b\": [1, 'x'], \"a\": true}", "{\"a\": true, \"b\": [1, \"x\"]}\n"},
        {"compact", "[0.6666666666666666, 1e6, \"\\u0001\"]", "[0.6666666666666666, 1000000, \"\\u0001\"]\n"},
        {"validate", " {\"k\": [1, 2]} \n", ""},
        {"xml --dialect jxml", "{\"k\": [1]}", xml_document("\t<k>\n\t\t<j son=\"n\">1</j>\n\n\t</k>\n")},
        {"xml --dialect jsonx", "[true]\n", xml_document("<JsonArray>\n\t<JsonItem>true</JsonItem>\n\n</JsonArray>\n")},
        {"xml --dialect jxmlex", "{'s': 'a&b'}", xml_document("\t<j son=\"s:s\" s=\"a&amp;b\">a&amp;b</j>\n")},
        {"xml --dialect tagged", "{\"9\": null}", xml_document("\t<_9 type=\"json:null\" name=\"9\" />\n")},
        {"xml --dialect jxml", "{}", xml_document("")},
        {"xml --dialect jxml --root=doc", "[]", xml_document("", "doc")},
        {"xml --fragment --dialect jxml", "{\"k\": 1}", kXmlHeader + "\t<j son=\"n:k\">1</j>\n"},
        // Strict: standard JSON only, any value, the whole input.
        {"validate --strict", "42 ", ""},
        {"reformat --strict", "\"s\"", "\"s\" \n"},
        {"compact --strict", "{\"a\": [null]}\n", "{\"a\": [null]}\n"},
        {"xml --strict --dialect jsonx", "1.5", xml_document("<JsonItem>1.5</JsonItem>\n")},
        // Every number kept: the shortest text that reads back as the same
        // number, and integers up to 64 bits with all their digits; --exact
        // changes nothing, --rounded writes 16 digits.
        {"compact", "[0.1, 2.5e-7, 123456789012345678, 1.7976931348623157e308, -0.0]",
         "[0.1, 2.5e-07, 123456789012345678, 1.7976931348623157e+308, -0]\n"},
        {"compact", "[0.30000000000000004, 18446744073709551615, -9223372036854775808, 1499816949527975237]",
         "[0.30000000000000004, 18446744073709551615, -9223372036854775808, 1499816949527975237]\n"},
        {"compact --exact", "[1e6, 1e17, 18446744073709551616]", "[1000000, 1e+17, 1.8446744073709552e+19]\n"},
        {"compact --rounded", "[123456789012345678, 123456789012345678.0, 0.30000000000000004]",
         "[123456789012345678, 1.234567890123457e+17, 0.3]\n"},
        {"reformat", "[0.30000000000000004]", "[\n\t0.30000000000000004 \n] \n"},
        {"reformat --rounded", "[0.30000000000000004]", "[\n\t0.3 \n] \n"},
        {"xml --dialect jsonx", "[1e23, 505874924095815681]",
         xml_document("<JsonArray>\n\t<JsonItem>1e+23</JsonItem>\n\n</JsonArray>\n"
                      "<JsonArray>\n\t<JsonItem>505874924095815681</JsonItem>\n\n</JsonArray>\n")},
        {"get /0", "[0.30000000000000004]", "0.30000000000000004\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.arguments) + " " + c.input);
        const ToolRun run = run_zqjson(c.arguments, c.input);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, c.output);
        EXPECT_EQ(run.err, "");
    }
}

// Several inputs, each in turn and on its own; '-' is standard input, '--'
// ends the options; the exit status is the worst.
TEST(ZqjsonTool, SeveralInputsInTurn) {
    const TempFile one("one.json", "{\"a\": 1}");
    const TempFile broken("broken.json", "[1");
    const TempFile dash("-x.json", "[2]");
    const struct {
        std::string arguments;
        int status;
        std::string out;
        std::string err;
    } cases[] = {
        {"compact " + one.path() + " - " + one.path(), 0, "{\"a\": 1}\n[3]\n{\"a\": 1}\n", ""},
        {"compact " + broken.path() + " -", 1, "[3]\n",
         "zqjson: " + broken.path() + ": not accepted: line 1, column 3: unexpected end of input\n"},
        {"xml --dialect=jsonx -- " + dash.path(), 0,
         xml_document("<JsonArray>\n\t<JsonItem>2</JsonItem>\n\n</JsonArray>\n"), ""},
        {"compact - >/dev/full", 2, "", "zqjson: <stdout>: cannot write\n"},
        {"validate - " + one.path() + " " + path_in_temp("none.json"), 2, "",
         "zqjson: " + path_in_temp("none.json") + ": cannot open: No such file or directory\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        const ToolRun run = run_zqjson(c.arguments, "[3]");
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(run.err, c.err);
    }
}

// get: the value at a JSON Pointer on one line, a string's text with --raw,
// and one line on standard error where the path leads nowhere.
TEST(ZqjsonTool, GetsTheValueAtAPointer) {
    const std::string document = "{\"a\": {\"b\": [1, \"x/y\", {\"k\": 2.5}]}, \"m~n\": \"say \\\"hi\\\"\"}";
    const struct {
        const char* arguments;
        int status;
        const char* out;
        const char* err;
    } cases[] = {
        {"get /a/b/0", 0, "1\n", ""},
        {"get /a/b/2", 0, "{\"k\": 2.5}\n", ""},
        {"get /a/b/1", 0, "\"x\\/y\"\n", ""},
        {"get --raw /a/b/1", 0, "x/y\n", ""},
        {"get --raw /m~0n -", 0, "say \"hi\"\n", ""},
        {"get --raw /a/b/0", 0, "1\n", ""},
        {"get ''", 0, "{\"a\": {\"b\": [1, \"x\\/y\", {\"k\": 2.5}]}, \"m~n\": \"say \\\"hi\\\"\"}\n", ""},
        {"get /a/b/3", 1, "", "zqjson: <stdin>: nothing at '/a/b/3'\n"},
        {"get /a/c", 1, "", "zqjson: <stdin>: nothing at '/a/c'\n"},
        {"get", 2, "", "zqjson: get needs a POINTER, such as /a/0 (try 'zqjson --help')\n"},
        {"get .a.b", 2, "",
         "zqjson: '.a.b' is not a JSON Pointer: it starts with '/', as in /a/0, or is '' for the whole document "
         "(try 'zqjson --help')\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        const ToolRun run = run_zqjson(c.arguments, document);
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(run.err, c.err);
    }
}

TEST(ZqjsonTool, RejectedInputSaysWhereAndWhy) {
    const struct {
        const char* arguments;
        const char* input;
        const char* where;
    } cases[] = {
        {"reformat", "42 x", "line 1, column 4: text after the document"},
        {"compact", "\n\n   \"s\" \"t\"", "line 3, column 8: text after the document"},
        {"validate", "\x01 [1]", "line 1, column 1: unexpected character"},
        {"validate", "[1] garbage", "line 1, column 5: text after the document"},
        {"validate", "", "no document"},
        {"validate", " \n// nothing\n", "no document"},
        {"validate", "{\"a\":1}\n{\"a\":2}\n{\"a\":\n", "document 3, line 3, column 6: unexpected end of input"},
        {"validate", "{\"a\":1}\nGARBAGE", "document 2, line 2, column 1: unexpected character"},
        {"validate", "[][]", "line 1, column 3: text after the document"},
        {"validate", "[1,\n 2", "line 2, column 3: unexpected end of input"},
        {"reformat", "{\n  \"k\": 1,\n  \"m\" 2\n}", "line 3, column 7: expected ':' after a key"},
        {"validate", "{\"a\": tru}", "line 1, column 7: invalid literal"},
        {"compact", "[1 2]", "line 1, column 4: expected ',' or ']'"},
        {"validate --strict", "{'a': 1}", "line 1, column 2: expected a key"},
        {"compact --strict", "{\"x\":1,\"a\":[1,2},\"y\":3}", "line 1, column 16: expected ',' or ']'"},
        {"reformat --strict", "[1] x", "line 1, column 5: text after the document"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.arguments) + " " + c.input);
        const ToolRun run = run_zqjson(c.arguments, c.input);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, std::string("zqjson: <stdin>: not accepted: ") + c.where + "\n");
    }
}

// Every document of every input, in turn: JSON Lines in, JSON Lines out;
// any value is a document; no command means reformat; xml without a
// dialect is jsonx, and several documents make one XML document.
TEST(ZqjsonTool, EveryDocumentOfEveryInput) {
    const TempFile a("a.json", "{\"a\": 1}");
    const TempFile b("b.jsonl", "\xEF\xBB\xBF[1]\n\"two\"\n3\n");
    const std::string folder = path_in_temp("folder");
    std::filesystem::create_directory(folder);
    std::ofstream(folder + "/validate") << "[\"a file\"]";
    const std::string in_temp = "cd " + folder + "; ";
    const struct {
        std::string arguments;
        std::string input;
        int status;
        std::string out;
        std::string err;
        std::string before = "";
    } cases[] = {
        {"compact", "{\"a\":1}\n{\"a\":2}\n{\"a\":\n", 1, "{\"a\": 1}\n{\"a\": 2}\n",
         "zqjson: <stdin>: not accepted: document 3, line 3, column 6: unexpected end of input\n"},
        {"compact", "42", 0, "42\n", ""},
        {"compact --strict", "42 \n\"s\"\n", 0, "42\n\"s\"\n", ""},
        {"compact " + a.path() + " " + b.path(), "", 0, "{\"a\": 1}\n[1]\n\"two\"\n3\n", ""},
        {"reformat", "[1]\n[2]", 0, "[\n\t1 \n] \n[\n\t2 \n] \n", ""},
        {"", "[1]", 0, "[\n\t1 \n] \n", ""},
        {a.path(), "", 0, "{\n\t\"a\": 1 \n} \n", ""},
        {"--strict -", "1", 0, "1 \n", ""},
        {"./validate", "", 0, "[\n\t\"a file\" \n] \n", "", in_temp},
        {"get /a", "{\"a\": 1}\n{\"b\": 2}\n{\"a\": 3}", 1, "1\n3\n", "zqjson: <stdin>: document 2, nothing at '/a'\n"},
        {"xml", "{\"k\": 1}", 0, xml_document("\t<k>1</k>\n"), ""},
        {"xml " + a.path() + " -", "[true]\n", 0,
         kXmlHeader + "<json>\n<document input=\"" + a.path() + "\" number=\"1\">\n\t<a>1</a>\n</document>\n" +
             "<document input=\"&lt;stdin>\" number=\"1\">\n<JsonArray>\n\t<JsonItem>true</JsonItem>\n\n</JsonArray>\n"
             "</document>\n</json>\n",
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments + " " + c.input);
        const ToolRun run = run_zqjson(c.arguments, c.input, c.before);
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(run.err, c.err);
    }
    const TempFile both("both.jsonl", run_zqjson("compact " + a.path() + " " + b.path()).out);
    EXPECT_EQ(run_zqjson("validate --strict " + both.path()).status, 0);
    std::filesystem::remove_all(folder);
}

TEST(ZqjsonTool, ValidateReportsEachRejectedFile) {
    const TempFile good_file("good.json", "{\"k\": 1}");
    const TempFile bad_file("bad.json", "[1, 2");
    const std::string& good = good_file.path();
    const std::string& bad = bad_file.path();
    ToolRun run = run_zqjson("validate " + good + " " + bad + " " + good);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "zqjson: " + bad + ": not accepted: line 1, column 6: unexpected end of input\n");

    run = run_zqjson("validate " + good + " " + path_in_temp("missing.json"));
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(starts_with(run.err, "zqjson: " + path_in_temp("missing.json") + ": cannot open: ")) << run.err;
}

TEST(ZqjsonTool, ReadsTheNamedFileRatherThanStandardInput) {
    const TempFile file("doc.json", "[\"file\"]");
    ToolRun run = run_zqjson("compact " + file.path(), "[\"stdin\"]");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "[\"file\"]\n");

    run = run_zqjson("xml " + file.path() + " --dialect jxml", "[\"stdin\"]");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, xml_document("<JsonArray>\n\t<j son=\"s:NoTagName\">file</j>\n\n</JsonArray>\n"));
}

// Inputs that do not fit in memory end in one line and status 2, never in an
// abort: a document whose model does not fit. A sparse file whose size claims
// far more than memory holds is read as far as its first fault. Skipped under an emulator, whose own
// mappings share the limit and fail in its own words, and where the tool
// cannot start under the limit at all (sanitizers reserve more).
TEST(ZqjsonTool, TooLittleMemoryIsOneLine) {
    if (ZQ_EMULATOR[0] != '\0') GTEST_SKIP() << "the address-space limit would be the emulator's";
    const std::string limit = "ulimit -v " + std::to_string(256 * 1024) + "; ";
    if (run_zqjson("--version", "", limit).status != 0) GTEST_SKIP() << "the tool does not start under " << limit;
    std::string many_arrays = "[";
    for (int i = 0; i < 7'000'000; ++i) many_arrays += "[],";
    many_arrays += "[]]";
    const TempFile large("large.json", many_arrays);
    const std::string sparse = path_in_temp("sparse.json");
    std::ofstream(sparse).put('[');
    std::filesystem::resize_file(sparse, std::uintmax_t{10} << 30);
    ToolRun run = run_zqjson("compact " + large.path(), "", limit);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "zqjson: not enough memory to read " + large.path() + "\n");
    run = run_zqjson("validate " + sparse, "", limit);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "zqjson: " + sparse + ": not accepted: line 1, column 2: unexpected character\n");
    std::remove(sparse.c_str());
}

// XML claims room in bounded pieces: a long key costs it about what it costs
// reformat, not a multiple of the key for every byte of it.
TEST(ZqjsonTool, LongKeysFitWhereReformatFits) {
    if (ZQ_EMULATOR[0] != '\0') GTEST_SKIP() << "the address-space limit would be the emulator's";
    const std::string limit = "ulimit -v " + std::to_string(256 * 1024) + "; ";
    if (run_zqjson("--version", "", limit).status != 0) GTEST_SKIP() << "the tool does not start under " << limit;
    const std::string key(20 << 20, 'k');
    const TempFile object("long_key.json", "{\"" + key + "\": {\"a\": 1}, \"n\": {\"" + key + "\": null}}");
    for (const char* command : {"reformat", "xml --dialect tagged", "xml --dialect jsonx", "xml --dialect jxmlex"}) {
        SCOPED_TRACE(command);
        const ToolRun run = run_zqjson(std::string(command) + " " + object.path() + " >/dev/null", "", limit);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.err, "");
    }
}

// The default XML output is a document that an XML parser takes as it stands,
// in every dialect, for the awkward inputs too.
TEST(ZqjsonTool, XmlOutputIsAnXmlDocument) {
    if (std::system("command -v xmllint >/dev/null") != 0) GTEST_SKIP() << "xmllint is not installed";
    std::vector<std::string> inputs = {"{}", "[]", "[[]]",
                                       "{\"\": 1, \"1x\": [2], \"a b\": {\"<&>\": [{}]}, \"son\": 3}"};
    for (const auto& entry : std::filesystem::directory_iterator(std::string(ZQ_HOSTILE_DIR) + "/accepted"))
        inputs.push_back(read_file(entry.path().string()));
    for (const char* dialect : {"jsonx", "jxml", "jxmlex", "tagged"}) {
        for (const std::string& input : inputs) {
            SCOPED_TRACE(std::string(dialect) + ": " + input.substr(0, 60));
            const ToolRun run = run_zqjson(std::string("xml --dialect ") + dialect, input);
            if (run.status != 0) continue;  // not a document the tool reads
            const TempFile out("out.xml", run.out);
            EXPECT_EQ(std::system(("xmllint --noout " + out.path()).c_str()), 0);
        }
    }
}

// The manual page names every command and every option that --help names,
// and the version.
TEST(ZqjsonTool, ManualPageMatchesHelp) {
    std::string manual = read_file(ZQ_MAN_PAGE);
    for (std::size_t at; (at = manual.find("\\-")) != std::string::npos;) manual.replace(at, 2, "-");
    EXPECT_NE(manual.find("\"zqjson " ZQ_VERSION "\""), std::string::npos);
    std::string help = run_zqjson("--help").out;
    for (const char* command : {"validate", "reformat", "compact", "xml", "get"}) {
        EXPECT_NE(manual.find(std::string(".B zqjson ") + command), std::string::npos) << command;
        help += run_zqjson(std::string("help ") + command).out;
    }
    std::size_t options = 0;
    for (std::size_t at = 0; (at = help.find("--", at)) != std::string::npos; ++options) {
        const std::size_t end = help.find_first_not_of("abcdefghijklmnopqrstuvwxyz-", at + 2);
        const std::string option = help.substr(at, end - at);
        if (option.size() > 2) {
            EXPECT_NE(manual.find(option), std::string::npos) << option;
        }
        at = end;
    }
    EXPECT_GT(options, 10u);
}

// ---------------------------------------------------------------------------
// The stored hostile inputs and a nesting bomb, one run per file and command:
// an accepted file is written as the library writes it; a rejected one gets
// exit status 1, one line on standard error naming the file, where reading
// stopped and why, and nothing on standard output.

namespace {

std::vector<std::string> hostile_files() {
    std::vector<std::string> files;
    for (const char* folder : {"accepted", "rejected"}) {
        for (const auto& entry : std::filesystem::directory_iterator(std::string(ZQ_HOSTILE_DIR) + "/" + folder))
            files.push_back(entry.path().string());
    }
    return files;
}

// What the tool must answer for an input: the library's reading of each of
// its documents, each written as the command writes it, up to the first one
// not read.
struct Expected {
    bool accepted;
    std::string out;
};
Expected tool_expectation(const std::string& command, zqjson::Format dialect, const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> written;
    zqjson::ReadError error;
    const bool read = zqjson::read_each(
        in,
        [&](zqjson::Value& document) {
            if (command == "reformat") written.push_back(zqjson::dump(document, {true}));
            if (command == "compact") written.push_back(zqjson::dump(document) + "\n");
            if (command == "xml") written.push_back(zqjson::xml_document(document, dialect));
            if (command == "validate") written.emplace_back();
            return true;
        },
        &error);
    std::string out;
    for (const std::string& text_written : written) out += text_written;
    return {read && !written.empty(), command == "xml" && written.size() > 1 ? "several" : out};
}
// Takes `prefix` off the front of `text`, when it is there.
bool take(std::string_view& text, std::string_view prefix) {
    if (text.substr(0, prefix.size()) != prefix) return false;
    text.remove_prefix(prefix.size());
    return true;
}

// Takes a run of digits off the front of `text`, when there is one.
bool take_digits(std::string_view& text) {
    const std::size_t digits = std::min(text.find_first_not_of("0123456789"), text.size());
    text.remove_prefix(digits);
    return digits > 0;
}

// "line L, column C: REASON", ending the line.
bool is_where_and_why(std::string_view text) {
    if (text == "no document\n") return true;
    if (take(text, "document ") && !(take_digits(text) && take(text, ", "))) return false;
    return take(text, "line ") && take_digits(text) && take(text, ", column ") && take_digits(text) &&
           take(text, ": ") && text.size() > 1 && text.find('\n') == text.size() - 1;
}

const std::pair<const char*, zqjson::Format> kXmlDialects[] = {
    {"jsonx", zqjson::JSONx}, {"jxml", zqjson::JXML}, {"jxmlex", zqjson::JXMLex}, {"tagged", zqjson::TaggedXML}};

class HostileFiles : public testing::TestWithParam<std::string> {};

TEST_P(HostileFiles, AreWrittenOrReportedOnOneLine) {
    const std::string& command = GetParam();
    const TempFile bomb("bomb.json", zqtest::nesting_bombs().front());
    std::vector<std::string> files = hostile_files();
    files.push_back(bomb.path());
    // The verdicts of the folders are the library's text entry points'; the
    // tool reads every document of an input and any value.
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string& file = files[i];
        SCOPED_TRACE(file);
        // The xml command takes the dialects in turn.
        const auto& [dialect_name, dialect] = kXmlDialects[i % std::size(kXmlDialects)];
        const std::string options = command == "xml" ? std::string(" --dialect ") + dialect_name : "";
        const ToolRun run = run_zqjson(command + options + " " + file);
        const Expected expected = tool_expectation(command, dialect, read_file(file));
        if (expected.out != "several") {
            EXPECT_TRUE(run.out == expected.out);
        }
        if (expected.accepted) {
            EXPECT_EQ(run.status, 0);
            EXPECT_EQ(run.err, "");
            continue;
        }
        EXPECT_EQ(run.status, 1);
        const std::string prefix = "zqjson: " + file + ": not accepted: ";
        ASSERT_TRUE(starts_with(run.err, prefix)) << run.err;
        EXPECT_TRUE(is_where_and_why(std::string_view(run.err).substr(prefix.size()))) << run.err;
    }
}

INSTANTIATE_TEST_SUITE_P(Commands, HostileFiles, testing::Values("validate", "reformat", "compact", "xml"),
                         [](const testing::TestParamInfo<std::string>& info) { return info.param; });

}  // namespace
