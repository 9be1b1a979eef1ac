#pragma once

#include "plan/PlanDaten.h"

#include <string>
#include <vector>

namespace tafelbot {

// The school day after `datum` (YYYYMMDD): Monday follows Friday, or Saturday with Saturday
// school.
std::string naechsterSchultagNach(const std::string& datum, bool samstagsSchule);

// The chosen date and the school days after it that one run handles (the command line's
// --days, the window's "Tage:").
struct Schultage {
    std::vector<std::string> daten; // YYYYMMDD, the chosen date first
    // Windows-1252; not empty when the period in force ends before the last day asked for.
    std::string hinweis;
};

// `anzahl` school days from `datum` on, none after the end of period `periode` (from 1) of
// `perioden`: a day outside the file's period has no plan to show.
Schultage schultageAb(const std::string& datum, int anzahl, bool samstagsSchule,
                      const std::vector<TPeriode>& perioden, int periode);

// "07.12.2026" of "20261207".
std::string datumLang(const std::string& jjjjmmtt);

} // namespace tafelbot
