// Builds a document in code, edits it, and writes it as indented JSON.
#include <iostream>
#include <utility>

#include "SnapCommon/ZQJson.h"
using namespace zqjson;

int main() {
    Object disk{{"name", "disk-1"}, {"size", 4096}, {"tags", Array{"fast", "local"}}};
    disk["mounted"] = true;
    disk["tags"].get<Array>().push_back("ssd");
    Array disks{disk, Object{{"name", "disk-2"}, {"size", 8192}, {"tags", Array()}}};
    Object inventory{{"host", "backup-01"}, {"disks", std::move(disks)}};
    dump(std::cout, inventory, {true});
}
