// A whole gpn file as gp-Untis might leave it (cut off, rewritten, garbage): the reader and the
// row builder must neither crash nor loop, and every row that was mailed must read back from the
// settings file as mailed and unchanged, so that no teacher is mailed twice or told falsely that
// a plan no longer holds.

#include "FuzzSupport.h"
#include "mail/SendQueue.h"
#include "plan/GpnLeser.h"
#include "plan/PlanDaten.h"
#include "plan/ZeilenBauer.h"
#include "settings/Einstellungen.h"
#include "settings/SettingsFile.h"
#include "ui/Befunde.h"

#include <cstddef>
#include <cstdint>

using namespace tafelbot;

namespace {

struct Umgebung {
    fuzz::SilentUi ui;
    Einstellungen werte;
    Plan plan;
    Befunde befunde;
    Zeilenliste zeilen;

    void baueZeilen() {
        zeilen = {};
        befunde = {};
        ErzeugeZeilen({werte, plan, befunde, zeilen, [](std::size_t) {}});
    }
};

// Mails every teacher the way the send run does, one record per row.
void sendeAlle(Umgebung& u) {
    for (int zeile; (zeile = naechsteZuSendendeZeile(u.zeilen)) >= 0;) {
        const TVZeile& z = u.zeilen.Zeilen[static_cast<std::size_t>(zeile)];
        const std::string kurzname =
            u.plan.Lehrer.at(static_cast<std::size_t>(z.LehrerIndex)).Kurzname;
        versandAufzeichnen(u.werte.GesendeteMails, u.zeilen, zeile, u.werte.AktDatum, kurzname,
                           "202612070645");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string gpn = fuzz::scratchPath("plan.gpn");
    fuzz::writeScratch(gpn, {reinterpret_cast<const char*>(data), size});

    Umgebung u;
    setzeStandardwerte(u.werte);
    u.werte.LehrerLangnamen = size % 3 != 0;
    u.werte.FehlermeldungBeimEinlesen = size % 2 == 0;
    GpnErgebnis gelesen = LiesGpnDatei({gpn,
                                        1 + static_cast<std::int32_t>(size % 3),
                                        u.werte.LehrerLangnamen,
                                        u.werte.FehlermeldungBeimEinlesen,
                                        {}});
    if (!gelesen.gelesen() || gelesen.plan.Vertretungen.empty())
        return 0;
    u.plan = std::move(gelesen.plan);
    // The date of the first substitution, when it is one: the program's date is always a date.
    u.werte.AktDatum = u.plan.Vertretungen.front().Datum;
    if (u.werte.AktDatum.size() != 8 ||
        u.werte.AktDatum.find_first_not_of("0123456789") != std::string::npos)
        return 0;
    u.baueZeilen();
    sendeAlle(u);

    // The records go through the settings file and back, as between two morning runs.
    const std::string ini = fuzz::scratchPath("Tafelbot.ini");
    fuzz::writeScratch(ini, iniInhalt(u.werte));
    Einstellungen zurueck;
    FUZZ_CHECK(IniLesen(zurueck, ini, u.ui));
    FUZZ_CHECK(zurueck.GesendeteMails == u.werte.GesendeteMails);
    u.werte.GesendeteMails = zurueck.GesendeteMails;
    u.baueZeilen();
    for (const TVZeile& z : u.zeilen.Zeilen) {
        FUZZ_CHECK(z.VertretungNr != -1); // no notice row
        if (z.HatEMail)
            FUZZ_CHECK(z.Gesendet && !z.Geaendert && !z.Senden);
    }
    return 0;
}
