#include "base/Format.hpp"

#include "base/Unicode.hpp"

#include <gtest/gtest.h>

namespace quillmere {
namespace {

TEST(Format, ByteCountsInFileStyle) {
    EXPECT_EQ(formatByteCount(0), "Zero KB");
    EXPECT_EQ(formatByteCount(1), "1 byte");
    EXPECT_EQ(formatByteCount(999), "999 bytes");
    EXPECT_EQ(formatByteCount(1000), "1 KB");
    EXPECT_EQ(formatByteCount(1023), "1 KB");
    EXPECT_EQ(formatByteCount(11999), "12 KB");
    EXPECT_EQ(formatByteCount(12345678), "12.3 MB");
    EXPECT_EQ(formatByteCount(123456789), "123.5 MB");
    EXPECT_EQ(formatByteCount(1234567898), "1.23 GB");
    EXPECT_EQ(formatByteCount(12345678987), "12.35 GB");
    EXPECT_EQ(formatByteCount(-1023), "-1 KB");
    EXPECT_EQ(formatByteCount(2000000000), "2 GB");
    // Rounding up to the next unit must not show "1000 KB".
    EXPECT_EQ(formatByteCount(999999), "1 MB");
    EXPECT_EQ(formatByteCount(INT64_MIN).substr(0, 1), "-");
}

TEST(Format, FixedDecimalsIgnoreTheLocale) {
    EXPECT_EQ(formatFixed2(3.14159), "3.14");
    EXPECT_EQ(formatFixed2(0), "0.00");
    EXPECT_EQ(formatGroupedInteger(999), "999");
    EXPECT_EQ(formatGroupedInteger(-5), "-5");
    // The separator follows the user's locale; digits and their order never change.
    std::string grouped = formatGroupedInteger(1234567);
    std::erase_if(grouped, [](char c) { return c < '0' || c > '9'; });
    EXPECT_EQ(grouped, "1234567");
}

TEST(Unicode, ValidityRepairAndEquivalence) {
    EXPECT_TRUE(isValidUtf8("caf\xC3\xA9"));
    EXPECT_FALSE(isValidUtf8("\xC0\xAF"));     // overlong "/"
    EXPECT_FALSE(isValidUtf8("\xED\xA0\x80")); // surrogate
    EXPECT_FALSE(isValidUtf8("\xE2\x82"));     // truncated
    EXPECT_EQ(repairedUtf8("a\xFF"
                           "b"),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_TRUE(textEquivalent("\xE2\x84\xAA", "K")); // KELVIN SIGN is canonically K
    EXPECT_FALSE(textEquivalent("a", "A"));
    EXPECT_EQ(canonicalText("bad\xFF"), "bad\xFF");
}

} // namespace
} // namespace quillmere
