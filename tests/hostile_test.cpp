// Hostile input through every entry point of the library: the stored files of
// tests/hostile (accepted/ and rejected/ say what the document readers must
// decide), every truncation of a few valid documents, a long string and
// nesting far beyond the bound. Nothing may crash, the text and stream forms
// must agree, and what is not accepted must not be written as if it were.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "TestSupport.h"
#include "parser_support.h"

namespace {

using namespace zqjson;
using parser_test::describe;

constexpr Format kXmlFormats[] = {JSONx, JXML, JXMLex, TaggedXML};

const std::string kXmlHeader = zqtest::xml_header();

std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// One entry point's answer and the document it left, described.
struct Reading {
    const char* entry;
    bool ok;
    std::string document;
};

// Every way to read `text` into a Target: from the text and, through an input
// string stream over it, with the member, the static and the free function.
template <class Target>
std::vector<Reading> readings(const std::string& text, bool (*parse_free)(std::istream&, Target&), Target& from_text) {
    std::vector<Reading> all;
    const bool ok = from_text.parse(text);
    all.push_back({"parse(text)", ok, describe(from_text)});
    const auto from_stream = [&](const char* entry, auto parse) {
        std::istringstream in(text);
        Target target;
        const bool accepted = parse(in, target);
        all.push_back({entry, accepted, describe(target)});
    };
    from_stream("parse(stream)", [](std::istream& in, Target& t) { return t.parse(in); });
    from_stream("parse(stream, target)", [](std::istream& in, Target& t) { return Target::parse(in, t); });
    from_stream("parse_value/object/array", parse_free);
    return all;
}

void expect_same_readings(const std::vector<Reading>& all) {
    for (const Reading& r : all) {
        EXPECT_EQ(r.ok, all.front().ok) << r.entry;
        EXPECT_TRUE(r.document == all.front().document) << r.entry << " read another document";
    }
}

// Every rendering of a container, whatever a reader left in it, accepted or
// not; the JSON forms must read back.
template <class Container>
void render_everything(const Container& container) {
    EXPECT_TRUE(validate(container.json()));
    std::ostringstream compact;
    compact.precision(kNumberDigits);
    compact << container;
    EXPECT_TRUE(validate(compact.str()));
    for (Format format : kXmlFormats) {
        const std::string xml = container.xml(format, "", "");
        EXPECT_EQ(xml.compare(0, kXmlHeader.size(), kXmlHeader), 0);
        if constexpr (std::is_same_v<Container, Object>) {
            EXPECT_EQ(container.write(format), xml);
        }
    }
    if constexpr (std::is_same_v<Container, Object>) {
        EXPECT_EQ(container.write(JSON), container.json());
    }
}

void render_value(const Value& value) {
    std::ostringstream compact;
    compact << value;
    if (value.is<Object>()) render_everything(value.get<Object>());
    if (value.is<Array>()) render_everything(value.get<Array>());
}

// validate, reformat and xml from the text and from a stream; returns whether
// the text opens with an accepted document.
bool document_entries(const std::string& text) {
    std::istringstream validate_in(text);
    const bool accepted = validate(text);
    EXPECT_EQ(validate(validate_in), accepted);

    std::istringstream reformat_in(text);
    const std::string indented = reformat(text);
    EXPECT_TRUE(reformat(reformat_in) == indented);
    EXPECT_EQ(indented.empty(), !accepted) << "reformat disagrees with validate";
    if (accepted) {
        EXPECT_TRUE(validate(indented));
    }

    for (Format format : kXmlFormats) {
        std::istringstream xml_in(text);
        const std::string from_text = xml(text, format);
        EXPECT_TRUE(xml(xml_in, format) == from_text) << format;
        if (!accepted) {
            EXPECT_EQ(from_text, kXmlHeader) << format;
        }
    }
    return accepted;
}

// Puts `text` through every entry point; returns whether it opens with an
// accepted document.
bool through_everything(const std::string& text) {
    Value value;
    expect_same_readings(readings(text, parse_value, value));
    render_value(value);
    Object object;
    expect_same_readings(readings(text, parse_object, object));
    render_everything(object);
    Array array;
    expect_same_readings(readings(text, parse_array, array));
    render_everything(array);
    return document_entries(text);
}

std::vector<std::filesystem::path> files_in(const std::string& folder) {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(std::string(ZQ_HOSTILE_DIR) + "/" + folder))
        files.push_back(entry.path());
    return files;
}

TEST(Hostile, StoredFiles) {
    for (const char* folder : {"accepted", "rejected"}) {
        const bool expected = folder == std::string("accepted");
        const auto files = files_in(folder);
        EXPECT_FALSE(files.empty()) << folder;
        for (const auto& path : files) {
            SCOPED_TRACE(path.string());
            EXPECT_EQ(through_everything(read_file(path)), expected);
        }
    }
}

// A few valid documents, cut after every byte.
TEST(Hostile, EveryTruncation) {
    const std::string documents[] = {
        read_file(ZQ_ENGINE_EXAMPLE),
        "{'a': [1, -2.5e3, true, false, null, ,], \"s\": \"x\\u00e9\\ud83d\\ude00\\n\", // c\n \"o\": {}}",
        "[{\"k\": [[]]}, \"\\\\\", 1e-7, 'q', \"\\\"\"]",
    };
    for (const std::string& document : documents) {
        ASSERT_TRUE(through_everything(document)) << document;
        for (std::size_t size = 0; size < document.size(); ++size) {
            SCOPED_TRACE(document.substr(0, size));
            through_everything(document.substr(0, size));
        }
    }
}

// Megabytes of string with an escape and a two-byte character in each line,
// never closed and closed: two tests, which ctest runs side by side, since
// each takes seconds under the sanitizers and the emulator.
constexpr std::size_t kLongStringBytes = 10 << 20;

std::string open_long_string() {
    const std::string line = "a line of text with an escape\\n and an \xc3\xa9 in it, as a log would have ";
    std::string text = "[\"";
    while (text.size() < kLongStringBytes) text += line;
    return text;
}

TEST(Hostile, LongStringNeverClosed) { EXPECT_FALSE(through_everything(open_long_string())); }

TEST(Hostile, LongStringClosed) { EXPECT_TRUE(through_everything(open_long_string() + "\"]")); }

// Far beyond the bound: every entry point fails, and what the readers leave
// behind renders.
TEST(Hostile, NestingBombs) {
    for (const std::string& text : zqtest::nesting_bombs()) {
        SCOPED_TRACE(text.substr(0, 12));
        EXPECT_FALSE(through_everything(text));
    }
}

}  // namespace
