#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "SnapCommon/ZQJson.h"
#include "SnapCommon/json/Xml.h"
#include "TestSupport.h"

using namespace zqjson;
using detail::Code;

namespace {

const std::string kHeader = zqtest::xml_header();
constexpr std::array<Format, 4> kDialects = {JSONx, JXML, JXMLex, TaggedXML};

// The expected text of one case in each dialect, in the order of kDialects.
using PerDialect = std::array<std::string, 4>;

std::string lines(std::initializer_list<std::string> body) {
    std::string out;
    for (const auto& line : body) out += line + "\n";
    return out;
}

Object object(std::initializer_list<std::pair<String, Value>> members) {
    Object o;
    for (const auto& [key, value] : members) o.import(key, value);
    return o;
}

Array array(std::initializer_list<Value> elements) {
    Array a;
    for (const auto& element : elements) a << element;
    return a;
}

void expect_dialects(const Object& o, const PerDialect& expected) {
    for (std::size_t i = 0; i < kDialects.size(); ++i) {
        SCOPED_TRACE(kDialects[i]);
        EXPECT_EQ(o.xml(kDialects[i], "", ""), kHeader + expected[i]);
    }
}

TEST(XmlEscape, NamesKeepOnlyAsciiLettersAndDigits) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},           {"a-b.c", "a_b_c"},           {"_x", "_x"}, {"9lives", "9lives"},
        {"\xc3\xa9", "__"}, {"Az09 <&\"\t", "Az09_____"},
    };
    for (const auto& [name, expected] : cases) EXPECT_EQ(detail::escape_attrib(name), expected) << name;
}

TEST(XmlEscape, TextEscapesOnlyMarkup) {
    const std::pair<std::string, std::string> cases[] = {
        {"a<b>&c", "a&lt;b&gt;&amp;c"},
        {"say \"hi\" 'x'", "say \"hi\" 'x'"},
        {"\t\xff\x01\r", "\t\xEF\xBF\xBD\\u0001&#13;"},
        {"", ""},
        {"&&", "&amp;&amp;"},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(detail::escape_tag(text), expected) << text;
}

TEST(XmlTags, StartAndEndTags) {
    struct Case {
        Format format;
        Code code;
        std::string name, attr, text, open, close;
    };
    const Case cases[] = {
        {JXML, Code::String, "k", "", "", "<j son=\"s:k\">", "</j>"},
        {JXMLex, Code::Number, "k", "", "42", "<j son=\"n:k\" k=\"42\">", "</j>"},
        {TaggedXML, Code::Boolean, "my key", "", "", "<my_key type=\"json:boolean\" name=\"my key\">", "</my_key>"},
        {TaggedXML, Code::Null, "", " /", "", "<JsonItem type=\"json:null\" />", "</JsonItem>"},
        {JSONx, Code::Object, "disk-1", "", "", "<disk_1>", "</disk_1>"},
        {JXML, Code::Number, "a/b", "", "", "<j son=\"n:a\\/b\">", "</j>"},
        {JXMLex, Code::String, "k", "", "", "<j son=\"s:k\" k=\"\">", "</j>"},
        {JXMLex, Code::Boolean, "", "", "true", "<j son=\"b\">", "</j>"},
        {TaggedXML, Code::String, "", "", "x", "<JsonItem type=\"json:string\">", "</JsonItem>"},
        {TaggedXML, Code::Object, "o", "", "", "<o type=\"json:object\" name=\"o\">", "</o>"},
        {JXML, Code::Null, "k", " /", "", "<j son=\"0:k\" />", "</j>"},
        {JSONx, Code::Number, "", "", "", "<JsonItem>", "</JsonItem>"},
        // Names that would start with a digit, and the value attribute "son".
        {JSONx, Code::Number, "9lives", "", "", "<_9lives>", "</_9lives>"},
        {JXMLex, Code::Number, "9", "", "1", "<j son=\"n:9\" _9=\"1\">", "</j>"},
        {JXMLex, Code::String, "son", "", "v", "<j son=\"s:son\" _son=\"v\">", "</j>"},
        // Names XML keeps for itself, in any case: a namespace declaration above all.
        {JXMLex, Code::String, "xmlns", "", "urn:x", "<j son=\"s:xmlns\" _xmlns=\"urn:x\">", "</j>"},
        {JXMLex, Code::String, "xmlns:a", "", "v", "<j son=\"s:xmlns:a\" _xmlns_a=\"v\">", "</j>"},
        {JXMLex, Code::String, "XmL", "", "v", "<j son=\"s:XmL\" _XmL=\"v\">", "</j>"},
        {JXMLex, Code::String, "xm", "", "v", "<j son=\"s:xm\" xm=\"v\">", "</j>"},
        {TaggedXML, Code::Number, "1a", "", "", "<_1a type=\"json:number\" name=\"1a\">", "</_1a>"},
        // Keys and texts inside attribute values.
        {JXML, Code::Number, "a&b<c\"d>", "", "", "<j son=\"n:a&amp;b&lt;c\\&quot;d>\">", "</j>"},
        {TaggedXML, Code::Null, "<\"&", "", "", "<___ type=\"json:null\" name=\"&lt;\\&quot;&amp;\">", "</___>"},
        {JXMLex, Code::String, "k", "", "q\"&amp;&lt;\t", "<j son=\"s:k\" k=\"q\\&quot;&amp;&lt;\\t\">", "</j>"},
        {Format(0), Code::String, "k", "", "", "", ""},
        {Format(7), Code::String, "k", "", "", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format);
        EXPECT_EQ(detail::open_tag(c.format, c.code, c.name, c.attr, c.text), c.open) << c.name;
        EXPECT_EQ(detail::close_tag(c.format, c.name), c.close) << c.name;
    }
}

TEST(XmlTags, XmlNames) {
    const std::pair<std::string, bool> cases[] = {
        {"a", true},
        {"_1", true},
        {"a-b.c9", true},
        {"x.y", true},
        {"\xc3\xa9t\xc3\xa9", true},
        {"\xe5\x90\x8d\xe5\x89\x8d", true},
        {"a\xc2\xb7", true},
        {"a\xcc\x80", true},
        {"a\xe2\x80\xbf", true},
        {"\xf0\x90\x80\x80", true},
        {"", false},
        {"1a", false},
        {"-a", false},
        {".a", false},
        {"a:b", false},
        {":a", false},
        {"a b", false},
        {"\xc3\x97", false},
        {"a\xc3\x97", false},
        {"\xc2\xb7"
         "a",
         false},
        {"\xcc\x80"
         "a",
         false},
        {"\xe2\x80\xbf"
         "a",
         false},
        {"a\xc3", false},
        {"\xc0\x81", false},
        {"\xed\xa0\x80", false},
        {"\xef\xbf\xbe", false},
        {"\xf3\xb0\x80\x80", false},
        {"\xf4\x90\x80\x80", false},
        {"a\x80", false},
    };
    for (const auto& [name, valid] : cases) EXPECT_EQ(detail::is_xml_name(name), valid) << name;
}

TEST(XmlDocument, ObjectWithNestedObjectAndNull) {
    const Object o = object({{"b", true}, {"o", object({{"s", "x<y"}})}, {"z", Null()}});
    expect_dialects(
        o, {
               lines({"\t<b>true</b>", "\t<o>", "\t\t<s>x&lt;y</s>", "\t</o>", "\t<z />"}),
               lines({"\t<j son=\"b:b\">true</j>", "\t<j son=\"o:o\">", "\t\t<j son=\"s:s\">x&lt;y</j>", "\t</j>",
                      "\t<j son=\"0:z\" />"}),
               lines({"\t<j son=\"b:b\" b=\"true\">true</j>", "\t<j son=\"o:o\" o=\"\">",
                      "\t\t<j son=\"s:s\" s=\"x&lt;y\">x&lt;y</j>", "\t</j>", "\t<j son=\"0:z\" z=\"\" />"}),
               lines({"\t<b type=\"json:boolean\" name=\"b\">true</b>", "\t<o type=\"json:object\" name=\"o\">",
                      "\t\t<s type=\"json:string\" name=\"s\">x&lt;y</s>", "\t</o>",
                      "\t<z type=\"json:null\" name=\"z\" />"}),
           });
}

TEST(XmlDocument, EachArrayElementInItsOwnWrapper) {
    const Object o = object({{"a", array({Number(1), "x", true, Null()})}});
    const std::array<std::array<const char*, 4>, 4> items = {{
        {"<JsonItem>1</JsonItem>", "<NoTagName>x</NoTagName>", "<JsonItem>true</JsonItem>", "<JsonItem />"},
        {"<j son=\"n\">1</j>", "<j son=\"s:NoTagName\">x</j>", "<j son=\"b\">true</j>", "<j son=\"0\" />"},
        {"<j son=\"n\">1</j>", "<j son=\"s:NoTagName\" NoTagName=\"x\">x</j>", "<j son=\"b\">true</j>",
         "<j son=\"0\" />"},
        {"<JsonItem type=\"json:number\">1</JsonItem>",
         "<NoTagName type=\"json:string\" name=\"NoTagName\">x</NoTagName>",
         "<JsonItem type=\"json:boolean\">true</JsonItem>", "<JsonItem type=\"json:null\" />"},
    }};
    PerDialect expected;
    for (std::size_t d = 0; d < 4; ++d)
        for (const char* item : items[d]) expected[d] += lines({"\t<a>", std::string("\t\t") + item, "", "\t</a>"});
    expect_dialects(o, expected);
}

TEST(XmlDocument, UnnamedArraysAreJsonArray) {
    const Array root = array({Number(1), array({Number(2)})});
    const PerDialect item = {"<JsonItem>2</JsonItem>", "<j son=\"n\">2</j>", "<j son=\"n\">2</j>",
                             "<JsonItem type=\"json:number\">2</JsonItem>"};
    const PerDialect one = {"<JsonItem>1</JsonItem>", "<j son=\"n\">1</j>", "<j son=\"n\">1</j>",
                            "<JsonItem type=\"json:number\">1</JsonItem>"};
    for (std::size_t d = 0; d < 4; ++d) {
        SCOPED_TRACE(kDialects[d]);
        EXPECT_EQ(root.xml(kDialects[d], "", ""),
                  kHeader + lines({"<JsonArray>", "\t" + one[d], "", "</JsonArray>", "<JsonArray>", "\t<JsonArray>",
                                   "\t\t" + item[d], "", "\t</JsonArray>", "", "</JsonArray>"}));
        EXPECT_EQ(object({{"", array({true})}}).xml(kDialects[d], "", ""),
                  kHeader + lines({"\t<JsonArray>",
                                   "\t\t" + std::string(d == 0   ? "<JsonItem>true</JsonItem>"
                                                        : d == 3 ? "<JsonItem type=\"json:boolean\">true</JsonItem>"
                                                                 : "<j son=\"b\">true</j>"),
                                   "", "\t</JsonArray>"}));
    }
}

TEST(XmlDocument, WrapperNamesAreKeysWhenXmlAllowsThem) {
    const std::pair<std::string, std::string> cases[] = {
        {"a-b", "a-b"}, {"x.y", "x.y"},       {"\xc3\xa9t\xc3\xa9", "\xc3\xa9t\xc3\xa9"},
        {"_", "_"},     {"my key", "my_key"}, {"1a", "_1a"},
        {"a:b", "a_b"}, {"<&\"", "___"},      {"-", "_"},
    };
    for (const auto& [key, wrapper] : cases)
        EXPECT_EQ(object({{key, array({Null()})}}).xml(JXML, "", ""),
                  kHeader + lines({"\t<" + wrapper + ">", "\t\t<j son=\"0\" />", "", "\t</" + wrapper + ">"}))
            << key;
}

TEST(XmlDocument, ObjectsInArraysContributeTheirMembers) {
    const Object o = object({{"a", array({object({{"k", Number(1)}}), Object(), Array()})}, {"e", Object()}});
    EXPECT_EQ(o.xml(JXML, "", ""), kHeader + lines({"\t<a>", "\t\t\t<j son=\"n:k\">1</j>", "", "\t</a>", "\t<a>", "",
                                                    "\t</a>", "\t<a>", "", "\t</a>", "\t<j son=\"o:e\">", "\t</j>"}));
}

TEST(XmlDocument, EdgeCases) {
    struct Case {
        const char* what;
        Object document;
        Format format;
        std::string expected_body;
    };
    Value released_string("x"), released_array(array({Number(1)})), released_object(object({{"k", Number(1)}}));
    released_string.reset();
    released_array.reset();
    released_object.reset();
    const Case cases[] = {
        {"empty object", Object(), JXML, ""},
        {"empty array member", object({{"a", Array()}, {"b", Number(1)}}), JSONx, "\t<b>1</b>\n"},
        {"empty object member", object({{"o", Object()}}), JSONx, "\t<o>\n\t</o>\n"},
        {"key order", object({{"b", Number(1)}, {"a", Number(2)}}), JSONx, "\t<a>2</a>\n\t<b>1</b>\n"},
        {"invalid value", object({{"v", Value()}}), TaggedXML, "\t<v type=\"json:null\" name=\"v\" />\n"},
        {"ampersand", object({{"s", "a&b"}}), JXMLex, "\t<j son=\"s:s\" s=\"a&amp;b\">a&amp;b</j>\n"},
        {"empty key", object({{"", Number(1)}}), TaggedXML, "\t<JsonItem type=\"json:number\">1</JsonItem>\n"},
        {"empty key string", object({{"", "x"}}), JSONx, "\t<NoTagName>x</NoTagName>\n"},
        {"empty key object", object({{"", object({{"k", true}})}}), JSONx, "\t\t<k>true</k>\n"},
        {"released", object({{"a", released_array}, {"o", released_object}, {"s", released_string}}), JSONx,
         "\t<o>\n\t</o>\n\t<s></s>\n"},
        {"numbers",
         object({{"a", Number(0.1)},
                 {"b", Number(1e16)},
                 {"c", Number(2)},
                 {"d", Number(2) / 3},
                 {"e", Number(-0.0)},
                 {"f", Number(1e-5)},
                 {"g", Number(1e6)}}),
         JSONx,
         "\t<a>0.1</a>\n\t<b>1e+16</b>\n\t<c>2</c>\n\t<d>0.6666666666666666</d>\n\t<e>-0</e>\n\t<f>1e-05</f>\n"
         "\t<g>1000000</g>\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.document.xml(c.format, "", ""), kHeader + c.expected_body) << c.what;
}

TEST(XmlDocument, HeaderReplacesTheDefaultAndAttribChangesNothing) {
    const Object o = object({{"k", Number(1)}});
    EXPECT_EQ(o.xml(TaggedXML, "H", ""), "H\t<k type=\"json:number\" name=\"k\">1</k>\n");
    EXPECT_EQ(o.xml(JXML, "", " x=\"1\""), o.xml(JXML, "", ""));
    EXPECT_EQ(array({true}).xml(JSONx, "H", "a"), "H<JsonArray>\n\t<JsonItem>true</JsonItem>\n\n</JsonArray>\n");
}

TEST(XmlDocument, RenderingLeavesTheDocumentWhole) {
    const Object o = object({{"a", array({object({{"k", "v"}})})}, {"o", object({{"n", Number(1)}})}});
    const Object copy = o;
    const std::string first = o.xml(JXMLex, "", "");
    EXPECT_EQ(o.xml(JXMLex, "", ""), first);
    ASSERT_EQ(o.size(), 2u);
    EXPECT_EQ(o.kv_map().at("a")->get<Array>().size(), 1u);
    EXPECT_EQ(copy.xml(JXMLex, "", ""), first);
}

TEST(XmlDocument, WriteChoosesJsonOrXml) {
    const Object o = object({{"a", array({Number(1), "x"})}, {"o", object({{"k", Null()}})}});
    EXPECT_EQ(o.write(JSON), o.json());
    for (const Format format : kDialects) EXPECT_EQ(o.write(format), o.xml(format, "", "")) << format;
}

TEST(XmlText, RendersWhatOpensAsObjectOrArray) {
    const struct {
        std::string text;
        Format format;
        std::string expected_body;
    } cases[] = {
        {"{\"k\": [1]}", JXML, lines({"\t<k>", "\t\t<j son=\"n\">1</j>", "", "\t</k>"})},
        {"{\"k\":1} trailing", JXML, "\t<j son=\"n:k\">1</j>\n"},
        {"\x01\x1f\n [true]", JSONx, lines({"<JsonArray>", "\t<JsonItem>true</JsonItem>", "", "</JsonArray>"})},
        {"{'s': 'a&b', // note\n}", JXMLex, "\t<j son=\"s:s\" s=\"a&amp;b\">a&amp;b</j>\n"},
        {"{}", JXML, ""},
        {"  \n{}", TaggedXML, ""},
        {"[]", JSONx, ""},
        {"nonsense", JXML, ""},
        {"", JXML, ""},
        {"42", JXML, ""},
        {"\x80{}", JXML, ""},
        {"{\"a\": 1", JXML, ""},
        {"[1, 2", TaggedXML, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(xml(c.text, c.format), kHeader + c.expected_body) << c.text;
        std::istringstream in(c.text);
        EXPECT_EQ(xml(in, c.format), kHeader + c.expected_body) << c.text;
    }
}

// The public writers: one root element around the rendering, named as
// asked and refused when it is not an XML name, or the rendering alone; the
// same text on a stream; numbers kept, or in 16 digits as xml() writes them.
TEST(XmlDocument, DocumentsWithOneRoot) {
    Object o;
    o.import("n", Value(0.30000000000000004));
    o.import("id", Value(std::uint64_t{505874924095815681}));
    const std::string rendering = o.xml(JXML, "", "");
    const std::string body = rendering.substr(rendering.find('\n') + 1);
    EXPECT_EQ(xml_document(o, JXML, {Numbers::Digits16}), zqtest::xml_header() + "<json>\n" + body + "</json>\n");
    EXPECT_EQ(xml_document(o, JXML, {Numbers::Digits16, "config"}),
              zqtest::xml_header() + "<config>\n" + body + "</config>\n");
    EXPECT_EQ(xml_document(o, JXML, {Numbers::Digits16, "ignored when a fragment", true}), rendering);
    EXPECT_NE(xml_document(o, JXML).find(">0.30000000000000004<"), std::string::npos);
    EXPECT_NE(rendering.find(">505874924095815681<"), std::string::npos);
    for (const Format format : {JSONx, JXML, JXMLex, TaggedXML}) {
        for (const Value& root : {Value(o), Value(Array{}), Value(1.5), Value("s")}) {
            std::ostringstream streamed;
            write_xml(streamed, root, format, {Numbers::Shortest, "r"});
            EXPECT_EQ(streamed.str(), xml_document(root, format, {Numbers::Shortest, "r"})) << format;
        }
    }
    for (const char* name : {"", "1st", "a b", "x:y", "<r>"}) {
        SCOPED_TRACE(name);
        EXPECT_THROW(xml_document(o, JXML, {Numbers::Shortest, name}), std::invalid_argument);
        std::ostringstream streamed;
        EXPECT_THROW(write_xml(streamed, o, JXML, {Numbers::Shortest, name}), std::invalid_argument);
        EXPECT_EQ(streamed.str(), "");
    }
}

TEST(XmlDocumentDeathTest, FormatOutsideTheDialectsAborts) {
    const char* report =
        "\\[ZQJSON\\] expression 'format == zqjson::JSONx \\|\\| format == zqjson::JXML \\|\\| "
        "format == zqjson::JXMLex \\|\\| format == zqjson::TaggedXML' failed at .*XmlWriter.cpp:[0-9]+ -> ";
    EXPECT_DEATH(Object().xml(JSON, "", ""), report);
    EXPECT_DEATH(Array().xml(Format(5), "", ""), report);
    EXPECT_DEATH(xml("{}", JSON), report);
    EXPECT_DEATH(Object().write(Format(5)), report);
    std::istringstream in("{}");
    EXPECT_DEATH(xml(in, Format(7)), report);
}

}  // namespace
