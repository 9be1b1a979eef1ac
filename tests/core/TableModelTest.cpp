#include "core/TableModel.h"

#include "support/RecordingUi.h"

#include <gtest/gtest.h>

namespace tafelbot {
namespace {

using Bilder = std::vector<std::string>;

char farbe(Farbe f) {
    return f == Weiss        ? 'w'
           : f == Schwarz    ? 's'
           : f == Grau       ? 'g'
           : f == Rot        ? 'r'
           : f == Marineblau ? 'B'
                             : 'y';
}

// Scrolling, and ticking a teacher's rows in and out of view, through the window's own lines:
// tests/gui/MainWindowTest.cpp.
class TableModelTest : public ::testing::Test {
protected:
    TableModelTest() {
        werte.Spaltenbreiten = {35, 0, 40, 35, 35, 100, 100, 60, 50, 70, 40, 67, 40, 50, 48};
        // The default order: Vertreter, Stunde, Klasse(n), Text, Vertr. von, (Lehrer), (Fach),
        // Raum, Fach, Mitbetreuung, eMail, gesendet, geändert.
        werte.Bildschirmspalten = {0, 6, 2, 7, 10, 9, 5, 3, 8, 4, 11, 12, 13, 14, -1};
    }

    // Adds `anzahl` rows of one teacher, shown in the order they are added.
    void rows(const std::string& lehrer, int anzahl, bool hatEMail = true, int index = -1) {
        for (int i = 0; i < anzahl; ++i) {
            TVZeile z;
            z.Vertreter = lehrer;
            z.LehrerIndex = index;
            z.HatEMail = z.Senden = hatEMail;
            z.VertretungNr = static_cast<int>(daten.Zeilen.size()) + 100;
            z.Stunde = std::to_string(i + 1);
            daten.ZeilenFolge.push_back(static_cast<int>(daten.Zeilen.size()));
            daten.Zeilen.push_back(z);
        }
    }

    // The highlighted teacher: "" for none, the short name of one the plan does not know, else
    // "#" and the plan's index.
    std::string filter() const {
        if (!model.Lehrerfilter)
            return "";
        const Lehrerkennung& k = *model.Lehrerfilter;
        return k.index < 0 ? k.kurzname : "#" + std::to_string(k.index);
    }
    void handOver() { model.uebergabe(static_cast<int>(daten.Zeilen.size())); }
    const Tabellenzeile& line(int i) const { return model.zeilen()[static_cast<std::size_t>(i)]; }
    std::size_t slot(int kategorie) const {
        return static_cast<std::size_t>(model.layout().slotVon(kategorie));
    }
    // Lines `von` to `bis` as "number period tick markers fill": the tick box ("x" ticked, "o"
    // not, "-" hidden), each marker's colour ("-" hidden), the fill and text colour of the room
    // cell and the fill of the e-mail cell; "" for a hidden line.
    Bilder bilder(int von, int bis) const {
        Bilder b;
        for (int i = von; i <= bis; ++i) {
            const Tabellenzeile& l = line(i);
            std::string s = l.nummer + " " + l.text[slot(KatStunde)] + " " +
                            (l.hakenSichtbar ? (l.hakenGesetzt ? "x" : "o") : "-") + " ";
            for (std::size_t m = 0; m < 3; ++m)
                s += l.markierungSichtbar[m] ? farbe(l.markierung[m]) : '-';
            s += std::string(" ") + farbe(l.fuellung[slot(KatRaum)]) +
                 farbe(l.schrift[slot(KatRaum)]) + farbe(l.fuellung[slot(KatEMail)]);
            b.push_back(l.sichtbar ? s : "");
        }
        return b;
    }

    testing::RecordingUi ui;
    Einstellungen werte;
    Zeilenliste daten;
    TableModel model{ui, daten, werte};
};

TEST_F(TableModelTest, LayoutSharesBordersAndCentresTheControls) {
    model.anlegen();
    const Tabellenlayout& l = model.layout();
    ASSERT_EQ(l.zellen.size(), 14u);
    EXPECT_EQ(l.zellen[1].links, 36); // after the 35 pixel number panel
    EXPECT_EQ(l.zellen[1].breite, 101);
    EXPECT_EQ(l.zellen[2].links, 136); // shares the border line with its neighbour
    EXPECT_EQ(l.kopf[1].links, 37);
    EXPECT_EQ(l.hakenLinks(), l.zellen[slot(KatEMail)].links + (41 - 13) / 2);
    EXPECT_EQ(l.markierungLinks(2), l.zellen[slot(KatGeaendert)].links + (49 - 11) / 2);
}

// A column missing from the screen (up to the first -1) gives no control; highlight and ticking
// still know the teacher without a "Vertreter" column.
TEST_F(TableModelTest, ColumnsMissingFromTheScreenGiveNoControls) {
    werte.Bildschirmspalten = {0, 2, 12, -1, 6, 13, 14, 11, -1, -1, -1, -1, -1, -1, -1};
    rows("Huber", 1);
    handOver();
    EXPECT_EQ(model.layout().zellen.size(), 3u);
    EXPECT_TRUE(line(0).hakenSichtbar);
    EXPECT_FALSE(line(0).markierungSichtbar[0] || line(0).markierungSichtbar[1]);
    model.nummerGeklickt(0);
    EXPECT_EQ(filter(), "Huber");
    model.hakenGeklickt(0, false);
    EXPECT_FALSE(daten.Zeilen[0].Senden);
}

TEST_F(TableModelTest, MarkersAndTickBoxFollowTheRow) {
    rows("Ohne", 1, false);
    rows("Mit", 2);
    daten.Zeilen[0].Mitbetreuung = true;
    daten.Zeilen[0].Stunde = "-1";
    daten.Zeilen[1].Gesendet = true;
    daten.Zeilen[2].Geaendert = true;
    daten.Zeilen[2].Senden = false;
    handOver();
    // Without an e-mail address: no tick box and no sent/changed markers, but co-supervision.
    EXPECT_EQ(bilder(0, 2), (Bilder{"100  - g-- wsy", "101 1 x wgw wsy", "102 2 o wwr wsy"}));
}

TEST_F(TableModelTest, NumberClickTogglesTheHighlightAndScrollingKeepsIt) {
    rows("Anders", 2);
    rows("Berg", 20);
    rows("Anders", 1);
    handOver();
    model.nummerGeklickt(1);
    EXPECT_EQ(filter(), "Anders");
    EXPECT_EQ(bilder(1, 2), (Bilder{"101 2 x www BwB", "102 1 x www wsy"}));

    model.setzePosition(7); // the last line now shows Anders' late row, 122
    EXPECT_EQ(bilder(0, 0), Bilder{"107 6 x www wsy"});
    EXPECT_EQ(bilder(15, 15), Bilder{"122 1 x www BwB"});

    model.nummerGeklickt(15); // the same teacher again: highlight off
    EXPECT_EQ(filter(), "");
    EXPECT_EQ(bilder(15, 15), Bilder{"122 1 x www wsy"});
    model.nummerGeklickt(0); // another teacher
    EXPECT_EQ(filter(), "Berg");
    model.nummerGeklickt(15);
    EXPECT_EQ(filter(), "Anders");
    EXPECT_EQ(bilder(0, 0), Bilder{"107 6 x www wsy"});

    handOver(); // drops the highlight
    EXPECT_EQ(filter(), "");
    EXPECT_EQ(bilder(0, 0), Bilder{"100 1 x www wsy"});
}

// Settings changed after the lines exist and empty teacher names: the sixteen lines stay as
// created, and nothing is highlighted by mistake.
TEST_F(TableModelTest, LaterSettingsAndEmptyNamesDoNoHarm) {
    rows("", 2);
    handOver();
    const std::size_t slots = model.layout().zellen.size();
    werte.Bildschirmspalten = {0, 6, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
    werte.Spaltenbreiten.fill(-7);
    handOver();
    EXPECT_EQ(model.layout().zellen.size(), slots);
    model.MarkiereZeilen();
    model.nummerGeklickt(0);
    EXPECT_EQ(filter(), "");
    EXPECT_EQ(bilder(0, 1), (Bilder{"100 1 x www wsy", "101 2 x www wsy"}));
}

TEST_F(TableModelTest, BrokenDisplayOrderIsSkippedNotRead) {
    rows("Huber", 3);
    daten.ZeilenFolge = {0, 7, -2};
    handOver();
    EXPECT_EQ(line(1).zeile, -1);
    model.nummerGeklickt(1);
    model.hakenGeklickt(2, false);
    model.hakenGeklickt(20, false); // no such line
    model.hakenGeklickt(-1, false);
    EXPECT_EQ(filter(), "");
    EXPECT_TRUE(daten.Zeilen[0].Senden);
}

// Two teachers with one long name (long names are shown by default) are two teachers for the
// highlight and the tick box; a notice row explains itself instead of showing "-1".
TEST_F(TableModelTest, TeachersWithOneNameAreKeptApartAndNoticeRowsAreMarked) {
    rows("Müller", 2, true, 0);
    rows("Müller", 2, true, 1);
    daten.Zeilen.back().VertretungNr = -1;
    daten.Zeilen.back().Stunde = "-1";
    handOver();
    model.nummerGeklickt(2);
    EXPECT_EQ(filter(), "#1");
    model.hakenGeklickt(0, false);
    EXPECT_EQ(bilder(1, 3), (Bilder{"101 2 o www wsy", "102 1 x www BwB",
                                    std::string(TableModel::HinweisMarke) + "  x www BwB"}));
}

} // namespace
} // namespace tafelbot
