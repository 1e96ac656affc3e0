// The zqjson command-line tool, run as a process: exit status, standard
// output and standard error.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

struct ToolRun {
    int status;
    std::string out;
    std::string err;
};

std::string path_in_temp(const std::string& name) { return testing::TempDir() + "zqjson_tool_test_" + name; }

std::string write_file(const std::string& name, const std::string& content) {
    const std::string path = path_in_temp(name);
    std::ofstream(path, std::ios::binary) << content;
    return path;
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

// Runs the tool with `arguments`, feeding `input` on standard input.
ToolRun zqjson(const std::string& arguments, const std::string& input = "") {
    const std::string in = write_file("stdin", input);
    const std::string err = path_in_temp("stderr");
    const std::string command =
        std::string(ZQ_EMULATOR) + " " + ZQ_TOOL + " " + arguments + " <" + in + " 2>" + err;
    std::FILE* pipe = popen(command.c_str(), "r");
    EXPECT_NE(pipe, nullptr);
    ToolRun run{-1, "", ""};
    if (!pipe) return run;
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.out.append(buffer, got);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.err = read_file(err);
    return run;
}

bool starts_with(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

}  // namespace

TEST(ZqjsonTool, HelpGoesToStandardOutput) {
    const struct {
        const char* arguments;
        const char* first_line;
    } cases[] = {
        {"--help", "usage: zqjson COMMAND [FILE...]\n"},
        {"validate --help", "usage: zqjson validate [FILE...]\n"},
        {"reformat --help", "usage: zqjson reformat [FILE]\n"},
        {"compact -h", "usage: zqjson compact [FILE]\n"},
        {"reformat missing.json --help", "usage: zqjson reformat [FILE]\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        const ToolRun run = zqjson(c.arguments);
        EXPECT_EQ(run.status, 0);
        EXPECT_TRUE(starts_with(run.out, c.first_line)) << run.out;
        EXPECT_EQ(run.err, "");
    }
}

TEST(ZqjsonTool, UsageErrors) {
    const struct {
        const char* arguments;
        const char* message;
    } cases[] = {
        {"", "zqjson: missing command\n"},
        {"format", "zqjson: unknown command 'format'\n"},
        {"reformat a.json b.json", "zqjson: reformat takes at most one FILE\n"},
        {"validate --strict", "zqjson: unknown option '--strict'\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        const ToolRun run = zqjson(c.arguments);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_TRUE(starts_with(run.err, c.message)) << run.err;
    }
}

TEST(ZqjsonTool, WritesAcceptedInput) {
    const struct {
        const char* arguments;
        const char* input;
        const char* output;
    } cases[] = {
        {"reformat", "  [1, 2]", "[\n\t1,\n\t2 \n] \n"},
        {"reformat", "{'b': [true,], \"a\": 0.1} tail", "{\n\t\"a\": 0.1,\n\t\"b\": [\n\t\ttrue \n\t] \n} \n"},
        {"compact", "{\"b\": [1, 'x'], \"a\": true}", "{\"a\": true, \"b\": [1, \"x\"]}\n"},
        {"compact", "[0.6666666666666666, 1e6, \"\\u0001\"]", "[0.6666666666666666, 1000000, \"\\u0001\"]\n"},
        {"validate", "\x01 {\"k\": [1, 2]} garbage", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.arguments) + " " + c.input);
        const ToolRun run = zqjson(c.arguments, c.input);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, c.output);
        EXPECT_EQ(run.err, "");
    }
}

TEST(ZqjsonTool, RejectedInputSaysWhereReadingStopped) {
    const struct {
        const char* arguments;
        const char* input;
        const char* where;
    } cases[] = {
        {"reformat", "42", "line 1, column 1"},
        {"compact", "\n\n   \"s\"", "line 3, column 4"},
        {"validate", "", "line 1, column 1 (end of input)"},
        {"validate", "[1,\n 2", "line 2, column 3 (end of input)"},
        {"reformat", "{\n  \"k\": 1,\n  \"m\" 2\n}", "line 3, column 7"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.arguments) + " " + c.input);
        const ToolRun run = zqjson(c.arguments, c.input);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, std::string("zqjson: <stdin>: not accepted: reading stopped at ") + c.where + "\n");
    }
}

TEST(ZqjsonTool, ValidateReportsEachRejectedFile) {
    const std::string good = write_file("good.json", "{\"k\": 1}");
    const std::string bad = write_file("bad.json", "[1, 2");
    ToolRun run = zqjson("validate " + good + " " + bad + " " + good);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "zqjson: " + bad + ": not accepted: reading stopped at line 1, column 6 (end of input)\n");

    run = zqjson("validate " + good + " " + path_in_temp("missing.json"));
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(starts_with(run.err, "zqjson: " + path_in_temp("missing.json") + ": cannot open: ")) << run.err;
}

TEST(ZqjsonTool, ReadsTheNamedFileRatherThanStandardInput) {
    const std::string file = write_file("doc.json", "[\"file\"]");
    const ToolRun run = zqjson("compact " + file, "[\"stdin\"]");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "[\"file\"]\n");
}
