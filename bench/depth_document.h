// Documents of about the same size whose nesting reaches 1, 10, 100 or 1,000
// levels, for the renderers' cost per output byte by depth. The bulk is a
// fixed run of scalars in the root array; beside it a chain of nested arrays
// reaches the depth, each level holding one number. A rendering that copied
// a subtree's text once per level would pay the chain's text about depth
// times over.
#ifndef ZQ_BENCH_DEPTH_DOCUMENT_H
#define ZQ_BENCH_DEPTH_DOCUMENT_H

#include <string>

#include "SnapCommon/ZQJson.h"

namespace zq_bench {

inline zqjson::Value bulk_scalar(int i) {
    using namespace zqjson;
    switch (i % 5) {
        case 0:
            return Value(Number(i));
        case 1:
            return Value(Number(i) / 7);
        case 2:
            return Value("scalar <\"" + std::to_string(i) + "\"> of the bulk");
        case 3:
            return Value(i % 2 == 0);
        default:
            return Value(Null());
    }
}

// Built from the top down, so each level is copied into its parent while it
// is still empty.
inline zqjson::Array depth_document(int bulk_scalars, int depth) {
    using namespace zqjson;
    Array root;
    for (int i = 0; i < bulk_scalars; ++i) root.import(bulk_scalar(i));
    Array* level = &root;
    for (int d = 2; d <= depth; ++d) {
        level->import(Value(Array()));
        level = const_cast<Array*>(&level->values().back()->get<Array>());
        level->import(Value(Number(d)));
    }
    return root;
}

}  // namespace zq_bench

#endif
