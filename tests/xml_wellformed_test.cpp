// Every dialect's rendering of awkward documents must be accepted by a real
// XML parser once its header line is dropped and it is wrapped in one root.
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/xmlerror.h>

#include <random>
#include <string>
#include <vector>

#include "SnapCommon/ZQJson.h"

using namespace zqjson;

namespace {

// Pieces that keys and strings are made of: digits, spaces, punctuation,
// quotes, markup characters, non-ASCII letters, names the renderer uses
// itself, and the allowed control characters.
const std::vector<std::string> kPieces = {
    "",      "a",        "son",          "9lives",   "1",         "my key", "a-b", "x.y", "a:b",
    "<",     "&",        "\"q\"",        "'",        ">",         "]]>",    "/",   "\\",  "-",
    ".",     "\xc3\xa9", "_x",           "j",        "NoTagName", "?!#",    "\t",  "\n",  "\r",
    "&amp;", "<!--",     "\xe5\x90\x8d", "\xc2\xb7", "x\xcc\x80",
};

class DocumentMaker {
public:
    explicit DocumentMaker(unsigned seed) : random_(seed) {}

    Value document() { return pick(2) ? Value(object(0)) : Value(array(0)); }

private:
    static constexpr int kDeepest = 4;
    static constexpr int kWidest = 4;

    std::size_t pick(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random_); }

    std::string text() {
        std::string out;
        for (std::size_t n = pick(3) + 1; n > 0; --n) out += kPieces[pick(kPieces.size())];
        return out;
    }

    Value value(int depth) {
        const Number numbers[] = {0, -0.0, 1, 0.1, 1e16, -2.5e-7, 123456789.125};
        switch (pick(depth < kDeepest ? 8 : 6)) {
            case 0:
                return Value(numbers[pick(std::size(numbers))]);
            case 1:
                return Value(text());
            case 2:
                return Value(pick(2) == 1);
            case 3:
                return Value(Null());
            case 4:
                return Value();
            case 5:
                return Value(text());
            case 6:
                return Value(object(depth + 1));
            default:
                return Value(array(depth + 1));
        }
    }

    Object object(int depth) {
        Object o;
        for (std::size_t n = pick(kWidest + 1); n > 0; --n) o.import(text(), value(depth));
        return o;
    }

    Array array(int depth) {
        Array a;
        for (std::size_t n = pick(kWidest + 1); n > 0; --n) a << value(depth);
        return a;
    }

    std::mt19937 random_;
};

std::string render(const Value& document, Format format) {
    return document.is<Object>() ? document.get<Object>().xml(format, "", "")
                                 : document.get<Array>().xml(format, "", "");
}

void collect(void* errors, xmlErrorPtr error) {
    static_cast<std::string*>(errors)->append(error->message ? error->message : "(no message)");
}

// The parser's complaints about `xml`, empty when it has none.
std::string xml_errors(const std::string& xml) {
    std::string errors;
    xmlSetStructuredErrorFunc(&errors, collect);
    xmlDocPtr doc = xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "rendering.xml", nullptr, XML_PARSE_NONET);
    xmlSetStructuredErrorFunc(nullptr, nullptr);
    if (!doc && errors.empty()) errors = "no document";
    xmlFreeDoc(doc);
    return errors;
}

TEST(XmlWellFormed, GeneratedDocumentsInEveryDialect) {
    constexpr int kDocuments = 300;
    DocumentMaker maker(20261208);
    for (int i = 0; i < kDocuments; ++i) {
        const Value document = maker.document();
        for (const Format format : {JSONx, JXML, JXMLex, TaggedXML}) {
            const std::string rendered = render(document, format);
            const std::string body = rendered.substr(rendered.find('\n') + 1);
            const std::string wrapped = "<root>\n" + body + "</root>\n";
            ASSERT_EQ(xml_errors(wrapped), "") << "document " << i << ", format " << format << ":\n" << wrapped;
            const std::string whole = xml_document(document, format);
            ASSERT_EQ(xml_errors(whole), "") << "document " << i << ", format " << format << ":\n" << whole;
        }
    }
}

// Characters XML 1.0 cannot carry, by class, in keys and in strings: every
// dialect's rendering is still accepted.
TEST(XmlWellFormed, CharactersXmlCannotCarry) {
    const std::string kClasses[] = {
        "\x01",
        "\x08",
        "\x1f",
        "\x7f",
        "\r",  // controls, and CR
        "\xef\xbf\xbe",
        "\xef\xbf\xbf",  // U+FFFE, U+FFFF
        "\xff",
        "\xc3",
        "\xed\xa0\x80",
        "\xc0\xaf",
        "\xf4\x90\x80\x80",              // not UTF-8
        "\xe2\x82\xac\xf0\x9f\x98\x80",  // UTF-8 kept as it is
    };
    for (const std::string& c : kClasses) {
        Object object;
        object.import("k" + c, Value("x" + c + "y"));
        Array array;
        array << Value(c) << Value(object);
        for (const Format format : {JSONx, JXML, JXMLex, TaggedXML}) {
            for (const Value& document : {Value(object), Value(array)}) {
                const std::string rendered = render(document, format);
                const std::string body = rendered.substr(rendered.find('\n') + 1);
                EXPECT_EQ(xml_errors("<root>\n" + body + "</root>\n"), "") << "format " << format << ":\n" << rendered;
            }
        }
    }
    // What each becomes, in runs of other text, in element text and in an
    // attribute value.
    const struct {
        const char* text;
        const char* written;
    } kRewritten[] = {
        {"x\x01y\xef\xbf\xbe", "x\\u0001y\\ufffe"},
        {"\xc3\xa9\xff\xe6\x97\xa5", "\xc3\xa9\xef\xbf\xbd\xe6\x97\xa5"},
        {"\xe6\x97\xa5\xe6\x9c\xac\xef\xbf\xbf\xe8\xaa\x9e", "\xe6\x97\xa5\xe6\x9c\xac\\uffff\xe8\xaa\x9e"},
        {"a\xe2\x82", "a\xef\xbf\xbd\xef\xbf\xbd"},
        {"\xe1\x80\x80\xec\xbf\xbf\xe1x\x80\xe1\x80x\xec\xbf",
         "\xe1\x80\x80\xec\xbf\xbf\xef\xbf\xbdx\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbdx\xef\xbf\xbd\xef\xbf\xbd"},
    };
    for (const auto& r : kRewritten) {
        const std::string element = Object("a", Value(r.text)).xml(TaggedXML, "", "");
        EXPECT_NE(element.find(std::string(">") + r.written + "</a>"), std::string::npos) << element;
        // The value attribute carries the element's text JSON-escaped.
        std::string in_attribute;
        for (const char c : std::string(r.written)) in_attribute += c == '\\' ? "\\\\" : std::string(1, c);
        const std::string attribute = Object("a", Value(r.text)).xml(JXMLex, "", "");
        EXPECT_NE(attribute.find(" a=\"" + in_attribute + "\""), std::string::npos) << attribute;
    }
}

TEST(XmlWellFormed, TheCheckerRejectsWhatTheRendererMustAvoid) {
    EXPECT_NE(xml_errors("<root><9lives/></root>"), "");
    EXPECT_NE(xml_errors("<root><j son=\"a\\\"b\"/></root>"), "");
    EXPECT_NE(xml_errors("<root><j son=\"n\" son=\"m\"/></root>"), "");
    EXPECT_EQ(xml_errors("<root><j son=\"a\\&quot;b&amp;\"/></root>"), "");
}

}  // namespace
