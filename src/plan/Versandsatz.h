#pragma once

#include "plan/PlanDaten.h"

#include <optional>
#include <string>
#include <string_view>

namespace tafelbot {

// Who a row belongs to. Two teachers may share a long name, so rows are told apart by the
// plan's teacher (its index), and only a teacher the plan does not know by the short name the
// row was built from (its Vertreter then holds that short name).
struct Lehrerkennung {
    int index = -1;
    std::string kurzname; // empty for a teacher of the plan
    friend bool operator==(const Lehrerkennung&, const Lehrerkennung&) = default;
};

Lehrerkennung kennungDer(const TVZeile& zeile);
bool selberLehrer(const TVZeile& a, const TVZeile& b);
// The short name the row's records carry in their 4th field.
const std::string& kurznameDer(const Plan& plan, const TVZeile& zeile);

// A sent-mail record is a row key, "," and the 12-digit send stamp. The key's fields are the
// row's texts, made to read back as they were written: line breaks and NUL become blanks (they
// would end or cut the settings line), and a field that holds a double quote, or a comma where
// it would shift the fields after it, goes into double quotes with its own quotes doubled.
// Texts without such characters give exactly the key older versions wrote, so their records
// still match.
struct Satzfelder {
    std::string datum; // YYYYMMDD
    std::string stunde;
    std::string stattFach;
    std::string kurzname;
    std::string klassen;
    std::string raum;
    std::string verlegtVon; // the long form, with the date
    std::string text;
    bool mitbetreuung = false;
    friend bool operator==(const Satzfelder&, const Satzfelder&) = default;
};

// A text as a key holds it: CR, LF and NUL as blanks.
std::string satzText(std::string_view text);
std::string zeilenSchluessel(const Satzfelder& felder);
// The key of a notice row: only the date and the short name.
std::string hinweisSchluessel(const std::string& datum, const std::string& kurzname);

// Parts of a record (or of a key, where no stamp is involved).
std::string_view satzDatum(std::string_view satz);
std::string satzKurzname(std::string_view satz);
// Whether the record is one of the teacher with this short name (as the plan holds it).
bool satzVon(std::string_view satz, const std::string& kurzname);
bool istHinweissatz(std::string_view satz);
std::string_view schluesselDes(std::string_view satz); // empty when the record is too short
std::string_view stempelDes(std::string_view satz);    // the last 12 characters
// The fields of a key; nullopt when it has fewer than nine fields.
std::optional<Satzfelder> zerlegeSchluessel(std::string_view schluessel);

} // namespace tafelbot
