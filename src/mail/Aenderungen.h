#pragma once

#include "plan/PlanDaten.h"
#include "plan/Versandsatz.h"
#include "settings/Einstellungen.h"

#include <array>
#include <string>
#include <vector>

namespace tafelbot {

// What a teacher's earlier mail of a date said, read back from the sent-mail records: a record
// holds the row's key, so the rows of the earlier mail are known by their key fields.
struct FruehereMail {
    bool gefunden = false;          // the teacher has records of the date
    std::string sendStamp;          // YYYYMMDDhhmm of that mail
    std::vector<Satzfelder> zeilen; // its rows in their order then; notice records left out
};

FruehereMail fruehereMail(const std::vector<std::string>& gesendeteMails, const std::string& datum,
                          const std::string& kurzname);

// The rows of row `zeile`'s teacher in display order, notice rows ("keine Vertretungen") left
// out: the rows a mail lists one by one.
std::vector<const TVZeile*> zeilenDesLehrers(const Zeilenliste& zeilen, int zeile);

// A row that is new since the earlier mail, or an earlier row that no longer holds.
struct Aenderung {
    bool neu = false;
    Satzfelder felder;
};

// The rows whose key the earlier mail did not have, and the earlier rows whose key no current
// row has (as many as are missing, for rows that share a key), ordered by lesson, a vanished row
// before a new one in the same lesson.
std::vector<Aenderung> aenderungen(const std::vector<const TVZeile*>& jetzt,
                                   const std::vector<Satzfelder>& frueher);

// "neu: Std.: 3, Klasse: 5a, Raum: R1" with the mail's headings; empty values left out.
std::string aenderungsZeile(const Aenderung& aenderung,
                            const std::array<std::string, AnzahlMailKategorien>& ueberschriften);

} // namespace tafelbot
