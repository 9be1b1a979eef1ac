#include "plan/Felder.h"

#include "settings/DatumText.h"

#include <gtest/gtest.h>
#include <random>
#include <string>

namespace tafelbot {
namespace {

// The reader splits each line once; every field must be what LiesFeld gives for it.
void erwarteWieLiesFeld(const std::string& zeile) {
    FeldListe felder(zeile);
    for (int n = 0; n <= static_cast<int>(felder.anzahl()) + 2; ++n)
        ASSERT_EQ(felder.feld(n), LiesFeld(zeile, ',', n))
            << "line \"" << zeile << "\" field " << n;
}

TEST(FeldListe, SplitsLikeLiesFeld) {
    for (const char* zeile : {"", ",", ",,", "a", "a,b", "\"a,b\",c", "\"\",x", "\"", "\"\"\"",
                              "a\"b,c\"d,e", "\"unclosed,a,b", "x,\"y\"z\",w", "  ,\" q \","})
        erwarteWieLiesFeld(zeile);

    std::mt19937 zufall(7);
    const std::string zeichen = "ab,\"  ,\"";
    for (int i = 0; i < 2000; ++i) {
        std::string zeile;
        int laenge = static_cast<int>(zufall() % 12);
        for (int j = 0; j < laenge; ++j)
            zeile += zeichen[zufall() % zeichen.size()];
        erwarteWieLiesFeld(zeile);
    }
}

TEST(FeldListe, FieldNumbersOutsideTheLineAreEmpty) {
    FeldListe felder("a,b");
    EXPECT_EQ(felder.feld(-1), "");
    EXPECT_EQ(felder.feld(0), "");
    EXPECT_EQ(felder.feld(3), "");
    EXPECT_EQ(felder.feld(std::int64_t{1} << 40), "");
}

TEST(FeldListe, TeilTextClipsLikeACopyOfCharacters) {
    EXPECT_EQ(teilText("20261207", 7, 2), "07");
    EXPECT_EQ(teilText("2026120", 7, 2), "0");
    EXPECT_EQ(teilText("2026", 7, 2), "");
    EXPECT_EQ(teilText("abc", 0, 2), "");
}

} // namespace
} // namespace tafelbot
