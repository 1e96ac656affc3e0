// Reads typed settings from a JSON config, each with a default for when it
// is missing or of another kind.
#include <fstream>
#include <iostream>
#include <string>

#include "SnapCommon/ZQJson.h"
using namespace zqjson;

struct Settings {
    std::string host = "localhost";
    int port = 80;
    double timeout = 2.5;
    int retries = 3;
    bool debug = false;
};

int main(int argc, char** argv) {
    if (argc != 2) return std::cerr << "usage: typed_config FILE\n", 2;
    Object config;
    if (std::ifstream in(argv[1]); !config.parse(in)) return std::cerr << argv[1] << ": not a JSON object\n", 1;
    const Object server = config.value("server", Object());
    Settings s;
    s.host = server.value("host", s.host);
    s.port = server.value("port", s.port);
    s.timeout = server.value("timeout", s.timeout);
    s.retries = server.value("retries", s.retries);
    s.debug = config.value("logging", Object()).value("debug", s.debug);
    std::cout << s.host << ':' << s.port << ", timeout " << s.timeout << " s, " << s.retries << " retries"
              << (s.debug ? ", debug\n" : "\n");
}
