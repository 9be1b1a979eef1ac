#pragma once

#include "plan/GpnLeser.h"
#include "plan/PlanDaten.h"
#include "settings/Einstellungen.h"
#include "support/RecordingUi.h"
#include "support/TestFiles.h"
#include "ui/Befunde.h"
#include "ui/InfoLog.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace tafelbot::testing {

using Zeilen = std::vector<std::string>;

// "00L" and "Le" (field 6 first name, field 15 address) of one teacher.
inline Zeilen lehrerZeilen(const std::string& kurz, const std::string& lang,
                           const std::string& vorname = "", const std::string& email = "") {
    return {"00L," + kurz + "," + lang, "Le,,,,," + vorname + ",,,,,,,,," + email};
}

inline Zeilen operator+(Zeilen a, const Zeilen& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The records of a plan, one line each, for comparing whole plans at once.
inline Zeilen plantext(const Plan& p) {
    Zeilen t;
    for (const auto& l : p.Lehrer)
        t.push_back("L " + l.Kurzname + "|" + l.Langname + "|" + l.Vorname + "|" + l.EMail +
                    (l.HatEMail ? "|@" : ""));
    for (const auto& u : p.Unterrichte)
        t.push_back("U " + std::to_string(u.Nr) + " " + u.Lehrer + " " + u.Klassen + "/" + u.Fach);
    for (const auto& x : p.Verlegungen)
        t.push_back("X " + std::to_string(x.Nr) + " " + x.Lehrer + " U" +
                    std::to_string(x.UnterrichtNr) + " " + x.DatumVon + "/" +
                    std::to_string(x.StundeVon) + " " + x.DatumNach + "/" +
                    std::to_string(x.StundeNach));
    for (const auto& v : p.Vertretungen)
        t.push_back("V " + std::to_string(v.Nr) + " " + v.Datum + "/" + std::to_string(v.Stunde) +
                    " " + v.Vertreter + " for " + v.StattLehrer + " " + v.Fach + " " + v.Raum +
                    " U" + std::to_string(v.UnterrichtNr) + " X" + std::to_string(v.VerlegungNr) +
                    " '" + v.Text + "' " + v.Klassen + " " + v.Art + (v.Mitbetreuung ? " M" : ""));
    return t;
}

// The reader with a file in a fresh directory, and what the workflow keeps of its result.
struct LeserUmgebung {
    RecordingUi ui;
    InfoLog log{ui};
    Einstellungen werte;
    Plan plan;
    Zeilen perioden;
    int auswahl = -1;
    int sichtbar = 0;
    bool button = false;
    Zeilen lehrerListe;
    TempDir dir;
    std::function<void()> nachDemLesen;
    GpnErgebnis::Status status = GpnErgebnis::Status::Gelesen;

    LeserUmgebung() { werte.GpnDatei = dir.file("plan.gpn"); }

    // Reads the file and takes over what a successful read gives, as the workflow does.
    bool liesDatei() {
        GpnErgebnis e = LiesGpnDatei({werte.GpnDatei, werte.Periode, werte.LehrerLangnamen,
                                      werte.FehlermeldungBeimEinlesen, nachDemLesen});
        zeige(e.befunde, log, ui);
        status = e.status;
        if (!e.gelesen())
            return false;
        plan = std::move(e.plan);
        werte.Periode = e.periode;
        perioden = e.perioden.liste;
        auswahl = e.perioden.auswahl;
        sichtbar = e.perioden.sichtbar;
        button = e.perioden.buttonAktiv;
        lehrerListe = e.lehrerListe;
        return true;
    }
    bool liesInhalt(const std::string& inhalt) {
        writeFile(werte.GpnDatei, inhalt);
        return liesDatei();
    }
    bool lies(const Zeilen& zeilen) { return liesInhalt(joinLines(zeilen)); }

    Zeilen logZeilen() const { return {log.lines().begin(), log.lines().end()}; }
    // The data errors of the log, each as its two lines joined by " | " without the second
    // line's indent of 17 blanks.
    Zeilen meldungen() const {
        Zeilen ergebnis;
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
