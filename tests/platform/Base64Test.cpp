#include "platform/Base64.hpp"

#include <gtest/gtest.h>

namespace quillmere::platform {
namespace {

TEST(Base64, RoundTripsEveryRemainderAndAllByteValues) {
    std::string all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);
    for (std::size_t length : {0u, 1u, 2u, 3u, 4u, 255u, 256u}) {
        const std::string bytes = all.substr(0, length);
        EXPECT_EQ(base64Decoded(base64Encoded(bytes)), bytes) << length;
    }
    EXPECT_EQ(base64Encoded("Ma"), "TWE=");
    EXPECT_EQ(base64Encoded("M"), "TQ==");
}

TEST(Base64, TheStrictDecoderRefusesAnythingNotCanonical) {
    for (const char* text : {"TWE", "TW=E", "T===", "TWF=", "TR==", "TWE=TWE=", "TW E", "TWE\n", "TW-_"}) {
        EXPECT_FALSE(base64Decoded(text)) << text;
    }
    EXPECT_EQ(base64Decoded("TWE="), "Ma");
}

} // namespace
} // namespace quillmere::platform
