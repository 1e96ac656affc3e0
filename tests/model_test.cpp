#include <gtest/gtest.h>

#include "SnapCommon/ZQJson.h"

using namespace zqjson;

TEST(Value, DefaultIsEmptyAndOfNoKind) {
    Value v;
    EXPECT_TRUE(v.empty());
}
