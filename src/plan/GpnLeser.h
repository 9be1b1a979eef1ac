#pragma once

#include "plan/PlanDaten.h"
#include "ui/Befunde.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tafelbot {

// What one read of the gpn file needs from the settings.
struct GpnAuftrag {
    std::string datei;         // GpnDatei, Windows-1252
    std::int32_t periode = 1;  // the selected period, 1-based; corrected by the read
    bool langnamen = true;     // teacher list with long names
    bool fehlermeldung = true; // an error box when data errors were logged
    // Runs after the file's bytes were read and before the check that the file did not change
    // meanwhile: the seam through which a test changes the file in the middle of a read.
    std::function<void()> nachDemLesen;
};

// The period dialog's list and the period button, as the read leaves them.
struct PeriodenWahl {
    std::vector<std::string> liste;
    int auswahl = -1; // selected entry, -1 for none
    int sichtbar = 0; // entries shown at once when the list drops down
    bool buttonAktiv = false;
};

struct GpnErgebnis {
    enum class Status {
        Gelesen,        // the plan below is the file's
        DateiFehlt,     // no such file
        NichtLesbar,    // it cannot be opened or read
        Unvollstaendig, // cut off, changed while it was read, or no gp-Untis file at all
    };
    Status status = Status::Gelesen;
    // Only with Gelesen: the plan, the corrected period, the two choice lists.
    Plan plan;
    std::int32_t periode = 1;
    PeriodenWahl perioden;
    std::vector<std::string> lehrerListe; // of the server settings dialog
    // The log lines and boxes of the read, for every status.
    Befunde befunde;

    bool gelesen() const { return status == Status::Gelesen; }
};

// Reads the gpn file into a plan for the selected period, with every data error as a log line.
// Reads the file once: both passes run over that one snapshot. A file that changed while it was
// read, is cut off or holds no gp-Untis line gives Unvollstaendig and no plan, so that a file
// still being written never looks like a plan without substitutions. Never writes to the file.
GpnErgebnis LiesGpnDatei(const GpnAuftrag& auftrag);

// True when one of the pieces of `liste` between minus signs is the decimal text of `nummer`.
bool InListe(std::int32_t nummer, std::string_view liste);

// The number in two columns of a "Uz" line: two blanks give 0; with a blank second character
// only the first is read. A text that is no number is logged and gives -1.
std::int32_t ZahlAusSpalte(std::string_view zeichen, int zeilenNr, int spalte, Befunde& befunde,
                           Plan& plan);

// Logs a data error as two lines and sets FehlerGefunden.
void MeldeFehler(Befunde& befunde, Plan& plan, const std::string& erste, const std::string& zweite);

} // namespace tafelbot
