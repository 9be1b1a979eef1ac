#include "core/TableModel.h"

#include "ui/UiPort.h"

#include <algorithm>

namespace tafelbot {

namespace {

// Widths come from a hand-edited file; a negative one would turn the geometry inside out.
int breiteVon(const Einstellungen& werte, int kategorie) {
    return std::max(0, werte.Spaltenbreiten[static_cast<std::size_t>(kategorie)]);
}

int markerKategorie(int marker) {
    static constexpr std::array<int, 3> kategorien{KatMitbetreuung, KatGesendet, KatGeaendert};
    return kategorien[static_cast<std::size_t>(marker)];
}

} // namespace

Tabellenlayout berechneLayout(const Einstellungen& werte) {
    Tabellenlayout layout;
    layout.nummerBreite = breiteVon(werte, KatVtrNr);
    layout.kopf.push_back({KatVtrNr, 2, layout.nummerBreite});
    layout.zellen.push_back({KatVtrNr, 2, layout.nummerBreite});
    int links = layout.nummerBreite + 1;
    for (std::size_t k = 1; k < werte.Bildschirmspalten.size(); ++k) {
        const int kategorie = werte.Bildschirmspalten[k];
        if (kategorie < 1 || kategorie >= AnzahlKategorien)
            break;
        const int breite = breiteVon(werte, kategorie);
        const Tabellenlayout::Kopf& vorher = layout.kopf.back();
        layout.kopf.push_back({kategorie, vorher.links + vorher.breite, breite});
        layout.zellen.push_back({kategorie, links, breite + 1});
        links += breite; // neighbours share one border line
    }
    return layout;
}

int Tabellenlayout::slotVon(int kategorie) const {
    for (std::size_t k = 0; k < zellen.size(); ++k)
        if (zellen[k].kategorie == kategorie)
            return static_cast<int>(k);
    return -1;
}

int Tabellenlayout::hakenLinks() const {
    const int slot = slotVon(KatEMail);
    if (slot < 1)
        return -1;
    const Zelle& zelle = zellen[static_cast<std::size_t>(slot)];
    return zelle.links + (zelle.breite - HakenGroesse) / 2;
}

int Tabellenlayout::markierungLinks(int marker) const {
    const int slot = slotVon(markerKategorie(marker));
    if (slot < 1)
        return -1;
    const Zelle& zelle = zellen[static_cast<std::size_t>(slot)];
    return zelle.links + (zelle.breite - MarkierungGroesse) / 2;
}

std::string zellenText(const TVZeile& z, int kategorie) {
    switch (kategorie) {
    case KatDatum:
        return z.Datum;
    case KatStunde:
        return z.Stunde == "-1" ? std::string() : z.Stunde;
    case KatStattFach:
        return z.StattFach;
    case KatFach:
        return z.Fach;
    case KatStattLehrer:
        return z.StattLehrer;
    case KatVertreter:
        return z.Vertreter;
    case KatKlassen:
        return z.Klassen;
    case KatRaum:
        return z.Raum;
    case KatVerlegtVon:
        return z.VerlegtVon;
    case KatText:
        return z.Text;
    default:
        return {};
    }
}

TableModel::TableModel(UiPort& ui, Zeilenliste& zeilen, const Einstellungen& werte)
    : ui_(ui), daten_(zeilen), werte_(werte) {}

void TableModel::anlegen() {
    if (angelegt_)
        return;
    angelegt_ = true;
    layout_ = berechneLayout(werte_);
    for (int i = 0; i < seitengroesse_; ++i)
        leereLinie(i);
    ui_.viewChanged(ViewPart::Table);
}

void TableModel::leereLinie(int nummer) {
    Tabellenzeile& linie = linien_[static_cast<std::size_t>(nummer)];
    for (std::size_t k = 0; k < layout_.zellen.size(); ++k) {
        linie.fuellung[k] = normaleFuellung(static_cast<int>(k));
        linie.schrift[k] = Schwarz;
    }
    zeigeLinie(nummer, false);
}

Farbe TableModel::normaleFuellung(int slot) const {
    return layout_.zellen[static_cast<std::size_t>(slot)].kategorie == KatEMail ? Hellgelb : Weiss;
}

void TableModel::zeigeLinie(int linie, bool sichtbar) {
    Tabellenzeile& l = linien_[static_cast<std::size_t>(linie)];
    l.sichtbar = sichtbar;
    // A control whose column is not on screen has no place to be drawn and stays hidden.
    l.hakenSichtbar = sichtbar && layout_.hakenLinks() >= 0;
    for (int m = 0; m < 3; ++m)
        l.markierungSichtbar[static_cast<std::size_t>(m)] =
            sichtbar && layout_.markierungLinks(m) >= 0;
}

void TableModel::uebergabe(int anzahl) {
    anlegen();
    position = 0;
    richteSeiteEin(std::max(0, anzahl));
    ScrollBar1Change();
    Lehrerfilter.reset();
    MarkiereZeilen();
}

void TableModel::richteSeiteEin(int anzahl) {
    anzahl_ = anzahl;
    const int neu = std::min(anzahl, seitengroesse_);
    for (int i = AnzeigeZeilen; i < neu; ++i)
        zeigeLinie(i, true);
    for (int i = anzahl; i < AnzeigeZeilen; ++i)
        zeigeLinie(i, false);
    AnzeigeZeilen = neu;
    if (anzahl > seitengroesse_) {
        scrollbar = true;
        maximum = anzahl - 1;
    } else {
        scrollbar = false;
        maximum = seitengroesse_ - 1;
    }
}

void TableModel::setzeSeitengroesse(int linien) {
    linien = std::max(linien, static_cast<int>(Seitengroesse));
    if (linien == seitengroesse_)
        return;
    const int vorher = seitengroesse_;
    seitengroesse_ = linien;
    linien_.resize(static_cast<std::size_t>(linien));
    if (!angelegt_)
        return;
    for (int i = vorher; i < linien; ++i)
        leereLinie(i);
    if (AnzeigeZeilen > linien)
        AnzeigeZeilen = linien; // lines beyond the page are gone, not hidden
    richteSeiteEin(anzahl_);
    ScrollBar1Change();
}

void TableModel::setzePosition(int neu) {
    if (neu < 0)
        neu = 0;
    if (neu == position)
        return;
    position = neu;
    ScrollBar1Change();
}

const TVZeile* TableModel::zeileVonLinie(int linie) const {
    if (linie < 0 || linie >= AnzeigeZeilen)
        return nullptr;
    const int index = linien_[static_cast<std::size_t>(linie)].zeile;
    if (index < 0 || static_cast<std::size_t>(index) >= daten_.Zeilen.size())
        return nullptr;
    return &daten_.Zeilen[static_cast<std::size_t>(index)];
}

void TableModel::ScrollBar1Change() {
    anlegen();
    const int letzteSeite = std::max(0, maximum - (seitengroesse_ - 1));
    if (position > letzteSeite)
        position = letzteSeite;
    for (int i = 0; i < AnzeigeZeilen; ++i) {
        const auto r = static_cast<std::size_t>(position) + static_cast<std::size_t>(i);
        if (r >= daten_.ZeilenFolge.size())
            break;
        const int index = daten_.ZeilenFolge[r];
        if (index < 0 || static_cast<std::size_t>(index) >= daten_.Zeilen.size())
            continue;
        linien_[static_cast<std::size_t>(i)].zeile = index;
        fuelleLinie(i, daten_.Zeilen[static_cast<std::size_t>(index)]);
    }
    if (Lehrerfilter)
        MarkiereZeilen();
    ui_.viewChanged(ViewPart::Table);
}

void TableModel::fuelleLinie(int linie, const TVZeile& z) {
    Tabellenzeile& l = linien_[static_cast<std::size_t>(linie)];
    // A notice row stands for an earlier mail that no longer holds; "-1" would read as a number.
    l.nummer =
        z.VertretungNr == -1 && z.Stunde == "-1" ? HinweisMarke : std::to_string(z.VertretungNr);
    l.datum = z.Datum;
    for (std::size_t k = 1; k < layout_.zellen.size(); ++k)
        l.text[k] = zellenText(z, layout_.zellen[k].kategorie);
    l.markierung[0] = z.Mitbetreuung ? Grau : Weiss;
    if (layout_.hakenLinks() < 0)
        return;
    l.hakenSichtbar = z.HatEMail;
    l.hakenGesetzt = z.HatEMail && z.Senden;
    l.markierungSichtbar[1] = z.HatEMail && layout_.markierungLinks(1) >= 0;
    l.markierungSichtbar[2] = z.HatEMail && layout_.markierungLinks(2) >= 0;
    l.markierung[1] = z.Gesendet ? Grau : Weiss;
    l.markierung[2] = z.Geaendert ? Rot : Weiss;
}

void TableModel::faerbeLinie(int linie, bool hervorgehoben) {
    Tabellenzeile& l = linien_[static_cast<std::size_t>(linie)];
    for (std::size_t k = 1; k < layout_.zellen.size(); ++k) {
        l.fuellung[k] = hervorgehoben ? Marineblau : normaleFuellung(static_cast<int>(k));
        l.schrift[k] = hervorgehoben ? Weiss : Schwarz;
    }
}

// The teacher of a line is read from the row it shows, not from the "Vertreter" label, so that
// the highlight and the tick boxes also work when that column is not on screen.
void TableModel::MarkiereZeilen() {
    anlegen();
    for (int i = 0; i < AnzeigeZeilen; ++i) {
        const TVZeile* z = zeileVonLinie(i);
        faerbeLinie(i, z != nullptr && Lehrerfilter == kennungDer(*z));
    }
    ui_.viewChanged(ViewPart::Table);
}

void TableModel::nummerGeklickt(int linie) {
    const TVZeile* z = zeileVonLinie(linie);
    if (z == nullptr)
        return;
    // A row without a teacher's name has no teacher to highlight.
    const Lehrerkennung lehrer = kennungDer(*z);
    if (Lehrerfilter != lehrer && (lehrer.index >= 0 || !lehrer.kurzname.empty()))
        Lehrerfilter = lehrer;
    else
        Lehrerfilter.reset();
    MarkiereZeilen();
}

void TableModel::hakenGeklickt(int linie, bool gesetzt) {
    const TVZeile* z = zeileVonLinie(linie);
    if (z == nullptr || !linien_[static_cast<std::size_t>(linie)].hakenSichtbar)
        return;
    const Lehrerkennung lehrer = kennungDer(*z); // the reference is into the list being changed
    const std::string datum = z->Datum;
    for (TVZeile& zeile : daten_.Zeilen)
        if (kennungDer(zeile) == lehrer && (!mehrereTage || zeile.Datum == datum))
            zeile.Senden = gesetzt;
    ScrollBar1Change();
}

} // namespace tafelbot
