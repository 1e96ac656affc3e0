// Generated and mutated inputs through both sources: the text read in place
// and the exported stream functions, over a string stream and over a stream
// that reads ahead a few bytes at a time, must agree on acceptance,
// document, stream flags and where reading stopped; a share of the inputs also goes
// through the reference reader on a real stream.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "parser_support.h"

namespace parser_test {
namespace {

constexpr std::size_t kInputs = 100000;
constexpr std::size_t kReferenceEvery = 4;
constexpr unsigned kSeed = 20261208;

class Generator {
public:
    explicit Generator(unsigned seed) : rng_(seed) {}

    std::string input() {
        std::string text;
        if (chance(2)) text += pick({"", " ", "\n", "\x01", "// c\n", "\xef\xbb\xbf", "\t\r\n "});
        value(text, 0);
        if (chance(4)) text += pick({"", " ", "x", "]", "}", ",", " // tail", "\n{}"});
        const int mutations = chance(3) ? static_cast<int>(below(4)) + 1 : 0;
        for (int i = 0; i < mutations; ++i) mutate(text);
        return text;
    }

    Op op() {
        static const Op kOps[] = {Op::Value, Op::Value, Op::Object, Op::Array, Op::Document};
        return kOps[below(5)];
    }

    bool chance(unsigned n) { return below(n) == 0; }
    std::size_t below(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_); }

private:
    template <std::size_t N>
    const char* pick(const char* const (&options)[N]) {
        return options[below(N)];
    }

    void space(std::string& out) {
        switch (below(40)) {
            case 0:
            case 1:
            case 2:
                out += ' ';
                break;
            case 3:
            case 4:
                out += pick({"\t", "\n", "\r\n", "\v", "\f", "  "});
                break;
            case 5:
            case 6:
                out += pick({"// comment\n", "//\r", "//x\n  "});
                break;
            case 7:
                out += pick({"// end", "/* c */", "/", "\x01", "\x7f", "\xa0"});
                break;
            default:
                break;
        }
    }

    void number(std::string& out) {
        static const char* const kOdd[] = {
            "0",
            "-0",
            "+3",
            "007",
            ".5",
            "5.",
            "1E-3",
            "1.5.2",
            "0x10",
            "-",
            ".",
            "1e",
            "1e+",
            "1e400",
            "-1e400",
            "1e-400",
            "4.9e-324",
            "2.4703282292062328e-324",
            "1.7976931348623159e308",
            "NaN",
            "Infinity",
            "12345678901234567890123",
            "0.1",
            "-.5e-3",
            "1e5e3",
            "--1",
            "+-1",
            "1.e5",
            ".e5",
            "9007199254740993",
            "123456789012345678901234567890e-30",
            "1e0000000000000000000000000000001",
        };
        if (chance(3)) {
            out += kOdd[below(sizeof kOdd / sizeof *kOdd)];
            return;
        }
        if (chance(3)) out += pick({"-", "+"});
        const std::size_t digits = below(18) + 1;
        for (std::size_t i = 0; i < digits; ++i) out += static_cast<char>('0' + below(10));
        if (chance(2)) {
            out += '.';
            for (std::size_t i = below(17); i > 0; --i) out += static_cast<char>('0' + below(10));
        }
        if (chance(3)) {
            out += pick({"e", "E", "e+", "e-", "E-"});
            for (std::size_t i = below(4); i > 0; --i) out += static_cast<char>('0' + below(10));
        }
    }

    void hex4(std::string& out) {
        static const char* const kUnits[] = {"0041", "00e9", "20AC", "d83d", "DE00", "dbff", "dc00", "0000",
                                             "ZZZZ", "41\"", " 41x", "-001", "0x7f", "fffe", "+1a",  "d800"};
        if (chance(2)) {
            out += kUnits[below(sizeof kUnits / sizeof *kUnits)];
            return;
        }
        static const char kHex[] = "0123456789abcdefABCDEF";
        for (int i = 0; i < 4; ++i) out += kHex[below(22)];
    }

    void string(std::string& out) {
        const char quote = chance(4) ? '\'' : '"';
        out += quote;
        const std::size_t length = below(12);
        for (std::size_t i = 0; i < length; ++i) {
            switch (below(10)) {
                case 0:
                    out += '\\';
                    out += pick({"\"", "'", "\\", "/", "b", "f", "n", "r", "t", "q", "x", "0"});
                    break;
                case 1:
                    out += "\\u";
                    hex4(out);
                    break;
                case 2:
                    out += pick({"\xc3\xa9", "\xe2\x82\xac", "\xff", "\t", "\n", "'", "\"", "//"});
                    break;
                default:
                    out += static_cast<char>('a' + below(26));
                    break;
            }
        }
        if (!chance(30)) out += quote;
    }

    void value(std::string& out, std::size_t depth) {
        space(out);
        if (depth == 0 && chance(500)) {
            deep(out);
            return;
        }
        const std::size_t kind = depth > 6 ? below(6) : depth == 0 && !chance(5) ? 6 + below(3) : below(9);
        switch (kind) {
            case 0:
                string(out);
                break;
            case 1:
            case 2:
                number(out);
                break;
            case 3:
                out += pick({"true", "false", "null", "tru", "nul", "True", "falsey", "nullx", "t// c\nrue"});
                break;
            case 4:
                break;  // an empty value
            case 5:
                out += pick({"[]", "{}", "[ ]", "{ }"});
                break;
            case 6:
            case 7:
                array(out, depth + 1);
                break;
            default:
                object(out, depth + 1);
                break;
        }
        space(out);
    }

    void array(std::string& out, std::size_t depth) {
        out += '[';
        const std::size_t n = below(5);
        for (std::size_t i = 0; i < n; ++i) {
            if (i) out += chance(30) ? pick({" ", ",,", ""}) : ",";
            value(out, depth);
        }
        if (chance(5)) out += ',';
        space(out);
        if (!chance(40)) out += chance(40) ? '}' : ']';
    }

    void object(std::string& out, std::size_t depth) {
        out += '{';
        const std::size_t n = below(5);
        for (std::size_t i = 0; i < n; ++i) {
            if (i) out += chance(30) ? pick({" ", ",,", ""}) : ",";
            space(out);
            if (chance(20)) {
                out += pick({"k", "", "1"});
            } else {
                string(out);
            }
            space(out);
            if (!chance(40)) out += ':';
            value(out, depth);
        }
        if (chance(5)) out += ',';
        space(out);
        if (!chance(40)) out += chance(40) ? ']' : '}';
    }

    // Nesting around the bound, or far beyond it.
    void deep(std::string& out) {
        static const std::size_t kDepths[] = {zqjson::kMaxDepth - 1, zqjson::kMaxDepth, zqjson::kMaxDepth + 1, 2000};
        const std::size_t depth = kDepths[below(4)];
        std::string close;
        for (std::size_t i = 0; i < depth; ++i) {
            if (chance(2)) {
                out += '[';
                close += ']';
            } else {
                out += "{\"k\":";
                close += '}';
            }
        }
        out += chance(2) ? "1" : "";
        out.append(close.rbegin(), close.rend());
    }

    void mutate(std::string& text) {
        static const char kSpecial[] = "{}[],:\"'\\/ \n\r\t0123456789.eE+-tfnu\x01\xff";
        const std::size_t at = text.empty() ? 0 : below(text.size() + 1);
        switch (below(6)) {
            case 0:  // flip a byte
                if (!text.empty()) text[below(text.size())] = static_cast<char>(below(256));
                break;
            case 1:
                text.insert(at, 1, kSpecial[below(sizeof kSpecial - 1)]);
                break;
            case 2:
                if (at < text.size()) text.erase(at, below(4) + 1);
                break;
            case 3:
                text.resize(at);
                break;
            case 4:
                if (at < text.size()) text.insert(below(text.size() + 1), text.substr(at, below(8) + 1));
                break;
            default:
                text.insert(at, pick({"//", "// c\n", "\\u", "\\ud83d", "'", "1e400", ",", "[", "{"}));
                break;
        }
    }

    std::mt19937_64 rng_;
};

std::string escaped(const std::string& text) {
    std::string out;
    describe_string(out, text);
    return out;
}

TEST(Differential, SourcesAgreeOnGeneratedInputs) {
    Generator gen(kSeed);
    std::size_t disagreements = 0;
    std::size_t accepted = 0;
    for (std::size_t i = 0; i < kInputs && disagreements < 5; ++i) {
        const std::string input = gen.input();
        const Op op = gen.chance(2) ? Op::Value : gen.op();
        const Outcome stream = run(Source::Stream, op, input);
        const Outcome text = run(Source::Text, op, input);
        const Outcome trickle = run(Source::Trickle, op, input);
        const Outcome pipe = run(Source::Pipe, op, input);
        accepted += stream.ok;
        if (!(text == stream) || !(trickle == stream) || !(pipe == stream)) {
            ++disagreements;
            ADD_FAILURE() << "input " << i << " op " << static_cast<int>(op) << " " << escaped(input) << "\n text    "
                          << text << "\n stream  " << stream << "\n trickle " << trickle << "\n pipe    " << pipe;
        }
        if (i % kReferenceEvery == 0) {
            const Outcome ref = run(Source::Reference, op, input);
            if (!(ref == stream)) {
                ++disagreements;
                ADD_FAILURE() << "input " << i << " op " << static_cast<int>(op) << " " << escaped(input)
                              << "\n reference " << ref << "\n stream    " << stream;
            }
        }
    }
    // The generator must exercise both outcomes.
    EXPECT_GT(accepted, kInputs / 5);
    EXPECT_LT(accepted, kInputs * 4 / 5);
}

// Each document read_each hands over, described, then how it ended.
std::string each_document(std::streambuf& buffer, zqjson::Syntax syntax) {
    std::istream in(&buffer);
    std::string seen;
    zqjson::ReadError error;
    const bool ok = zqjson::read_each(
        in,
        [&](Value& document) {
            seen += describe(document) + ";";
            return true;
        },
        &error, syntax);
    return seen + (ok ? "ok " : "stopped ") + std::to_string(error.document) + " at " + std::to_string(error.offset) +
           " " + error.reason;
}

// A trickling stream buffer that cannot seek, as a pipe.
class PipeBuffer : public zqtest::TrickleBuffer {
public:
    using TrickleBuffer::TrickleBuffer;

protected:
    pos_type seekoff(off_type, std::ios_base::seekdir, std::ios_base::openmode) override { return -1; }
    pos_type seekpos(pos_type, std::ios_base::openmode) override { return -1; }
};

// Generated inputs as lines of documents: a string stream, a trickle and a
// pipe agree on every document and on where and why reading stopped; and
// where the whole text is one standard JSON text, it is one document.
TEST(Differential, DocumentsOneAfterAnotherAgree) {
    Generator gen(kSeed + 1);
    constexpr std::size_t kLines = kInputs / 10;
    std::size_t disagreements = 0;
    for (std::size_t i = 0; i < kLines && disagreements < 5; ++i) {
        const std::string input = gen.input() + (gen.chance(2) ? "\n" + gen.input() : "");
        for (const zqjson::Syntax syntax : {zqjson::Syntax::Lenient, zqjson::Syntax::Strict}) {
            std::stringbuf whole(input, std::ios_base::in);
            zqtest::TrickleBuffer trickle(input, 1 + input.size() % 7);
            PipeBuffer pipe(input, 1 + input.size() % 5);
            const std::string expected = each_document(whole, syntax);
            const std::string from_trickle = each_document(trickle, syntax);
            const std::string from_pipe = each_document(pipe, syntax);
            if (from_trickle != expected || from_pipe != expected) {
                ++disagreements;
                ADD_FAILURE() << "input " << i << " " << escaped(input) << "\n string  " << expected << "\n trickle "
                              << from_trickle << "\n pipe    " << from_pipe;
            }
            Value one;
            if (syntax == zqjson::Syntax::Strict && zqjson::read(input, one, nullptr, syntax) &&
                expected != describe(one) + ";ok 1 at 0 ") {
                ++disagreements;
                ADD_FAILURE() << "input " << i << " " << escaped(input) << "\n read_each " << expected
                              << "\n read      " << describe(one);
            }
        }
    }
}

}  // namespace
}  // namespace parser_test
