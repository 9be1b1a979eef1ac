#pragma once

#include "core/InfoLog.h"
#include "plan/GpnLeser.h"
#include "plan/PlanDaten.h"
#include "settings/Einstellungen.h"
#include "support/RecordingUi.h"
#include "support/TestFiles.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace tafelbot::testing {

// A gpn line of the given kind with the given fields set (field 1 is the kind).
inline std::string gpnZeile(const std::string& art,
                            std::initializer_list<std::pair<int, std::string>> felder) {
    int letztes = 1;
    for (const auto& f : felder)
        letztes = std::max(letztes, f.first);
    std::vector<std::string> werte(static_cast<std::size_t>(letztes));
    werte[0] = art;
    for (const auto& [nr, wert] : felder)
        werte[static_cast<std::size_t>(nr - 1)] = wert;
    std::string zeile;
    for (std::size_t i = 0; i < werte.size(); ++i)
        zeile += (i ? "," : "") + werte[i];
    return zeile;
}

// "00L" and "Le" of one teacher.
inline std::vector<std::string> lehrerZeilen(const std::string& kurz, const std::string& lang,
                                             const std::string& vorname = "",
                                             const std::string& email = "") {
    return {"00L," + kurz + "," + lang, gpnZeile("Le", {{6, vorname}, {15, email}})};
}

inline std::string gpnDatei(const std::vector<std::string>& zeilen,
                            const std::string& ende = "\r\n") {
    std::string text;
    for (const auto& z : zeilen)
        text += z + ende;
    return text;
}

inline void anhaengen(std::vector<std::string>& ziel, const std::vector<std::string>& zeilen) {
    ziel.insert(ziel.end(), zeilen.begin(), zeilen.end());
}

// The reader with everything it reads and fills, and a file in a fresh directory.
struct LeserUmgebung {
    RecordingUi ui;
    InfoLog log{ui};
    Einstellungen werte;
    Plan plan;
    std::vector<std::string> perioden;
    int auswahl = -1;
    int sichtbar = 0;
    bool button = false;
    std::vector<std::string> lehrerListe;
    TempDir dir;

    LeserUmgebung() { werte.GpnDatei = dir.file("plan.gpn"); }

    GpnKontext kontext() {
        return {werte, plan, log, ui, perioden, auswahl, sichtbar, button, lehrerListe};
    }
    bool liesInhalt(const std::string& inhalt) {
        writeFile(werte.GpnDatei, inhalt);
        return LiesGpnDatei(kontext());
    }
    bool lies(const std::vector<std::string>& zeilen) { return liesInhalt(gpnDatei(zeilen)); }

    std::vector<std::string> logZeilen() const { return {log.lines().begin(), log.lines().end()}; }
    // The data errors of the log: each as its two lines joined by " | ", the second without its
    // indent of 17 blanks.
    std::vector<std::string> meldungen() const {
        std::vector<std::string> ergebnis;
        const auto& z = log.lines();
        for (std::size_t i = 0; i + 1 < z.size(); ++i) {
            if (z[i].rfind("=======> ", 0) != 0)
                continue;
            EXPECT_EQ(z[i + 1].substr(0, 17), std::string(17, ' '));
            ergebnis.push_back(z[i].substr(9) + " | " + z[i + 1].substr(17));
        }
        return ergebnis;
    }
};

} // namespace tafelbot::testing
