#pragma once

#include "plan/PlanDaten.h"
#include "settings/Einstellungen.h"
#include "smtp/MimeBody.h"

#include <array>
#include <string>
#include <vector>

namespace tafelbot {

class UiPort;
struct Stundenzeiten;

// Everything the substitution mail of one teacher is made from. All texts are Windows-1252.
struct MailInput {
    const Zeilenliste& zeilen;
    int aktuelleZeile = -1; // index into zeilen.Zeilen: the row whose teacher is mailed
    const TLehrer& lehrer;  // that row's teacher
    const std::array<int, AnzahlKategorien>& mailspalten;
    const std::array<std::string, AnzahlMailKategorien>& ueberschriften;
    const std::string& zusatztext;
    bool zusatztextAnhaengen = false;
    const std::vector<std::string>& gesendeteMails;
    const std::string& aktDatum;  // YYYYMMDD
    const std::string& wochentag; // "Donnerstag"
    const std::string& datumText; // "22.02.2004"
    // A changed plan's mail lists what changed since the earlier mail (the setting Aenderungen).
    bool aenderungen = false;
    // Set: the mail carries the teacher's rows of the date as calendar entries, timed by this
    // lesson-time table (the setting Kalender).
    const Stundenzeiten* stundenzeiten = nullptr;
};

// The mail as the HTML client transmits it, plus what the send panel and the records need.
struct ComposedMail {
    std::string hdrTo;
    std::string subject;
    std::string sendPanelHeading;
    std::vector<std::string> htmlText;
    std::vector<std::string> plainText;
    std::string sendStamp;                  // YYYYMMDDhhmm, the same minute as the "generiert" line
    std::vector<MemoryAttachment> anhaenge; // the calendar entries, when asked for
};

// Composes the substitution mail of the current row's teacher. The only side effect is the
// error box for a changed plan whose earlier record cannot be found. Reads the local clock once
// (and, for calendar entries, the UTC clock once).
ComposedMail composeSubstitutionMail(const MailInput& input, UiPort& ui);

// The table of a teacher's mail, as the HTML lines the mail holds: the mail headings, then every
// row of row `zeile`'s teacher in display order. The printed plan shows the same table.
std::vector<std::string>
mailTabelleHtml(const Zeilenliste& zeilen, int zeile,
                const std::array<int, AnzahlKategorien>& mailspalten,
                const std::array<std::string, AnzahlMailKategorien>& ueberschriften);

// A row in the mail's plain part: "heading:   value" per mail column.
std::vector<std::string>
mailZeilenText(const TVZeile& zeile, const std::array<int, AnzahlKategorien>& mailspalten,
               const std::array<std::string, AnzahlMailKategorien>& ueberschriften);

// `<`, `>`, `&` and `"` as HTML character references; everything else unchanged.
std::string htmlEscape(const std::string& text);

} // namespace tafelbot
