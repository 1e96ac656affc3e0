// Loads a JSON config, reads three nested values with checks, moves the
// server to the next port in place, and writes the file back.
#include <fstream>
#include <iostream>

#include "SnapCommon/ZQJson.h"
using namespace zqjson;

int main(int argc, char** argv) {
    if (argc != 2) return std::cerr << "usage: edit_config FILE\n", 2;
    Value config;
    if (std::ifstream in(argv[1]); !config.parse(in)) return std::cerr << argv[1] << ": not JSON\n", 1;

    const Value* host = lookup(config, "/server/host");
    Value* port = lookup(config, "/server/port");
    const Value* debug = lookup(config, "/logging/debug");
    if (!host || !host->is<String>() || !port || !port->integer() || !debug || !debug->is<Boolean>())
        return std::cerr << argv[1] << ": needs server.host, server.port and logging.debug\n", 1;
    std::cout << host->get<String>() << ':' << *port->integer() << (debug->get<Boolean>() ? " (debug)\n" : "\n");

    *port = *port->integer() + 1;
    std::ofstream out(argv[1]);
    dump(out, config, {true});
    return out.flush() ? 0 : 1;
}
