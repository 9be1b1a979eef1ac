#include "plan/Felder.h"

#include "settings/DatumText.h"

#include <gtest/gtest.h>
#include <random>
#include <string>

namespace tafelbot {
namespace {

// The reader splits each line once; every field must be what LiesFeld gives for it.
TEST(FeldListe, SplitsLikeLiesFeld) {
    std::vector<std::string> zeilen = {"",   ",",      ",,",          "a,b",           "\"a,b\",c",
                                       "\"", "\"\"\"", "a\"b,c\"d,e", "\"unclosed,a,b"};
    std::mt19937 zufall(7);
    const std::string zeichen = "ab,\"  ,\"";
    for (int i = 0; i < 2000; ++i) {
        std::string zeile;
        for (auto j = zufall() % 12; j > 0; --j)
            zeile += zeichen[zufall() % zeichen.size()];
        zeilen.push_back(zeile);
    }
    for (const std::string& zeile : zeilen) {
        FeldListe felder(zeile);
        for (int n = 0; n <= static_cast<int>(felder.anzahl()) + 2; ++n)
            ASSERT_EQ(felder.feld(n), LiesFeld(zeile, ',', n)) << zeile << " field " << n;
    }
    EXPECT_EQ(FeldListe("a,b").feld(std::int64_t{1} << 40), "");
}

} // namespace
} // namespace tafelbot
