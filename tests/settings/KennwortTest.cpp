#include "settings/Kennwort.h"

#include "platform/Platform.h"

#include <gtest/gtest.h>

namespace tafelbot {
namespace {

std::string entschluesselt(const std::string& text) {
    return KennwortEntschluesseln(text, KennwortSchluessel);
}

TEST(Kennwort, EveryCharacterFrom6To255SurvivesAndTheLengthFollowsTheGroups) {
    std::string alle;
    for (int code = 6; code <= 255; ++code)
        alle += static_cast<char>(code);
    for (std::uint32_t seed = 1; seed <= 40; ++seed) {
        platform::seedRandomForTesting(seed);
        std::string kennwort = seed == 1 ? alle : alle.substr(seed * 5, seed % 7 + 1);
        std::string text = KennwortVerschluesseln(kennwort, KennwortSchluessel);
        ASSERT_GE(text.size(), 8u + 3 * kennwort.size());
        EXPECT_EQ((text.size() - 8) % 3, 0u) << text;
        EXPECT_TRUE(istKennwortText(text)) << text;
        EXPECT_EQ(entschluesselt(text), kennwort) << "seed " << seed;
        EXPECT_NE(KennwortVerschluesseln(kennwort, KennwortSchluessel), text);
    }
    EXPECT_EQ(KennwortVerschluesseln("", KennwortSchluessel).size(), 8u);
}

TEST(Kennwort, HandMadeTextsFollowMaskKeyAndWrapAround) {
    // Mask 0001: only position 0 of each 13 carries a character; Q (16) then M (12) of the key.
    EXPECT_EQ(entschluesselt("00000100075"), "A"); // (16 + 65 - 6) mod 250
    EXPECT_EQ(entschluesselt("00000199325"), "A"); // plus 250 x a random part
    const std::string zwoelfLeere(12 * 3, '9');
    EXPECT_EQ(entschluesselt("00000100075" + zwoelfLeere + "072"), "AB");
    EXPECT_EQ(entschluesselt("00000000075075"), ""); // mask 0000: all filler
}

TEST(Kennwort, MalformedTextsGiveTheEmptyPasswordWithoutHarm) {
    for (std::string text : {"", "12345678", "0000010007x", "abcdefghijklm", "00-00100075"})
        EXPECT_EQ(entschluesselt(text), "") << text;
    EXPECT_FALSE(istKennwortText("0000010007x"));
    EXPECT_FALSE(entschluesselt("0099990012345678901234567890123").empty());
}

} // namespace
} // namespace tafelbot
