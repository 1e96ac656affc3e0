// Well-formed UTF-8, as the strict reader checks it and the XML writer keeps
// to it. Internal.
#ifndef ZQ_JSON_UTF8_H
#define ZQ_JSON_UTF8_H

#include <cstddef>

namespace zqjson::detail {

// What a byte may begin in well-formed UTF-8: how many continuation bytes
// follow it, and the range of the first of them (the later ones are always
// 0x80 to 0xBF). No overlong forms, no surrogates, nothing past U+10FFFF.
struct Utf8Lead {
    int continuations = -1;  // -1: the byte begins nothing
    int low = 0x80;
    int high = 0xBF;
};
constexpr Utf8Lead utf8_lead_by_range(int byte) {
    if (byte >= 0xC2 && byte <= 0xDF) return {1, 0x80, 0xBF};
    if (byte == 0xE0) return {2, 0xA0, 0xBF};
    if (byte == 0xED) return {2, 0x80, 0x9F};
    if (byte >= 0xE1 && byte <= 0xEF) return {2, 0x80, 0xBF};
    if (byte == 0xF0) return {3, 0x90, 0xBF};
    if (byte >= 0xF1 && byte <= 0xF3) return {3, 0x80, 0xBF};
    if (byte == 0xF4) return {3, 0x80, 0x8F};
    return {};
}
// Looked up rather than worked out: text in other scripts asks once per
// character.
struct Utf8Leads {
    Utf8Lead of[256];
};
inline constexpr Utf8Leads kUtf8Leads = [] {
    Utf8Leads leads{};
    for (int byte = 0; byte < 256; ++byte) leads.of[byte] = utf8_lead_by_range(byte);
    return leads;
}();
constexpr Utf8Lead utf8_lead(int byte) { return kUtf8Leads.of[byte]; }

// Whether `p` begins a three-byte character led by E1 to EC, as most text
// in other scripts does: no overlong form, surrogate or noncharacter begins
// with those, so two continuation bytes make it well formed. `p` may be
// `end`.
inline bool is_common_three_byte(const char* p, const char* end) {
    if (end - p < 3) return false;
    const auto lead = static_cast<unsigned char>(p[0]);
    return lead >= 0xE1 && lead <= 0xEC && (static_cast<unsigned char>(p[1]) & 0xC0) == 0x80 &&
           (static_cast<unsigned char>(p[2]) & 0xC0) == 0x80;
}

// The length of the well-formed UTF-8 sequence at `p`, or 0.
inline std::size_t utf8_length(const char* p, const char* end) {
    if (is_common_three_byte(p, end)) return 3;
    const Utf8Lead lead = utf8_lead(static_cast<unsigned char>(*p));
    if (lead.continuations < 0 || end - p <= lead.continuations) return 0;
    const int first = static_cast<unsigned char>(p[1]);
    if (first < lead.low || first > lead.high) return 0;
    for (int i = 2; i <= lead.continuations; ++i)
        if ((static_cast<unsigned char>(p[i]) & 0xC0) != 0x80) return 0;
    return static_cast<std::size_t>(lead.continuations) + 1;
}

}  // namespace zqjson::detail

#endif
