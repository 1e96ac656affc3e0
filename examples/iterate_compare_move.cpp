// Walks a document's members and elements, compares documents, and moves
// one into a container without copying it.
#include <iostream>
#include <utility>
#include <vector>

#include "SnapCommon/ZQJson.h"
using namespace zqjson;

int main() {
    Value doc = Object{{"name", "disk-1"}, {"sizes", Array{4096, 8192}}, {"mounted", true}};
    for (auto& [key, value] : doc.get<Object>()) std::cout << key << ": " << value << "\n";
    for (Value& size : doc["sizes"].get<Array>()) size = *size.integer() * 2;
    Value copy = doc;
    std::cout << "a copy is " << (copy == doc ? "equal" : "different") << "\n";
    copy["name"] = "disk-2";
    std::cout << "an edited copy is " << (copy == doc ? "equal" : "different") << "\n";
    std::vector<Value> documents;
    documents.push_back(std::move(doc));
    std::cout << dump(documents[0]) << " moved; the source is " << (doc.empty() ? "empty" : "kept") << "\n";
}
