// Builds against an installed tree, as a C++ team's program would: parses a
// document with the installed library and checks an engine entry point
// (the module) or not (the static library, built with ZQ_JSON_ONLY).
#include <cstdio>

#include "SnapCommon/ZQJson.h"
#include "engine/ZQSnapEngine.h"

int main() {
    zqjson::Object document;
    if (!document.parse(zqjson::String("{\"engine\": 'null', \"levels\": [1, 2, 3]}"))) {
        std::fputs("the installed library refused a valid document\n", stderr);
        return 1;
    }
    // The writer replaces each container's last comma with a space.
    const std::string expected = "{\n\t\"engine\": \"null\",\n\t\"levels\": [\n\t\t1,\n\t\t2,\n\t\t3 \n\t] \n} \n";
    if (document.json() != expected) {
        std::fprintf(stderr, "unexpected rendering:\n%s\n", document.json().c_str());
        return 1;
    }
#ifdef ZQ_JSON_ONLY
    std::puts("installed static library works");
#else
    if (zqso_isSupported(nullptr, 0, nullptr, nullptr, 0) != 1) {
        std::fputs("the installed engine did not answer 1\n", stderr);
        return 1;
    }
    std::puts("installed library and engine work");
#endif
    return 0;
}
