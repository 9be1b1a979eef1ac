#include "mail/Adresse.h"

#include <gtest/gtest.h>

namespace tafelbot {
namespace {

TEST(AdresseTest, OnlyWhatTheEnvelopeAndTheHeaderCarryUnchangedPasses) {
    struct Fall {
        std::string_view adresse;
        bool gueltig;
    };
    const Fall faelle[] = {
        {"anna@schule.example", true},
        {"a.b-c+d@mail.schule-x.example", true},
        {"Anna Müller <anna@schule.example>", true},
        {"\"Müller, Anna\" <anna@schule.example>", true},
        {"anna@schule.example; bernd@schule.example", true},
        {"anna@[192.0.2.1]", true},
        {"<\"a b\"@schule.example>", true},
        {"par@schule.example> NOTIFY=NEVER", false}, // parameter injection
        {"par@schule.example NOTIFY=NEVER", false},
        {"Anna <anna@schule.example> x", false},
        {"\"Anna <anna@schule.example>", false}, // open quote in the header
        {"anna@schule.example\rBcc: x@y.example", false},
        {std::string_view("anna@schule.example\0", 20), false},
        {"anna@schule.example\t", false},
        {"anna m@schule.example", false},
        {"\"a b\"@schule.example", false}, // the client would take "a b" for a name
        {"anna@@schule.example", false},
        {"anna.@schule.example", false},
        {"anna@schule..example", false},
        {"anna@-schule.example", false},
        {"m\xFCller@schule.example", false}, // 8-bit: no SMTPUTF8 with Windows-1252 data
        {"anna", false},
        {"", false},
        {" ; ", false},
        {"anna@schule.example, kaputt", false},
    };
    for (const Fall& f : faelle)
        EXPECT_EQ(istAdressliste(f.adresse), f.gueltig) << sichtbar(f.adresse);
    // What a refusal names: controls by name.
    EXPECT_EQ(sichtbar(std::string_view("a\r\nb\0c\x7F", 7)), "a<CR><LF>b<NUL>c<0x7F>");
}

} // namespace
} // namespace tafelbot
