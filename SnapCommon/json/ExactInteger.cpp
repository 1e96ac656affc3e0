// Integers beyond 2^53 read from text.
#include "ExactInteger.h"

namespace zqjson::detail {

std::uint32_t mark_of_literal(std::string_view text, double d) {
    ExactInteger n{!text.empty() && text.front() == '-', 0};
    std::size_t i = n.negative ? 1 : 0;
    if (i == text.size()) return 0;
    constexpr std::uint64_t kTenthOfLimit = UINT64_MAX / 10;
    for (; i < text.size(); ++i) {
        const unsigned digit = static_cast<unsigned char>(text[i]) - '0';
        if (digit > 9) return 0;
        if (n.magnitude > kTenthOfLimit || (n.magnitude == kTenthOfLimit && digit > UINT64_MAX % 10)) return 0;
        n.magnitude = n.magnitude * 10 + digit;
    }
    return mark_of(n, d);
}

}  // namespace zqjson::detail
