#include "core/TableModel.h"

#include "support/RecordingUi.h"

#include <gtest/gtest.h>

namespace tafelbot {
namespace {

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
            z.HatEMail = hatEMail;
            z.Senden = hatEMail;
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
    int slot(int kategorie) const { return model.layout().slotVon(kategorie); }
    std::string vertreterOf(int i) const {
        return line(i).text[static_cast<std::size_t>(slot(KatVertreter))];
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
    const auto& email = l.zellen[static_cast<std::size_t>(slot(KatEMail))];
    EXPECT_EQ(l.hakenLinks(), email.links + (41 - 13) / 2);
    const auto& geaendert = l.zellen[static_cast<std::size_t>(slot(KatGeaendert))];
    EXPECT_EQ(l.markierungLinks(2), geaendert.links + (49 - 11) / 2);
}

TEST_F(TableModelTest, ColumnsMissingFromTheScreenGiveNoControls) {
    werte.Bildschirmspalten = {0, 2, 12, -1, 6, 13, 14, 11, -1, -1, -1, -1, -1, -1, -1};
    rows("Huber", 1);
    handOver();
    EXPECT_EQ(model.layout().zellen.size(), 3u); // up to the first -1
    EXPECT_TRUE(line(0).hakenSichtbar);
    EXPECT_FALSE(line(0).markierungSichtbar[0]);
    EXPECT_FALSE(line(0).markierungSichtbar[1]);
    // Highlight and ticking still know the teacher without a "Vertreter" column.
    model.nummerGeklickt(0);
    EXPECT_EQ(filter(), "Huber");
    model.hakenGeklickt(0, false);
    EXPECT_FALSE(daten.Zeilen[0].Senden);
}

TEST_F(TableModelTest, FewRowsShowSomeLinesAndDisableTheScrollBar) {
    rows("Huber", 5);
    handOver();
    EXPECT_EQ(model.AnzeigeZeilen, 5);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(line(i).sichtbar, i < 5) << i;
    EXPECT_FALSE(model.scrollbar);
    EXPECT_EQ(model.position, 0);
    EXPECT_EQ(line(4).nummer, "104");
    EXPECT_EQ(line(4).text[static_cast<std::size_t>(slot(KatStunde))], "5");
}

TEST_F(TableModelTest, FortyRowsScrollWholeRowsUpToTheLastPage) {
    rows("Huber", 40);
    handOver();
    EXPECT_TRUE(model.scrollbar);
    EXPECT_EQ(model.maximum, 39);
    EXPECT_EQ(model.AnzeigeZeilen, 16);
    for (int p = 0; p <= 24; ++p) {
        model.setzePosition(p);
        EXPECT_EQ(line(0).zeile, p);
        EXPECT_EQ(line(15).zeile, p + 15);
    }
    model.setzePosition(30); // beyond the last page: held at maximum - 15
    EXPECT_EQ(model.position, 24);
    EXPECT_EQ(line(0).nummer, "124");
    EXPECT_EQ(line(15).nummer, "139");

    // A new hand-over starts at the top again, and fewer rows hide the surplus lines.
    daten.Zeilen.resize(3);
    daten.ZeilenFolge.resize(3);
    handOver();
    EXPECT_EQ(model.position, 0);
    EXPECT_FALSE(model.scrollbar);
    EXPECT_EQ(model.AnzeigeZeilen, 3);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(line(i).sichtbar, i < 3) << i;
    EXPECT_FALSE(line(3).hakenSichtbar);
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

    // A teacher without an e-mail address: no tick box, no sent/changed markers, but the
    // co-supervision marker.
    EXPECT_FALSE(line(0).hakenSichtbar);
    EXPECT_FALSE(line(0).markierungSichtbar[1]);
    EXPECT_FALSE(line(0).markierungSichtbar[2]);
    EXPECT_TRUE(line(0).markierungSichtbar[0]);
    EXPECT_EQ(line(0).markierung[0], Grau);
    EXPECT_EQ(line(0).text[static_cast<std::size_t>(slot(KatStunde))], "");

    EXPECT_TRUE(line(1).hakenSichtbar);
    EXPECT_TRUE(line(1).hakenGesetzt);
    EXPECT_EQ(line(1).markierung[0], Weiss);
    EXPECT_EQ(line(1).markierung[1], Grau);
    EXPECT_EQ(line(1).markierung[2], Weiss);
    EXPECT_FALSE(line(2).hakenGesetzt);
    EXPECT_EQ(line(2).markierung[1], Weiss);
    EXPECT_EQ(line(2).markierung[2], Rot);
}

TEST_F(TableModelTest, TickingOneRowTicksTheTeachersRowsInAndOutOfView) {
    rows("Anders", 10);
    rows("Berg", 10);
    rows("Anders", 5); // rows 20..24, below the visible part
    handOver();
    model.hakenGeklickt(3, false);
    for (const TVZeile& z : daten.Zeilen)
        EXPECT_EQ(z.Senden, z.Vertreter != "Anders");
    EXPECT_FALSE(line(0).hakenGesetzt);
    EXPECT_TRUE(line(12).hakenGesetzt); // Berg's

    model.setzePosition(9); // rows 9..24: lines 11..15 show Anders' late rows
    EXPECT_FALSE(line(15).hakenGesetzt);
    model.hakenGeklickt(15, true);
    for (const TVZeile& z : daten.Zeilen)
        EXPECT_TRUE(z.Senden);
    EXPECT_TRUE(line(0).hakenGesetzt);

    // A click on a line without a shown box (no e-mail, or not in use) changes nothing.
    model.hakenGeklickt(20, false);
    model.hakenGeklickt(-1, false);
    for (const TVZeile& z : daten.Zeilen)
        EXPECT_TRUE(z.Senden);
}

TEST_F(TableModelTest, NumberClickTogglesTheHighlightAndScrollingKeepsIt) {
    rows("Anders", 2);
    rows("Berg", 20);
    rows("Anders", 1);
    handOver();
    const auto email = static_cast<std::size_t>(slot(KatEMail));
    const auto raum = static_cast<std::size_t>(slot(KatRaum));

    model.nummerGeklickt(1);
    EXPECT_EQ(filter(), "Anders");
    EXPECT_EQ(line(0).fuellung[raum], Marineblau);
    EXPECT_EQ(line(1).fuellung[email], Marineblau);
    EXPECT_EQ(line(1).schrift[raum], Weiss);
    EXPECT_EQ(line(2).fuellung[raum], Weiss);
    EXPECT_EQ(line(2).fuellung[email], Hellgelb);

    model.setzePosition(7); // the last line now shows Anders' late row
    EXPECT_EQ(vertreterOf(15), "Anders");
    EXPECT_EQ(line(15).fuellung[raum], Marineblau);
    EXPECT_EQ(line(0).fuellung[raum], Weiss);

    model.nummerGeklickt(15); // the same teacher again: highlight off
    EXPECT_EQ(filter(), "");
    EXPECT_EQ(line(15).fuellung[raum], Weiss);

    model.nummerGeklickt(0); // another teacher
    EXPECT_EQ(filter(), "Berg");
    model.nummerGeklickt(15);
    EXPECT_EQ(filter(), "Anders");
    EXPECT_EQ(line(0).fuellung[raum], Weiss);

    // A new hand-over drops the highlight.
    handOver();
    EXPECT_EQ(filter(), "");
    EXPECT_EQ(line(0).fuellung[raum], Weiss);
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
    EXPECT_TRUE(line(1).hakenSichtbar);

    const auto raum = static_cast<std::size_t>(slot(KatRaum));
    model.MarkiereZeilen();
    EXPECT_EQ(line(0).fuellung[raum], Weiss);
    model.nummerGeklickt(0);
    EXPECT_EQ(filter(), "");
    EXPECT_EQ(line(1).fuellung[raum], Weiss);
}

TEST_F(TableModelTest, BrokenDisplayOrderIsSkippedNotRead) {
    rows("Huber", 3);
    daten.ZeilenFolge = {0, 7, -2};
    handOver();
    EXPECT_EQ(line(0).zeile, 0);
    EXPECT_EQ(line(1).zeile, -1);
    model.nummerGeklickt(1);
    model.hakenGeklickt(2, false);
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
    const auto raum = static_cast<std::size_t>(slot(KatRaum));
    model.nummerGeklickt(2);
    EXPECT_EQ(filter(), "#1");
    EXPECT_EQ(line(1).fuellung[raum], Weiss);
    EXPECT_EQ(line(2).fuellung[raum], Marineblau);
    model.hakenGeklickt(0, false);
    EXPECT_FALSE(daten.Zeilen[1].Senden);
    EXPECT_TRUE(daten.Zeilen[2].Senden);
    EXPECT_EQ(line(2).nummer, "102");
    EXPECT_EQ(line(3).nummer, TableModel::HinweisMarke);
}

} // namespace
} // namespace tafelbot
