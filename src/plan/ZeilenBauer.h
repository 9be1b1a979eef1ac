#pragma once

#include <cstddef>
#include <functional>

namespace tafelbot {

struct Befunde;
struct Einstellungen;
struct Plan;
struct Zeilenliste;

// Everything the row builder reads and fills. The references point at the main window's state.
struct ZeilenKontext {
    // In: AktDatum, the long-names, same-day-date and error-box switches, GesendeteMails.
    const Einstellungen& werte;
    Plan& plan;       // FehlerGefunden is cleared and set here
    Befunde& befunde; // the log lines and boxes of the build, for the caller to show
    Zeilenliste& zeilen;
    // The table's hand-over with the new row count; runs before the closing error box.
    std::function<void(std::size_t)> uebergabe;
};

// Builds the rows of the chosen date from the plan, compares them with the sent-mail records
// and adds a notice row for every teacher whose mailed plan for that date no longer holds.
void ErzeugeZeilen(const ZeilenKontext& kontext);

} // namespace tafelbot
