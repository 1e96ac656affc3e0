// Reads a JSON file as standard JSON and writes it indented, or says where
// and why it is not JSON.
#include <fstream>
#include <iostream>

#include "SnapCommon/ZQJson.h"
using namespace zqjson;

int main(int argc, char** argv) {
    if (argc != 2) return std::cerr << "usage: read_file FILE\n", 2;
    std::ifstream in(argv[1]);
    if (!in) return std::cerr << argv[1] << ": cannot open\n", 2;
    Value doc;
    ReadError error;
    if (!read(in, doc, &error, Syntax::Strict))
        return std::cerr << argv[1] << ":" << error.line << ":" << error.column << ": " << error.reason << "\n", 1;
    dump(std::cout, doc, {true});
}
