// Helpers the test programs share.
#ifndef ZQ_TEST_SUPPORT_H
#define ZQ_TEST_SUPPORT_H

#include <string>

#include "SnapCommon/ZQJson.h"

namespace zqtest {

// The compact JSON a stream of default settings gets from operator<<.
std::string compact(const zqjson::Value& value);
std::string compact(const zqjson::Object& object);
std::string compact(const zqjson::Array& array);

// The header line each XML rendering starts with when the caller gives none.
std::string xml_header();

}  // namespace zqtest

#endif
