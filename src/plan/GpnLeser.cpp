#include "plan/GpnLeser.h"

#include "plan/Felder.h"
#include "plan/PlanDaten.h"
#include "platform/Platform.h"
#include "settings/Cp1252.h"
#include "settings/DatumText.h"
#include "settings/Einstellungen.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>
#include <unordered_set>

namespace tafelbot {

namespace {

enum class Satzart { Sonstige, P0, pU0, pL0, PE, L00, Le, U0, Uf, Uk, Ul, Uz, X0, V0, Vk };

// The kind of a line by its first two characters, or three for "00L", "0pU" and "0pL". Decided
// character by character: it runs for every line of both passes.
Satzart satzartVon(std::string_view zeile) {
    if (zeile.size() < 2)
        return Satzart::Sonstige;
    const char a = zeile[0], b = zeile[1];
    const char c = zeile.size() > 2 ? zeile[2] : '\0';
    switch (a) {
    case '0':
        switch (b) {
        case '0':
            return c == 'L' ? Satzart::L00 : Satzart::Sonstige;
        case 'p':
            return c == 'U' ? Satzart::pU0 : c == 'L' ? Satzart::pL0 : Satzart::Sonstige;
        case 'P':
            return Satzart::P0;
        case 'U':
            return Satzart::U0;
        case 'X':
            return Satzart::X0;
        case 'V':
            return Satzart::V0;
        default:
            return Satzart::Sonstige;
        }
    case 'U':
        switch (b) {
        case 'f':
            return Satzart::Uf;
        case 'k':
            return Satzart::Uk;
        case 'l':
            return Satzart::Ul;
        case 'z':
            return Satzart::Uz;
        default:
            return Satzart::Sonstige;
        }
    case 'P':
        return b == 'E' ? Satzart::PE : Satzart::Sonstige;
    case 'L':
        return b == 'e' ? Satzart::Le : Satzart::Sonstige;
    case 'V':
        return b == 'k' ? Satzart::Vk : Satzart::Sonstige;
    default:
        return Satzart::Sonstige;
    }
}

// Calls `f(zeile, nummer)` for every line; a line ends at LF, a CR before it is dropped, and a
// last line without line end counts.
template <class F>
void jedeZeile(std::string_view daten, F&& f) {
    int nummer = 0;
    std::size_t pos = 0;
    while (pos < daten.size()) {
        std::size_t ende = daten.find('\n', pos);
        std::size_t weiter = ende == std::string_view::npos ? daten.size() : ende + 1;
        if (ende == std::string_view::npos)
            ende = daten.size();
        std::string_view zeile = daten.substr(pos, ende - pos);
        if (!zeile.empty() && zeile.back() == '\r')
            zeile.remove_suffix(1);
        f(zeile, ++nummer);
        pos = weiter;
    }
}

bool enthaelt(std::string_view text, char c) {
    return text.find(c) != std::string_view::npos;
}

std::string fehlerInZeile(int n) {
    return "FEHLER in der gpn-Datei in Zeile " + std::to_string(n) + ":";
}

// DD.MM.YY of a date text YYYYMMDD.
std::string kurzesDatum(std::string_view datum) {
    return std::string(teilText(datum, 7, 2)) + "." + std::string(teilText(datum, 5, 2)) + "." +
           std::string(teilText(datum, 3, 2));
}

// The second pass: one object per read, holding the state the lines depend on.
class DatenLeser {
public:
    DatenLeser(GpnErgebnis& e, bool hatPerioden)
        : e_(e), plan_(e.plan), befunde_(e.befunde), hatPerioden_(hatPerioden) {}

    void zeile(std::string_view z, int n) {
        switch (satzartVon(z)) {
        case Satzart::pU0:
            unterrichtInPeriode_ = InListe(e_.periode, felder(z).feld(2));
            break;
        case Satzart::pL0:
            lehrerliste(z, n);
            break;
        case Satzart::PE: {
            const FeldListe& f = felder(z);
            lehrerInPeriode_ = InListe(lehrerlisteNr_, f.feld(2));
            unterrichtInPeriode_ = InListe(e_.periode, f.feld(2));
            break;
        }
        case Satzart::L00:
            if (lehrerGilt())
                lehrer(z);
            break;
        case Satzart::Le:
            if (lehrerGilt())
                lehrerDaten(z, n);
            break;
        case Satzart::U0:
            if (unterrichtGilt())
                unterrichtsKopf(z, n);
            break;
        case Satzart::Uf:
        case Satzart::Uk:
        case Satzart::Ul:
            if (unterrichtGilt())
                unterrichtsZeile(z, n);
            break;
        case Satzart::Uz:
            if (unterrichtGilt())
                zuordnung(z, n);
            break;
        case Satzart::X0:
            verlegung(z, n);
            break;
        case Satzart::V0:
            vertretung(z, n);
            break;
        case Satzart::Vk:
            vertretungsKlassen(z, n);
            break;
        case Satzart::P0:
        case Satzart::Sonstige:
            break;
        }
    }

private:
    // The fields of a line, split into room that the next line reuses.
    const FeldListe& felder(std::string_view z) { return felder_.teile(z); }

    bool lehrerGilt() const { return !hatPerioden_ || lehrerInPeriode_; }
    bool unterrichtGilt() const { return !hatPerioden_ || unterrichtInPeriode_; }

    void ueberschrift(int nr, const char* text) {
        if (ueberschriften_[static_cast<std::size_t>(nr)])
            return;
        ueberschriften_[static_cast<std::size_t>(nr)] = true;
        befunde_.log(text);
    }

    void melde(const std::string& erste, const std::string& zweite) {
        MeldeFehler(befunde_, plan_, erste, zweite);
    }

    // Reads an integer field; a failure is logged and leaves `ziel` as it is.
    void ganzzahl(std::string_view text, int n, std::int32_t& ziel, const char* meldung) {
        if (auto wert = alsGanzzahl(text))
            ziel = *wert;
        else
            melde(fehlerInZeile(n), meldung);
    }

    void pruefeLehrer(std::string_view kurzname, int n) {
        if (!kurznamen_.count(kurzname))
            melde(fehlerInZeile(n),
                  "Lehrerkurzname \"" + std::string(kurzname) + "\" nicht definiert!");
    }

    void lehrerliste(std::string_view z, int n) {
        if (letzte0pLZeile_ == n - 1) {
            ++pLLauf_;
        } else {
            pLLauf_ = 1;
            lehrerlisteNr_ = 0;
        }
        letzte0pLZeile_ = n;
        if (InListe(e_.periode, felder(z).feld(2)))
            lehrerlisteNr_ = pLLauf_;
    }

    void lehrer(std::string_view z) {
        ueberschrift(0, "1. Einlesen der Lehrerdaten ...");
        lehrerOffen_ = true;
        const FeldListe& f = felder(z);
        TLehrer l;
        l.Kurzname = f.feld(2);
        l.Langname = f.feld(3);
        kurznamen_.insert(f.feld(2));
        plan_.Lehrer.push_back(std::move(l));
    }

    void lehrerDaten(std::string_view z, int n) {
        if (!lehrerOffen_) {
            melde(fehlerInZeile(n), "Kann \"Le\"-Datensatz nicht einem Lehrer zuordnen!");
            return;
        }
        lehrerOffen_ = false;
        const FeldListe& f = felder(z);
        TLehrer& l = plan_.Lehrer.back();
        l.Vorname = f.feld(6);
        l.EMail = f.feld(15);
        l.HatEMail = !l.EMail.empty();
    }

    std::string gespeicherteZeilen() const {
        return "f=" + std::string(uf_) + " k=" + std::string(uk_) + " l=" + std::string(ul_);
    }

    void unterrichtsKopf(std::string_view z, int n) {
        ueberschrift(1, "2. Einlesen der Unterrichtsdaten ...");
        if (zustand_ < 100)
            melde(fehlerInZeile(n), "Neuer OU-Datensatz obwohl vorheriger noch nicht komplett! " +
                                        gespeicherteZeilen());
        zustand_ = 1;
        ganzzahl(felder(z).feld(2), n, unterrichtNr_,
                 "Falscher Integerwert der Unterrichtsnummer!");
        uf_ = uk_ = ul_ = {};
        ufFelder_.leere();
        ukFelder_.leere();
        ulFelder_.leere();
    }

    void unterrichtsZeile(std::string_view z, int n) {
        switch (satzartVon(z)) {
        case Satzart::Uf:
            uf_ = z;
            ufFelder_.teile(z);
            break;
        case Satzart::Uk:
            uk_ = z;
            ukFelder_.teile(z);
            break;
        default:
            ul_ = z;
            ulFelder_.teile(z);
            break;
        }
        if (zustand_ < 1 || zustand_ >= 4)
            melde(fehlerInZeile(n) + " ",
                  "Zu wenig oder mehr als 4 Daten-Zeilen (OU, Uf, Uk, Ul) eines Unterrichts. " +
                      gespeicherteZeilen());
        ++zustand_;
    }

    void legeUnterrichtAn(int n) {
        zustand_ = 100;
        ersterIndex_ = plan_.Unterrichte.size();
        for (std::int64_t k = 1;; ++k) {
            std::string_view kurzname = ulFelder_.feld(2 * k + 1);
            if (kurzname.empty())
                break;
            TUnterricht u;
            u.Nr = unterrichtNr_;
            u.Lehrer = kurzname;
            plan_.Unterrichte.push_back(std::move(u));
            pruefeLehrer(kurzname, n);
        }
        lehrerDesUnterrichts_ = plan_.Unterrichte.size() - ersterIndex_;
    }

    // A class list of the "Uk" line: for each number c, field 2c+1 and a comma.
    std::string klassenAusFeldern(const FeldListe& uzFelder) const {
        std::string klassen;
        bool irgendeines = false;
        for (std::int64_t i = 9;; ++i) {
            std::string_view feld = uzFelder.feld(i);
            if (feld.empty())
                break;
            irgendeines = true;
            std::optional<std::int32_t> c = alsGanzzahl(feld);
            // Field 1 is the line's kind, not a class: a number below 1 names none.
            if (c && *c >= 1)
                klassen += ukFelder_.feld(2 * std::int64_t{*c} + 1);
            klassen += ',';
        }
        if (!irgendeines)
            klassen += ',';
        return klassen;
    }

    void zuordnung(std::string_view z, int n) {
        if (zustand_ < 100)
            legeUnterrichtAn(n);
        std::int32_t t = ZahlAusSpalte(teilText(z, 3, 2), n, 3, befunde_, plan_);
        if (t < 1)
            return;
        if (static_cast<std::size_t>(t) > lehrerDesUnterrichts_) {
            melde(fehlerInZeile(n), "Die Lehrernummer " + std::to_string(t) +
                                        " im uZ-Datensatz passt zu keinem Lehrer des "
                                        "Unterrichts! Die Zeile wird ignoriert.");
            return;
        }
        ++zustand_;
        TUnterricht& u = plan_.Unterrichte[ersterIndex_ + static_cast<std::size_t>(t) - 1];

        std::string klassen = u.Klassen;
        std::int32_t a = ZahlAusSpalte(teilText(z, 5, 2), n, 5, befunde_, plan_);
        std::int32_t b = ZahlAusSpalte(teilText(z, 7, 2), n, 7, befunde_, plan_);
        if (a >= 1 && b >= 1 && a <= b) {
            for (std::int64_t i = a; i <= b; ++i) {
                klassen += ukFelder_.feld(2 * i + 1);
                klassen += ',';
            }
        } else {
            klassen += klassenAusFeldern(felder(z));
        }
        u.Klassen = std::move(klassen);

        if (z.size() > 8) {
            std::int32_t s = ZahlAusSpalte(teilText(z, 9, 2), n, 9, befunde_, plan_);
            u.Fach = s >= 1 ? std::string(ufFelder_.feld(2 * std::int64_t{s} + 1)) : std::string();
        } else {
            u.Fach.clear();
        }
    }

    void verlegung(std::string_view z, int n) {
        ueberschrift(2, "3. Einlesen der Verlegungen ...");
        const FeldListe& f = felder(z);
        if (f.feld(5).empty() || f.feld(7).empty())
            return;
        // Built in its place: a large plan has many records.
        TVerlegung& v = plan_.Verlegungen.emplace_back();
        v.Lehrer = f.feld(3);
        pruefeLehrer(v.Lehrer, n);
        ganzzahl(f.feld(2), n, v.Nr,
                 "Falscher Integerwert des 2. Zeileneintrages (Verlegungsnummer)!");
        ganzzahl(f.feld(4), n, v.UnterrichtNr,
                 "Falscher Integerwert des 4. Zeileneintrages (Unterrichtsnummer)!");
        ganzzahl(f.feld(6), n, v.StundeVon,
                 "Falscher Integerwert des 6. Zeileneintrages (Stunde-Woher)!");
        ganzzahl(f.feld(8), n, v.StundeNach,
                 "Falscher Integerwert des 8. Zeileneintrages (Stunde-Wohin)!");
        v.DatumVon = f.feld(5);
        v.DatumNach = f.feld(7);
    }

    void vertretung(std::string_view z, int n) {
        ueberschrift(3, "4. Einlesen der Vertretungen ...");
        vertretungOffen_ = true;
        vertretungUebersprungen_ = true;
        const FeldListe& f = felder(z);
        std::string_view art = f.feld(14);
        if (f.feld(5).empty() || enthaelt(art, 'N') || enthaelt(art, 'E'))
            return;
        vertretungUebersprungen_ = false;
        TVertretung& v = plan_.Vertretungen.emplace_back();
        v.Vertreter = f.feld(5);
        pruefeLehrer(v.Vertreter, n);
        ganzzahl(f.feld(2), n, v.Nr,
                 "Falscher Integerwert des 2. Zeileneintrages (Vertretungssnummer)!");
        if (!f.feld(9).empty())
            ganzzahl(f.feld(9), n, v.UnterrichtNr,
                     "Falscher Integerwert des 9. Zeileneintrages (Unterrichtsnummer)!");
        ganzzahl(f.feld(4), n, v.Stunde, "Falscher Integerwert des 4. Zeileneintrages (Stunde)!");
        if (!f.feld(12).empty())
            ganzzahl(f.feld(12), n, v.VerlegungNr,
                     "Falscher Integerwert des 12. Zeileneintrages (Verlegungssnummer)!");
        v.Datum = f.feld(3);
        v.StattLehrer = f.feld(6);
        v.Fach = f.feld(7);
        v.Raum = f.feld(8).empty() ? f.feld(11) : f.feld(8);
        v.Text = f.feld(10);
        v.Mitbetreuung = enthaelt(art, 'B');
        v.Art = art;
    }

    void vertretungsKlassen(std::string_view z, int n) {
        if (!vertretungOffen_) {
            melde(fehlerInZeile(n), "Kann \"Vk\"-Datensatz nicht einer Vertretung zuordnen!");
            return;
        }
        vertretungOffen_ = false;
        if (vertretungUebersprungen_)
            return;
        const FeldListe& f = felder(z);
        std::string klassen(f.feld(3));
        for (std::int64_t i = 4;; ++i) {
            std::string_view klasse = f.feld(i);
            if (klasse.empty())
                break;
            klassen += ',';
            klassen += klasse;
        }
        if (klassen.empty())
            melde(fehlerInZeile(n), "Im \"Vk\"-Datensatz fehlt die Klasse!");
        plan_.Vertretungen.back().Klassen = std::move(klassen);
    }

    GpnErgebnis& e_;
    Plan& plan_;
    Befunde& befunde_;
    const bool hatPerioden_;
    bool unterrichtInPeriode_ = false;
    bool lehrerInPeriode_ = false;

    int pLLauf_ = 0;
    int letzte0pLZeile_ = -10;
    std::int32_t lehrerlisteNr_ = 0;

    bool lehrerOffen_ = false;
    bool vertretungOffen_ = false;
    bool vertretungUebersprungen_ = false;

    // 100 and above: no lesson head waits for its first "Uz" line.
    int zustand_ = 100;
    std::int32_t unterrichtNr_ = 0;
    std::string_view uf_, uk_, ul_;
    FeldListe felder_;
    FeldListe ufFelder_, ukFelder_, ulFelder_;
    std::size_t ersterIndex_ = 0;
    std::size_t lehrerDesUnterrichts_ = 0;

    std::array<bool, 4> ueberschriften_{};
    // The short names read so far: every lesson share, move and substitution is checked
    // against them, and a scan of the teacher table would make large files quadratic. They
    // point into the file's bytes, which outlive the read.
    std::unordered_set<std::string_view> kurznamen_;
};

void entferneSchlusskommas(GpnErgebnis& e) {
    for (TUnterricht& u : e.plan.Unterrichte) {
        if (!u.Klassen.empty() && u.Klassen.back() == ',')
            u.Klassen.pop_back();
        else
            MeldeFehler(e.befunde, e.plan,
                        "PROBLEM beim Unterricht Nr. " + std::to_string(u.Nr) + ":",
                        "Hier liegt wahrscheinlich ein Programmierfehler vor!");
    }
}

void fasseZusammen(const GpnAuftrag& a, GpnErgebnis& e) {
    e.befunde.log(" ");
    if (!e.plan.FehlerGefunden) {
        e.befunde.log("Unterrichts-Daten konnten erfolgreich und fehlerfrei gelesen werden.");
        e.befunde.log("");
    } else if (a.fehlermeldung) {
        e.befunde.fehler("Beim Lesen der Daten aus der gpn-Datei \"" + a.datei +
                         "\"\n\rsind Fehler aufgetreten. Bitte beachten Sie die Kommentare im "
                         "Info-Feld unten.");
    }
    e.befunde.log("Gelesene Daten: " + std::to_string(e.plan.Lehrer.size()) + " Lehrer, " +
                  std::to_string(e.plan.Unterrichte.size()) + " Unterrichte, " +
                  std::to_string(e.plan.Verlegungen.size()) + " Verlegungen, " +
                  std::to_string(e.plan.Vertretungen.size()) + " Vertretungen");
    e.befunde.log("");
}

void fuelleLehrerliste(const GpnAuftrag& a, GpnErgebnis& e) {
    for (const TLehrer& l : e.plan.Lehrer) {
        if (l.Kurzname == "?" || l.Kurzname == "*")
            continue;
        const std::string& name = a.langnamen ? l.Langname : l.Kurzname;
        e.lehrerListe.push_back((l.HatEMail ? "+ " : "-  ") + name);
    }
}

void fuellePeriodenliste(GpnErgebnis& e) {
    PeriodenWahl& w = e.perioden;
    for (const TPeriode& p : e.plan.Perioden)
        w.liste.push_back(p.Name + " (" + kurzesDatum(p.Von) + " - " + kurzesDatum(p.Bis) + ")");
    int anzahl = static_cast<int>(w.liste.size());
    w.sichtbar = std::min(anzahl, 20);
    w.auswahl = e.periode >= 1 && e.periode <= anzahl ? e.periode - 1 : -1;
    w.buttonAktiv = anzahl > 0;
}

// ---- Is the snapshot a whole plan? ----

// The fields a line of each kind has at least when gp-Untis wrote it whole.
std::size_t mindestFelder(Satzart art) {
    switch (art) {
    case Satzart::P0:
        return 5;
    case Satzart::L00:
        return 3;
    case Satzart::Le:
        return 15;
    case Satzart::X0:
        return 8;
    case Satzart::V0:
        return 14;
    case Satzart::Vk:
        return 3;
    case Satzart::pU0:
    case Satzart::pL0:
    case Satzart::PE:
    case Satzart::U0:
        return 2;
    default:
        return 1;
    }
}

// Why the last line, which has no line end, stops inside its record; empty when it looks whole.
std::string abgebrocheneZeile(std::string_view zeile, int nummer) {
    const std::string wo = "Ihre letzte Zeile (Zeile " + std::to_string(nummer) + ") bricht ";
    if (std::count(zeile.begin(), zeile.end(), '"') % 2 != 0)
        return wo + "in einem Text in Anführungszeichen ab."_cp;
    const Satzart art = satzartVon(zeile);
    // A "Uz" line is read by columns: teacher and classes need eight characters.
    if (art == Satzart::Uz ? zeile.size() < 8 : FeldListe(zeile).anzahl() < mindestFelder(art))
        return wo + "mitten im Datensatz ab.";
    return {};
}

// Pass 1: the periods, and whether the bytes are a whole gp-Untis plan at all. A file cut at a
// line end shows only in what is missing after the cut: the teachers and lessons every export
// holds, or the "Uz" lines that every lesson head is followed by. Counts the records, so that
// pass 2 allocates their room once.
struct ErsterDurchlauf {
    std::vector<TPeriode> perioden;
    std::string grund; // why the bytes are not whole; empty when they are
    std::size_t lehrer = 0, unterrichte = 0, zuordnungen = 0, verlegungen = 0, vertretungen = 0;

    explicit ErsterDurchlauf(std::string_view daten) {
        bool bekannt = false, unterrichtOffen = false;
        int zeilen = 0;
        std::string_view letzte;
        jedeZeile(daten, [&](std::string_view z, int n) {
            const Satzart art = satzartVon(z);
            switch (art) {
            case Satzart::P0: {
                FeldListe f(z);
                perioden.push_back(
                    {std::string(f.feld(3)), std::string(f.feld(4)), std::string(f.feld(5))});
                break;
            }
            case Satzart::L00:
                ++lehrer;
                break;
            case Satzart::U0:
                ++unterrichte;
                unterrichtOffen = true;
                break;
            case Satzart::Uz:
                ++zuordnungen;
                unterrichtOffen = false;
                break;
            case Satzart::X0:
                ++verlegungen;
                break;
            case Satzart::V0:
                ++vertretungen;
                break;
            default:
                break;
            }
            bekannt = bekannt || art != Satzart::Sonstige;
            zeilen = n;
            letzte = z;
        });
        if (!bekannt) {
            grund = "Sie enthält keine einzige Zeile einer gp-Untis-Datei (ist es die richtige "
                    "Datei?)."_cp;
            return;
        }
        if (daten.back() != '\n' && daten.back() != '\r')
            grund = abgebrocheneZeile(letzte, zeilen);
        if (!grund.empty())
            return;
        if (lehrer == 0 || unterrichte == 0)
            grund = std::string("Es fehlen ") +
                    (lehrer == 0 && unterrichte == 0 ? "die Lehrer- und die Unterrichtsdaten"
                     : lehrer == 0                   ? "die Lehrerdaten"
                                                     : "die Unterrichtsdaten") +
                    ".";
        else if (unterrichtOffen)
            grund = "Sie endet mitten in den Daten eines Unterrichts (Zeile " +
                    std::to_string(zeilen) + ").";
    }
};

// The log lines and the box of a snapshot that is not used.
void meldeUnvollstaendig(const GpnAuftrag& a, GpnErgebnis& e, const std::string& grund) {
    e.status = GpnErgebnis::Status::Unvollstaendig;
    const std::string folge = "Es wurden keine Daten übernommen: keine Zeilen, keine eMails."_cp;
    e.befunde.log("=======> FEHLER: Die gpn-Datei ist unvollständig oder wird gerade "
                  "geschrieben!"_cp);
    e.befunde.log(std::string(17, ' ') + grund);
    e.befunde.log(std::string(17, ' ') + folge);
    e.befunde.fehler("Die gpn-Datei \"" + a.datei +
                     "\" ist unvollständig oder wird gerade geschrieben.\n\r"_cp + grund + "\n\r" +
                     folge +
                     "\n\rBitte warten Sie, bis gp-Untis die Datei fertig gespeichert hat, und "
                     "lesen Sie sie dann erneut ein (gp-Untis-Datei wählen oder Tafelbot neu "
                     "starten). Prüfen Sie auch, ob die richtige Datei gewählt ist."_cp);
}

void kopfzeilen(const GpnAuftrag& a, GpnErgebnis& e) {
    e.befunde.logLeeren = true;
    e.befunde.log("Einlesen der Stunden- und Vertretungsplan-Daten aus der Datei \"" + a.datei +
                  "\":");
    e.befunde.log(" ");
}

// The file's bytes, read once. Empty, with the status set, when it cannot be read or changed
// while it was read.
std::optional<std::string> schnappschuss(const GpnAuftrag& a, GpnErgebnis& e) {
    // The settings keep the name as Windows-1252 text; the file system wants UTF-8.
    const std::string pfad = cp1252ToUtf8(a.datei);
    if (!platform::fileExists(pfad)) {
        e.status = GpnErgebnis::Status::DateiFehlt;
        e.befunde.information("Bitte wählen Sie zunächst Ihre gp-Untis-Stundenplan-Datei aus!"_cp);
        return std::nullopt;
    }
    const std::optional<platform::FileStamp> vorher = platform::fileStamp(pfad);
    std::optional<std::string> daten = platform::readFile(pfad);
    if (!vorher || !daten) {
        e.status = GpnErgebnis::Status::NichtLesbar;
        e.befunde.fehler("Kann gpn-Datei \"" + a.datei + "\" nicht zum Lesen öffnen!"_cp);
        return std::nullopt;
    }
    if (a.nachDemLesen)
        a.nachDemLesen();
    const std::optional<platform::FileStamp> nachher = platform::fileStamp(pfad);
    if (nachher != vorher || daten->size() != vorher->size) {
        kopfzeilen(a, e);
        meldeUnvollstaendig(a, e, "Sie hat sich während des Lesens verändert."_cp);
        return std::nullopt;
    }
    return daten;
}

} // namespace

bool InListe(std::int32_t nummer, std::string_view liste) {
    const std::string text = std::to_string(nummer);
    std::size_t anfang = 0;
    for (;;) {
        std::size_t ende = liste.find('-', anfang);
        if (liste.substr(anfang, ende == std::string_view::npos ? ende : ende - anfang) == text)
            return true;
        if (ende == std::string_view::npos)
            return false;
        anfang = ende + 1;
    }
}

std::int32_t ZahlAusSpalte(std::string_view zeichen, int zeilenNr, int spalte, Befunde& befunde,
                           Plan& plan) {
    if (zeichen == "  ")
        return 0;
    std::string_view text =
        zeichen.size() == 2 && zeichen[1] == ' ' ? zeichen.substr(0, 1) : zeichen;
    if (auto wert = alsGanzzahl(text))
        return *wert;
    MeldeFehler(befunde, plan,
                "FEHLER in der gpn-Datei in Zeile " + std::to_string(zeilenNr) + " Spalte " +
                    std::to_string(spalte) + ":",
                "Falsche Nummer in \"" + std::string(zeichen) + "\" im uZ-Datensatz!");
    return -1;
}

void MeldeFehler(Befunde& befunde, Plan& plan, const std::string& erste,
                 const std::string& zweite) {
    befunde.log("=======> " + erste);
    befunde.log(std::string(17, ' ') + zweite);
    plan.FehlerGefunden = true;
}

GpnErgebnis LiesGpnDatei(const GpnAuftrag& a) {
    GpnErgebnis e;
    e.periode = a.periode;
    // Both passes run over this one copy, so the file cannot change between them.
    const std::optional<std::string> daten = schnappschuss(a, e);
    if (!daten)
        return e;
    kopfzeilen(a, e);
    ErsterDurchlauf erster(*daten);
    if (!erster.grund.empty()) {
        meldeUnvollstaendig(a, e, erster.grund);
        return e;
    }

    e.plan.Perioden = std::move(erster.perioden);
    const int anzahl = static_cast<int>(e.plan.Perioden.size());
    if (e.periode < 1 || e.periode > anzahl)
        e.periode = 1;
    if (anzahl > 0)
        e.befunde.log("Ausgewählte Periode: "_cp + std::to_string(e.periode) + " (von " +
                      std::to_string(anzahl) + ")");

    // Room for the records once, so that a large plan is not copied while it grows: a lesson
    // has one share per teacher, and each share its "Uz" line.
    e.plan.Lehrer.reserve(erster.lehrer);
    e.plan.Unterrichte.reserve(std::max(erster.unterrichte, erster.zuordnungen));
    e.plan.Verlegungen.reserve(erster.verlegungen);
    e.plan.Vertretungen.reserve(erster.vertretungen);
    DatenLeser leser(e, !e.plan.Perioden.empty());
    jedeZeile(*daten, [&](std::string_view z, int n) { leser.zeile(z, n); });

    entferneSchlusskommas(e);
    fasseZusammen(a, e);
    fuelleLehrerliste(a, e);
    fuellePeriodenliste(e);
    return e;
}

} // namespace tafelbot
