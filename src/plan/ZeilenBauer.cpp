#include "plan/ZeilenBauer.h"

#include "plan/Felder.h"
#include "plan/GpnLeser.h"
#include "plan/PlanDaten.h"
#include "plan/Versandsatz.h"
#include "settings/Cp1252.h"
#include "settings/DatumText.h"
#include "settings/Einstellungen.h"
#include "ui/Befunde.h"

#include <algorithm>
#include <numeric>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tafelbot {

namespace {

// DD.MM. of a date text YYYYMMDD.
std::string tagUndMonat(std::string_view datum) {
    return std::string(teilText(datum, 7, 2)) + "." + std::string(teilText(datum, 5, 2)) + ".";
}

class Bauer {
public:
    explicit Bauer(const ZeilenKontext& k) : k_(k), datum_(k.werte.AktDatum) {}

    void baue() {
        k_.plan.FehlerGefunden = false;
        k_.zeilen.Zeilen.clear();
        k_.zeilen.ZeilenFolge.clear();
        for (const TVertretung& v : k_.plan.Vertretungen) {
            if (v.Datum != datum_)
                continue;
            if (v.Klassen.empty() && v.Art.find('F') != std::string::npos)
                continue;
            zeileFuer(v);
        }
        hinweiszeilen();
        verteileJeLehrer();
        if (k_.uebergabe)
            k_.uebergabe(k_.zeilen.Zeilen.size());
        if (k_.plan.FehlerGefunden && k_.werte.FehlermeldungBeimEinlesen)
            k_.befunde.fehler("Beim Lesen der Vertretungs-Daten sind Fehler aufgetreten.\n\r"
                              "Bitte beachten Sie die Kommentare im Info-Feld unten.\n\r"
                              "Vielleicht ist eine falsche Periode ausgewählt."_cp);
    }

private:
    // Long or short name by the option; the given short name when the teacher is unknown.
    std::string anzeigename(const std::string& kurzname, int* index = nullptr) const {
        int i = k_.plan.lehrerIndex(kurzname);
        if (index)
            *index = i;
        if (i < 0)
            return kurzname;
        const TLehrer& l = k_.plan.Lehrer[static_cast<std::size_t>(i)];
        return k_.werte.LehrerLangnamen ? l.Langname : l.Kurzname;
    }

    const std::string& kurznameDer(const TVZeile& z) const {
        return tafelbot::kurznameDer(k_.plan, z);
    }

    // The plan's short name that a record names; a record holds blanks where the name has line
    // breaks.
    const std::string& kurznameVonSatz(const std::string& n) const {
        for (const TLehrer& l : k_.plan.Lehrer)
            if (satzText(l.Kurzname) == n)
                return l.Kurzname;
        return n;
    }

    void melde(const std::string& erste, const std::string& zweite) {
        MeldeFehler(k_.befunde, k_.plan, erste, zweite);
    }

    static std::string stundeText(const TVertretung& v) {
        if (!v.Klassen.empty())
            return std::to_string(v.Stunde);
        // A substitution without classes is a break supervision before period p.
        std::string davor = v.Stunde >= 2 ? std::to_string(v.Stunde - 1) : std::string();
        return davor + "/" + std::to_string(v.Stunde);
    }

    // Fills VerlegtVon and returns the move text of the key.
    std::string verlegung(const TVertretung& v, TVZeile& z) {
        if (v.VerlegungNr == -1)
            return {};
        int i = k_.plan.verlegungIndex(v.VerlegungNr);
        if (i < 0) {
            melde("Bei der Vertretung Nr. " + std::to_string(v.Nr) + " konnte die Verlegung",
                  "(Verlegungs-Nr. " + std::to_string(v.VerlegungNr) + ") nicht gefunden werden!");
            return {};
        }
        const TVerlegung& vl = k_.plan.Verlegungen[static_cast<std::size_t>(i)];
        if (vl.Lehrer != v.Vertreter)
            melde("Vertretung Nr. " + std::to_string(v.Nr) + " für "_cp + v.Vertreter + ":",
                  "Falscher Lehrer (" + vl.Lehrer + ") bei der Verlegung (Verlegungs-Nr. " +
                      std::to_string(v.VerlegungNr) + ")!");
        std::string text = tagUndMonat(vl.DatumVon) + " / " + std::to_string(vl.StundeVon);
        if (!k_.werte.DatumBeiVerlegungAmSelbenTag && vl.DatumVon == datum_)
            z.VerlegtVon = std::to_string(vl.StundeVon) + ". Std";
        else
            z.VerlegtVon = text;
        return text;
    }

    std::string stattFach(const TVertretung& v) {
        if (v.UnterrichtNr == -1)
            return {};
        const std::span<const int> stattTreffer = anteileDesUnterrichts(v.UnterrichtNr);
        if (stattTreffer.empty()) {
            melde("Bei der Vertretung Nr. " + std::to_string(v.Nr) + " konnte der Statt-Unterricht",
                  "(Unterrichts-Nr. " + std::to_string(v.UnterrichtNr) +
                      ") nicht gefunden werden!");
            return {};
        }
        for (int i : stattTreffer) {
            const TUnterricht& u = k_.plan.Unterrichte[static_cast<std::size_t>(i)];
            if (u.Lehrer == v.StattLehrer)
                return u.Fach;
        }
        return {};
    }

    // Indexes of the lesson shares with this number, in table order. A large plan has hundreds
    // of thousands of shares: they are sorted by number once per build, at the first lookup,
    // instead of scanned for every substitution.
    std::span<const int> anteileDesUnterrichts(std::int32_t nr) {
        const auto& anteile = k_.plan.Unterrichte;
        if (anteilIndex_.size() != anteile.size()) {
            anteilIndex_.resize(anteile.size());
            std::iota(anteilIndex_.begin(), anteilIndex_.end(), 0);
            std::stable_sort(anteilIndex_.begin(), anteilIndex_.end(), [&](int a, int b) {
                return anteile[static_cast<std::size_t>(a)].Nr <
                       anteile[static_cast<std::size_t>(b)].Nr;
            });
        }
        const auto nrVon = [&](int i) { return anteile[static_cast<std::size_t>(i)].Nr; };
        const auto von = std::ranges::lower_bound(anteilIndex_, nr, {}, nrVon);
        const auto bis = std::ranges::upper_bound(von, anteilIndex_.end(), nr, {}, nrVon);
        return {von, bis};
    }

    // Place of a new row in the display order: after every row of a lower teacher index, and
    // after the same teacher's rows whose period text is not greater (byte-wise).
    void ordneEin(int neu) {
        const auto& zeilen = k_.zeilen.Zeilen;
        const TVZeile& z = zeilen[static_cast<std::size_t>(neu)];
        auto& folge = k_.zeilen.ZeilenFolge;
        auto stelle = folge.begin();
        for (; stelle != folge.end(); ++stelle) {
            const TVZeile& platziert = zeilen[static_cast<std::size_t>(*stelle)];
            if (platziert.LehrerIndex > z.LehrerIndex ||
                (platziert.LehrerIndex == z.LehrerIndex && platziert.Stunde > z.Stunde))
                break;
        }
        folge.insert(stelle, neu);
    }

    // Calls `f` for each sent-mail record of the chosen date until it returns false; the records
    // are kept newest date first, so the first earlier date ends the walk.
    template <typename F>
    void fuerSaetzeDesTages(F&& f) const {
        for (const std::string& satz : k_.werte.GesendeteMails) {
            std::string_view tag = satzDatum(satz);
            if (tag > datum_)
                continue;
            if (tag < datum_ || !f(satz))
                break;
        }
    }

    // Gesendet, Geaendert and Senden from the records of the chosen date.
    void vergleicheMitGesendeten(TVZeile& z, const std::string& kurzname) const {
        z.Gesendet = false;
        z.Geaendert = true;
        if (z.HatEMail) {
            fuerSaetzeDesTages([&](const std::string& satz) {
                if (!satzVon(satz, kurzname))
                    return true;
                z.Gesendet = true;
                if (schluesselDes(satz) != z.Schluessel)
                    return true;
                z.Geaendert = false;
                return false;
            });
        }
        // Nothing mailed, nothing changed; a teacher without an address cannot be mailed.
        if (!z.Gesendet)
            z.Geaendert = false;
        z.Senden = z.HatEMail && !(z.Gesendet && !z.Geaendert);
    }

    void zeileFuer(const TVertretung& v) {
        TVZeile z;
        z.Vertreter = anzeigename(v.Vertreter, &z.LehrerIndex);
        if (z.LehrerIndex >= 0)
            z.HatEMail = k_.plan.Lehrer[static_cast<std::size_t>(z.LehrerIndex)].HatEMail;
        const std::string kurzname = kurznameDer(z);
        z.Mitbetreuung = v.Mitbetreuung;
        z.VertretungNr = v.Nr;
        z.Stunde = stundeText(v);
        z.Datum = tagUndMonat(datum_);
        z.StattLehrer = anzeigename(v.StattLehrer);
        z.Fach = v.Fach;
        z.Raum = v.Raum;
        z.Text = v.Text;
        z.Klassen = v.Klassen;
        std::string verlegungsText = verlegung(v, z);
        z.StattFach = stattFach(v);
        z.Schluessel = zeilenSchluessel({datum_, z.Stunde, z.StattFach, kurzname, z.Klassen, z.Raum,
                                         verlegungsText, z.Text, z.Mitbetreuung});
        vergleicheMitGesendeten(z, kurzname);
        k_.zeilen.Zeilen.push_back(std::move(z));
        ordneEin(static_cast<int>(k_.zeilen.Zeilen.size()) - 1);
    }

    void hinweiszeilen() {
        fuerSaetzeDesTages([&](const std::string& satz) {
            if (!istHinweissatz(satz))
                pruefeSatz(satz, satzKurzname(satz));
            return true;
        });
    }

    // A mailed row of teacher n: still there, changed, or all of the teacher's rows gone.
    void pruefeSatz(const std::string& satz, const std::string& n) {
        std::string_view schluessel = schluesselDes(satz);
        TVZeile* letzte = nullptr;
        for (TVZeile& z : k_.zeilen.Zeilen) {
            if (!satzVon(satz, kurznameDer(z)))
                continue;
            letzte = &z;
            if (z.Schluessel == schluessel)
                return;
        }
        if (letzte) {
            if (!letzte->Gesendet)
                k_.befunde.hinweis("Fehler 101 - keine eMail-Adresse mehr? (" + letzte->Vertreter +
                                   ")");
            letzte->Geaendert = true;
            return;
        }
        TVZeile z;
        z.Vertreter = anzeigename(kurznameVonSatz(n), &z.LehrerIndex);
        if (z.LehrerIndex >= 0) {
            z.HatEMail = k_.plan.Lehrer[static_cast<std::size_t>(z.LehrerIndex)].HatEMail;
        } else {
            k_.befunde.fehler("Bei einer Zeile in der INI-Datei (über eine gesendete eMail)\n\r"_cp
                              "konnte der Lehrername (" +
                              n + ") nicht zugeordnet werden!");
        }
        z.VertretungNr = -1;
        z.Stunde = "-1";
        z.Gesendet = z.Geaendert = z.Senden = true;
        z.Schluessel = hinweisSchluessel(datum_, n);
        k_.zeilen.Zeilen.push_back(std::move(z));
        k_.zeilen.ZeilenFolge.push_back(static_cast<int>(k_.zeilen.Zeilen.size()) - 1);
    }

    // One changed row makes all rows of its teacher count as changed and to be sent.
    void verteileJeLehrer() {
        auto& zeilen = k_.zeilen.Zeilen;
        for (const TVZeile& erste : zeilen) {
            if (!erste.HatEMail || !erste.Gesendet)
                continue;
            for (TVZeile& z : zeilen) {
                if (!selberLehrer(z, erste))
                    continue;
                z.Gesendet = true;
                if (erste.Geaendert)
                    z.Geaendert = z.Senden = true;
            }
        }
    }

    const ZeilenKontext& k_;
    const std::string& datum_;
    std::vector<int> anteilIndex_; // lesson shares ordered by number, see anteileDesUnterrichts
};

} // namespace

void ErzeugeZeilen(const ZeilenKontext& kontext) {
    Bauer(kontext).baue();
}

} // namespace tafelbot
