#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tafelbot {

// One planning period ("0P" line).
struct TPeriode {
    std::string Name;
    std::string Von; // YYYYMMDD
    std::string Bis; // YYYYMMDD
};

// One teacher ("00L" line and the "Le" line after it).
struct TLehrer {
    bool HatEMail = false;
    std::string Kurzname;
    std::string Langname;
    std::string Vorname;
    std::string EMail;
};

// One teacher's share of one lesson; the shares of a lesson are consecutive.
struct TUnterricht {
    std::int32_t Nr = 0;
    std::string Lehrer;
    std::string Klassen;
    std::string Fach;
};

// One moved lesson ("0X" line).
struct TVerlegung {
    std::int32_t Nr = 0;
    std::int32_t UnterrichtNr = 0;
    std::int32_t StundeVon = 0;
    std::int32_t StundeNach = 0;
    std::string DatumVon;  // YYYYMMDD
    std::string DatumNach; // YYYYMMDD
    std::string Lehrer;
};

// One substitution ("0V" line and the "Vk" line after it).
struct TVertretung {
    bool Mitbetreuung = false;
    std::int32_t Nr = 0;
    std::int32_t Stunde = 0;
    std::int32_t UnterrichtNr = -1;
    std::int32_t VerlegungNr = -1;
    std::string Datum; // YYYYMMDD
    std::string Vertreter;
    std::string StattLehrer;
    std::string Fach;
    std::string Raum;
    std::string Text;
    std::string Klassen;
    std::string Art;
};

// One row of the table: a substitution as it concerns one teacher on the chosen date, or a
// notice row for a teacher whose earlier mail for that date no longer holds.
struct TVZeile {
    bool Mitbetreuung = false;
    bool HatEMail = false;
    bool Senden = false;
    bool Gesendet = false;
    bool Geaendert = false;
    std::int32_t VertretungNr = 0;
    std::int32_t LehrerIndex = -1;
    std::string Datum; // DD.MM.
    std::string Stunde;
    std::string Vertreter;
    std::string StattLehrer;
    std::string Fach;
    std::string StattFach;
    std::string Raum;
    std::string Text;
    std::string Klassen;
    std::string VerlegtVon;
    std::string Schluessel;
};

// The plan of one gpn file for one period. The vectors' sizes are the counts; their order is
// the file order.
struct Plan {
    std::vector<TPeriode> Perioden;
    std::vector<TLehrer> Lehrer;
    std::vector<TUnterricht> Unterrichte;
    std::vector<TVerlegung> Verlegungen;
    std::vector<TVertretung> Vertretungen;

    // Set by every logged data error; cleared at the start of each load and each row build.
    bool FehlerGefunden = false;

    // Index of the first teacher whose Kurzname equals `kurzname` exactly, or -1.
    int lehrerIndex(const std::string& kurzname) const;
    // Index of the last moved lesson with this number, or -1.
    int verlegungIndex(std::int32_t nr) const;
};

// The rows of the chosen date and their display order (a permutation of 0 .. size-1).
struct Zeilenliste {
    std::vector<TVZeile> Zeilen;
    std::vector<int> ZeilenFolge;
};

} // namespace tafelbot
