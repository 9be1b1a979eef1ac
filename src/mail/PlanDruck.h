#pragma once

#include "plan/PlanDaten.h"
#include "settings/Einstellungen.h"

#include <array>
#include <string>
#include <vector>

namespace tafelbot {

// The day's plan for printing, for colleagues who read it on paper. Texts are Windows-1252.
struct DruckTag {
    const Zeilenliste& zeilen;
    const Plan& plan;
    const std::array<int, AnzahlKategorien>& mailspalten;
    const std::array<std::string, AnzahlMailKategorien>& ueberschriften;
    const std::string& wochentag; // "Montag"
    const std::string& datumText; // "07.12.2026"
};

// One HTML page per teacher with substitution rows, in display order: the teacher's name as the
// heading, the date, and the table of the teacher's mail. With `nurOhneAdresse` only the
// teachers without an e-mail address. A teacher whose rows are only notices of an earlier mail
// gets no page: there is nothing to print for that day.
std::vector<std::string> druckSeiten(const DruckTag& tag, bool nurOhneAdresse);

// The pages as one HTML document, each page after the first on a new sheet. `zeichensatz`
// names the encoding the caller writes the document in ("utf-8").
std::string druckDokument(const std::vector<std::string>& seiten, const std::string& zeichensatz);

} // namespace tafelbot
