#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tafelbot {

class InfoLog;
class UiPort;
struct Einstellungen;
struct Plan;

// Everything the gpn reader reads and fills. The references point at the main window's state.
struct GpnKontext {
    // In: GpnDatei, Periode (corrected here), the long-names and error-box switches.
    Einstellungen& werte;
    Plan& plan;
    InfoLog& log;
    UiPort& ui;
    // The period dialog and the period button.
    std::vector<std::string>& periodenListe;
    int& periodenAuswahl;  // selected entry, -1 for none
    int& periodenSichtbar; // entries shown at once when the list drops down
    bool& periodenButtonAktiv;
    // The teacher list of the server settings dialog.
    std::vector<std::string>& lehrerListe;
};

// Reads the gpn file named in the settings into the plan for the selected period, logging its
// progress and every data error. False when the file is missing or cannot be read; then nothing
// has changed. Never writes to the file.
bool LiesGpnDatei(const GpnKontext& kontext);

// True when one of the pieces of `liste` between minus signs is the decimal text of `nummer`.
bool InListe(std::int32_t nummer, std::string_view liste);

// The number in two columns of a "Uz" line: two blanks give 0; with a blank second character
// only the first is read. A text that is no number is logged and gives -1.
std::int32_t ZahlAusSpalte(std::string_view zeichen, int zeilenNr, int spalte, InfoLog& log,
                           Plan& plan);

// Logs a data error as two lines and sets FehlerGefunden.
void MeldeFehler(InfoLog& log, Plan& plan, const std::string& erste, const std::string& zweite);

} // namespace tafelbot
