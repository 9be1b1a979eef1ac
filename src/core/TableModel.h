#pragma once

#include "plan/PlanDaten.h"
#include "plan/Versandsatz.h"
#include "settings/Einstellungen.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tafelbot {

class UiPort;

struct Farbe {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    friend bool operator==(const Farbe&, const Farbe&) = default;
};

inline constexpr Farbe Weiss{255, 255, 255};
inline constexpr Farbe Schwarz{0, 0, 0};
inline constexpr Farbe Hellgelb{255, 255, 200};
inline constexpr Farbe Marineblau{0, 0, 128};
inline constexpr Farbe Grau{128, 128, 128};
inline constexpr Farbe Rot{255, 0, 0};

// Pixel positions of the table, derived once from the column settings. Slot k is position k of
// `Bildschirmspalten`; slot 0 is the number panel, slots 1.. are cells.
struct Tabellenlayout {
    static constexpr int KopfOben = 2;
    static constexpr int KopfHoehe = 20;
    static constexpr int NummerHoehe = 20;
    static constexpr int ZellenHoehe = 21;
    static constexpr int HakenGroesse = 13;
    static constexpr int MarkierungGroesse = 11;

    static constexpr int zeilenOben(int zeile) { return 21 + 20 * zeile; }

    struct Kopf {
        int kategorie = 0;
        int links = 0;
        int breite = 0;
    };
    struct Zelle {
        int kategorie = 0;
        int links = 0;
        int breite = 0;
    };

    std::vector<Kopf> kopf;    // one bevel per slot, slot 0 included
    std::vector<Zelle> zellen; // index = slot; entry 0 stands for the number panel
    int nummerBreite = 0;

    // Slot of a category, -1 when it is not on screen (slot 0 only for category 0).
    int slotVon(int kategorie) const;
    // Left edge of the tick box and of the markers (0 = Mitbetreuung, 1 = gesendet,
    // 2 = geändert), -1 when their column is not on screen.
    int hakenLinks() const;
    int markierungLinks(int marker) const;
};

Tabellenlayout berechneLayout(const Einstellungen& werte);

// The text a cell of category `kategorie` shows for row `z` (empty for the marker columns).
std::string zellenText(const TVZeile& z, int kategorie);

// What one of the table lines shows. A view draws exactly this.
struct Tabellenzeile {
    bool sichtbar = false;
    int zeile = -1; // index into Zeilen of the row shown, -1 before the first fill
    std::string nummer = "Vtr-Nr.";
    std::string datum;                              // "07.12.", for the date column of several days
    std::array<std::string, AnzahlKategorien> text; // per slot; slot 0 unused
    std::array<Farbe, AnzahlKategorien> fuellung{};
    std::array<Farbe, AnzahlKategorien> schrift{};
    bool hakenSichtbar = false;
    bool hakenGesetzt = false;
    // Markers: 0 = Mitbetreuung, 1 = gesendet, 2 = geändert.
    std::array<bool, 3> markierungSichtbar{};
    std::array<Farbe, 3> markierung{Weiss, Weiss, Weiss};
};

// The substitution table without a toolkit: which rows the lines show, the scroll bar, the tick
// boxes, markers and the highlight of one teacher's rows. A window that grows shows more lines
// than the sixteen it starts with; the scroll rules hold for the number shown.
class TableModel {
public:
    static constexpr int Seitengroesse = 16; // the lines shown at least

    TableModel(UiPort& ui, Zeilenliste& zeilen, const Einstellungen& werte);

    // Creates the sixteen lines with the column layout of the settings in force. The layout
    // stays as created for the whole run, even when the settings file is read again later.
    // The hand-over does this itself when it has not happened yet.
    void anlegen();
    bool angelegt() const { return angelegt_; }
    const Tabellenlayout& layout() const { return layout_; }

    // The row builder's hand-over with the new row count.
    void uebergabe(int anzahl);
    // Fills the lines from the scroll position.
    void ScrollBar1Change();
    // The user moved the scroll bar.
    void setzePosition(int neu);
    // Colours the rows of `Lehrerfilter`.
    void MarkiereZeilen();
    // Click on the number panel of line i.
    void nummerGeklickt(int linie);
    // Click on the shown tick box of line i; `gesetzt` is the box's new state.
    void hakenGeklickt(int linie, bool gesetzt);
    // The view has room for `linien` lines (at least Seitengroesse): lines are shown or hidden
    // and the scroll bar set up as the hand-over would, keeping the position and the highlight.
    void setzeSeitengroesse(int linien);
    int seitengroesse() const { return seitengroesse_; }

    // The number column of a notice row, which has no substitution number.
    static constexpr const char* HinweisMarke = "entf.";

    int AnzeigeZeilen = 0;
    // The rows are those of several days: the view shows their dates in a column of their own,
    // and a tick box stands for its teacher's rows of that day only.
    bool mehrereTage = false;
    // The highlighted teacher: by identity, as two teachers may share the name shown.
    std::optional<Lehrerkennung> Lehrerfilter;
    int position = 0;
    int maximum = Seitengroesse - 1;
    bool scrollbar = false; // enabled

    const std::vector<Tabellenzeile>& zeilen() const { return linien_; }

private:
    const TVZeile* zeileVonLinie(int linie) const;
    void zeigeLinie(int linie, bool sichtbar);
    void leereLinie(int nummer);
    void richteSeiteEin(int anzahl);
    void fuelleLinie(int linie, const TVZeile& zeile);
    void faerbeLinie(int linie, bool hervorgehoben);
    Farbe normaleFuellung(int slot) const;

    UiPort& ui_;
    Zeilenliste& daten_;
    const Einstellungen& werte_;
    bool angelegt_ = false;
    Tabellenlayout layout_;
    int seitengroesse_ = Seitengroesse;
    int anzahl_ = 0; // rows of the last hand-over
    std::vector<Tabellenzeile> linien_ = std::vector<Tabellenzeile>(Seitengroesse);
};

} // namespace tafelbot
