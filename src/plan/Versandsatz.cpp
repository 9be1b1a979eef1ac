#include "plan/Versandsatz.h"

#include "settings/DatumText.h"

#include <vector>

namespace tafelbot {

namespace {

constexpr std::size_t StempelLaenge = 12;

// A field as the key writes it; `kommaFrei`: a comma would not shift a field the program reads.
std::string feld(std::string_view roh, bool kommaFrei = false) {
    const std::string text = satzText(roh);
    const bool quote =
        text.find('"') != std::string::npos || (!kommaFrei && text.find(',') != std::string::npos);
    return quote ? alsQuotiertesFeld(text) : text;
}

// The raw fields of a line split at commas outside quotes, at most `anzahl`; the last one
// holds the rest of the line.
std::vector<std::string_view> rohfelder(std::string_view zeile, std::size_t anzahl) {
    std::vector<std::string_view> felder;
    bool innen = false;
    std::size_t anfang = 0;
    for (std::size_t i = 0; i < zeile.size() && felder.size() + 1 < anzahl; ++i) {
        if (zeile[i] == '"')
            innen = !innen;
        else if (zeile[i] == ',' && !innen) {
            felder.push_back(zeile.substr(anfang, i - anfang));
            anfang = i + 1;
        }
    }
    felder.push_back(zeile.substr(anfang));
    return felder;
}

} // namespace

Lehrerkennung kennungDer(const TVZeile& zeile) {
    if (zeile.LehrerIndex >= 0)
        return {zeile.LehrerIndex, {}};
    return {-1, zeile.Vertreter};
}

bool selberLehrer(const TVZeile& a, const TVZeile& b) {
    return kennungDer(a) == kennungDer(b);
}

const std::string& kurznameDer(const Plan& plan, const TVZeile& zeile) {
    const auto i = static_cast<std::size_t>(zeile.LehrerIndex);
    return zeile.LehrerIndex >= 0 && i < plan.Lehrer.size() ? plan.Lehrer[i].Kurzname
                                                            : zeile.Vertreter;
}

std::string satzText(std::string_view text) {
    std::string ergebnis(text);
    for (char& c : ergebnis)
        if (c == '\r' || c == '\n' || c == '\0')
            c = ' ';
    return ergebnis;
}

std::string zeilenSchluessel(const Satzfelder& f) {
    // The classes were always quoted; the text is the last field of free length, so a comma
    // there shifts nothing the program reads and stays unquoted as older keys had it.
    return f.datum + "," + feld(f.stunde) + "," + feld(f.stattFach) + "," + feld(f.kurzname) + "," +
           alsQuotiertesFeld(satzText(f.klassen)) + "," + feld(f.raum) + "," + feld(f.verlegtVon) +
           "," + feld(f.text, true) + "," + (f.mitbetreuung ? "1" : "0");
}

std::string hinweisSchluessel(const std::string& datum, const std::string& kurzname) {
    return datum + ",-1,," + feld(kurzname) + ",,,,,";
}

std::string_view satzDatum(std::string_view satz) {
    return satz.substr(0, 8);
}

std::string satzKurzname(std::string_view satz) {
    auto felder = rohfelder(satz, 5);
    return felder.size() >= 5 ? ausQuotiertemFeld(felder[3]) : std::string();
}

bool satzVon(std::string_view satz, const std::string& kurzname) {
    return satzKurzname(satz) == satzText(kurzname);
}

bool istHinweissatz(std::string_view satz) {
    auto felder = rohfelder(satz, 3);
    return felder.size() >= 3 && ausQuotiertemFeld(felder[1]) == "-1";
}

std::string_view schluesselDes(std::string_view satz) {
    return satz.size() > StempelLaenge + 1 ? satz.substr(0, satz.size() - StempelLaenge - 1)
                                           : std::string_view();
}

std::string_view stempelDes(std::string_view satz) {
    return satz.size() >= StempelLaenge ? satz.substr(satz.size() - StempelLaenge)
                                        : std::string_view();
}

std::optional<Satzfelder> zerlegeSchluessel(std::string_view schluessel) {
    // The text may hold unquoted commas: the fields before it count from the front, the
    // co-supervision switch from the back.
    const std::size_t letztes = schluessel.rfind(',');
    if (letztes == std::string_view::npos)
        return std::nullopt;
    auto felder = rohfelder(schluessel.substr(0, letztes), 8);
    if (felder.size() < 8)
        return std::nullopt;
    Satzfelder f;
    f.datum = ausQuotiertemFeld(felder[0]);
    f.stunde = ausQuotiertemFeld(felder[1]);
    f.stattFach = ausQuotiertemFeld(felder[2]);
    f.kurzname = ausQuotiertemFeld(felder[3]);
    f.klassen = ausQuotiertemFeld(felder[4]);
    f.raum = ausQuotiertemFeld(felder[5]);
    f.verlegtVon = ausQuotiertemFeld(felder[6]);
    f.text = ausQuotiertemFeld(felder[7]);
    f.mitbetreuung = schluessel.substr(letztes + 1) == "1";
    return f;
}

} // namespace tafelbot
