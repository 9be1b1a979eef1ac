#include "GuiTestSupport.h"
#include "app/DatumEingabe.h"
#include "app/PeriodDialog.h"
#include "app/Style.h"

#include <QAbstractItemView>
#include <QCalendarWidget>
#include <QHeaderView>
#include <QMenu>
#include <QProcess>
#include <QScrollBar>
#include <cmath>

using namespace tafelbot;
using namespace tafelbot::testing;

namespace {

const app::TablePanel::Linie& linie(Programm& p, int i) {
    return p.fenster->tabelle()->linien()[static_cast<std::size_t>(i)];
}

const app::TableCell& zelle(Programm& p, int i, int kategorie) {
    return *linie(p, i)
                .zellen[static_cast<std::size_t>(p.wf().tabelle.layout().slotVon(kategorie))];
}

int sichtbareZeilen(Programm& p) {
    int n = 0;
    for (const auto& l : p.fenster->tabelle()->linien())
        n += l.nummer->isVisible() ? 1 : 0;
    return n;
}

// Types a date and Enter; returns the texts of the boxes that came, each answered with OK.
QStringList tippe(Programm& p, const QString& text, int boxen) {
    ModalAnswerer antworten;
    antworten.ok(boxen);
    p.fenster->datumFeld()->selectAll();
    QTest::keyClicks(p.fenster->datumFeld(), text);
    QTest::keyClick(p.fenster->datumFeld(), Qt::Key_Return);
    return antworten.texte;
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void startShowsTheRowsInGermanAndARowNumberTogglesTheHighlight();
    void theTableTakesTheRoomOfALargerWindowAndScrollsTheSameLines();
    void typedDatesAndTheCalendar();
    void keyboardReachesEveryButtonAndThePeriodDialogReloads();
    void chosenFileThatIsNoPlanLeavesAnEmptyTable();
    void severalDaysFollowOneAnotherWithTheirDates();
    void pdfHasAPagePerTeacher();
};

void MainWindowTest::startShowsTheRowsInGermanAndARowNumberTogglesTheHighlight() {
    QVERIFY(app::richteSpracheEin());
    for (const auto& [kontext, text, deutsch] :
         {std::tuple{"QFileDialog", "Look in:", "Suchen in:"},
          std::tuple{"QPlatformTheme", "Cancel", "Abbrechen"},
          std::tuple{"QPrintDialog", "Print", "Drucken"}})
        QCOMPARE(QCoreApplication::translate(kontext, text), QString::fromUtf8(deutsch));
    Programm p;
    QCOMPARE(p.fenster->focusWidget(), p.fenster->datumFeld()); // the morning starts with the day
    QCOMPARE(sichtbareZeilen(p), 7);
    QVERIFY(p.fenster->tabelle()->scrollBar()->isVisible() &&
            !p.fenster->busyHinweis()->isVisible());
    // Müller has no e-mail address: no tick box, no sent/changed markers, but co-supervision's.
    QCOMPARE(zelle(p, 3, KatVertreter).text(), QStringLiteral("Müller"));
    QVERIFY(linie(p, 0).haken->isVisible() && linie(p, 0).haken->isChecked());
    QVERIFY(!linie(p, 3).haken->isVisible() && !linie(p, 3).markierungen[1]->isVisible() &&
            linie(p, 3).markierungen[0]->isVisible());
    QCOMPARE(linie(p, 2).markierungen[0]->farbe(), QColor(128, 128, 128));

    QTest::mouseClick(linie(p, 1).nummer, Qt::LeftButton); // the teacher's rows (off: the model's)
    QCOMPARE(zelle(p, 0, KatEMail).fuellung(), QColor(0, 0, 128));
    QCOMPARE(zelle(p, 2, KatEMail).fuellung(), QColor(0, 0, 128));
    QCOMPARE(zelle(p, 3, KatEMail).fuellung(), QColor(255, 255, 200));

    // WCAG's contrast of the log's text on its ground.
    auto leuchtdichte = [&](QPalette::ColorRole rolle) {
        const QColor c = p.fenster->infoLog()->palette().color(rolle);
        auto k = [](double v) {
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * k(c.redF()) + 0.7152 * k(c.greenF()) + 0.0722 * k(c.blueF()) + 0.05;
    };
    QVERIFY(leuchtdichte(QPalette::Text) / leuchtdichte(QPalette::Base) >= 4.5);
}

// Twenty rows on the Tuesday: a small window shows sixteen and scrolls, a large one all twenty.
void MainWindowTest::theTableTakesTheRoomOfALargerWindowAndScrollsTheSameLines() {
    Programm p([](Einstellungen& w) { w.AktDatum = "20261208"; });
    app::TablePanel* tabelle = p.fenster->tabelle();
    QScrollBar* bar = tabelle->scrollBar();
    const QHeaderView* kopf = tabelle->kopf();
    for (const QSize groesse : {QSize(792, 573), QSize(1366, 900), QSize(792, 573)}) {
        p.fenster->resize(groesse);
        QApplication::processEvents();
        const bool gross = groesse.height() == 900;
        QCOMPARE(p.wf().tabelle.seitengroesse(),
                 gross ? (tabelle->height() - 2 - kopf->height() - 2) / tabelle->zeilenHoehe()
                       : 16);
        QCOMPARE(sichtbareZeilen(p), gross ? 20 : 16);
        QCOMPARE(bar->isEnabled(), !gross);
        QCOMPARE(bar->maximum(), gross ? 0 : 4);
        QVERIFY(zelle(p, 0, KatText).width() >= (gross ? 300 : 30));
        // The text column ends where the scroll bar begins; nothing else reaches past it.
        const int letzte = kopf->logicalIndex(kopf->count() - 1);
        const int rand = kopf->x() + kopf->sectionPosition(letzte) + kopf->sectionSize(letzte);
        QVERIFY(rand <= bar->x() && rand >= bar->x() - 8);
        QVERIFY(linie(p, 19 % p.wf().tabelle.seitengroesse()).nummer->geometry().bottom() <
                tabelle->height());
    }
    // Schulz comes before Koch in the teacher table: Schulz's rows are 0..9, Koch's 10..19. A
    // tick box stands for its teacher's rows; scrolling moves the rows through the same lines.
    const auto kinder = tabelle->findChildren<QWidget*>().size();
    QTest::mouseClick(linie(p, 12).haken, Qt::LeftButton);
    QVERIFY(!linie(p, 15).haken->isChecked() && linie(p, 0).haken->isChecked());
    const QString letzte = linie(p, 15).nummer->text();
    bar->setValue(bar->maximum()); // the last page holds the last sixteen rows
    QVERIFY(linie(p, 11).nummer->text() == letzte && !linie(p, 15).haken->isChecked());
    QTest::mouseClick(linie(p, 15).haken, Qt::LeftButton);
    for (const TVZeile& zeile : p.wf().zeilen.Zeilen)
        QVERIFY(zeile.Senden);
    QCOMPARE(tabelle->findChildren<QWidget*>().size(), kinder);
    // Every cell carries its whole text as a tooltip, however narrow the column.
    QCOMPARE(zelle(p, 0, KatText).toolTip(), zelle(p, 0, KatText).text());
    QVERIFY(!zelle(p, 0, KatText).text().isEmpty());

    // Place, size and a column the user widened come back at the next start.
    const int raum = p.wf().tabelle.layout().slotVon(KatRaum);
    p.fenster->setGeometry(40, 30, 1100, 700);
    tabelle->kopf()->resizeSection(raum, 140);
    p.fenster->close();
    QVERIFY(readFile(p.ini).find("\r\nFenster=40,30,1100,700\r\n") != std::string::npos);
    app::MainWindow wieder(p.ui, p.ini);
    ModalAnswerer antworten;
    wieder.show();
    wieder.aktivieren();
    QCOMPARE(wieder.geometry(), QRect(40, 30, 1100, 700));
    QCOMPARE(wieder.tabelle()->kopf()->sectionSize(raum), 140);
    QCOMPARE(antworten.texte, QStringList());
}

// The short forms an office types become the full date; a text that is no date gets the
// message with the text as typed, and the date in force stays. The calendar sets the day too.
void MainWindowTest::typedDatesAndTheCalendar() {
    Programm p;
    const QString jahr = QString::number(QDate::currentDate().year());
    const QString format = QStringLiteral("Die Datumseingabe \"%1\" entspricht nicht\ndem "
                                          "erlaubten Format: \"tt.mm.jjjj\"%2!");
    const struct {
        QString getippt, danach, meldung;
    } faelle[] = {
        {"9.12.", "09.12." + jahr, {}},
        {"8.12", "08.12." + jahr, {}},
        {"08.12.26", "08.12.2026", {}},
        {"x.12.2026", "08.12.2026", format.arg("x.12.2026", "")},
    };
    for (const auto& fall : faelle) {
        const QStringList boxen = tippe(p, fall.getippt, fall.meldung.isEmpty() ? 0 : 1);
        QCOMPARE(boxen, fall.meldung.isEmpty() ? QStringList() : QStringList{fall.meldung});
        QCOMPARE(p.fenster->datumFeld()->text(), fall.danach);
    }
    QCOMPARE(p.fenster->wochentagLabel()->text(), QStringLiteral("Dienstag"));
    QCOMPARE(sichtbareZeilen(p), 16);
    p.fenster->tabelle()->scrollBar()->setValue(4);
    QTest::keyClicks(p.fenster->datumFeld(), QStringLiteral("1.1.")); // Escape drops it
    QTest::keyClick(p.fenster->datumFeld(), Qt::Key_Escape);
    QCOMPARE(p.fenster->datumFeld()->text(), QStringLiteral("08.12.2026"));

    // The calendar opens on the day shown; a day chosen with the keys and Enter is taken,
    // Escape takes nothing.
    app::KalenderPopup* popup = p.fenster->kalender();
    QCalendarWidget* kalender = popup->kalender();
    auto* tage = kalender->findChild<QAbstractItemView*>();
    QTest::mouseClick(p.fenster->kalenderButton(), Qt::LeftButton);
    QVERIFY(popup->isVisible());
    QCOMPARE(kalender->selectedDate(), QDate(2026, 12, 8));
    QCOMPARE(kalender->locale().monthName(12), QStringLiteral("Dezember"));
    QTest::keyClick(tage, Qt::Key_Right);
    QTest::keyClick(tage, Qt::Key_Return);
    QVERIFY(!popup->isVisible());
    QCOMPARE(p.fenster->datumFeld()->text(), QStringLiteral("09.12.2026"));
    // A day with fewer rows: the scroll bar returns to the top and is disabled.
    QScrollBar* bar = p.fenster->tabelle()->scrollBar();
    QVERIFY(sichtbareZeilen(p) == 0 && !bar->isEnabled() && bar->value() == 0);
    QApplication::setActiveWindow(p.fenster.get()); // the offscreen platform leaves it to us
    QTest::keySequence(p.fenster.get(), QKeySequence(Qt::ALT | Qt::Key_K));
    QVERIFY(popup->isVisible());
    QTest::keyClick(tage, Qt::Key_Left);
    QTest::keyClick(popup, Qt::Key_Escape);
    QVERIFY(!popup->isVisible());
    QCOMPARE(p.wf().werte.AktDatum, std::string("20261209"));
}

// Tab walks the tool bar in reading order; Alt with a button's letter presses it; the school
// days step by keys as by the arrows. The period chosen in its dialog is read.
void MainWindowTest::keyboardReachesEveryButtonAndThePeriodDialogReloads() {
    Programm p([](Einstellungen& w) { w.AktDatum = "20261211"; });
    app::MainWindow& f = *p.fenster;
    const QList<QWidget*> erwartet{f.vorigerTagButton(), f.naechsterTagButton(),  f.datumFeld(),
                                   f.kalenderButton(),   f.tageAuswahl(),         f.gpnButton(),
                                   f.periodeButton(),    f.einstellungenButton(), f.sendenButton(),
                                   f.druckenButton(),    f.beendenButton()};
    f.vorigerTagButton()->setFocus();
    QList<QWidget*> reihe{QApplication::focusWidget()};
    for (qsizetype i = 1; i < erwartet.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        reihe << QApplication::focusWidget();
    }
    QCOMPARE(reihe, erwartet);
    for (const auto& [taste, datum] : {std::pair{QKeySequence(Qt::ALT | Qt::Key_Right), "14.12."},
                                       std::pair{QKeySequence(Qt::Key_PageUp), "11.12."},
                                       std::pair{QKeySequence(Qt::Key_PageDown), "14.12."},
                                       std::pair{QKeySequence(Qt::ALT | Qt::Key_Left), "11.12."}}) {
        QTest::keySequence(&f, taste);
        QCOMPARE(f.datumFeld()->text(), QString(datum) + "2026");
    }

    ModalAnswerer antworten;
    antworten.add([](QWidget* w) {
        auto* dialog = qobject_cast<app::PeriodDialog*>(w);
        QVERIFY(dialog != nullptr && dialog->liste()->count() == 2);
        dialog->liste()->setCurrentIndex(1);
        QTest::mouseClick(dialog->okButton(), Qt::LeftButton);
    });
    QTest::keySequence(&f, QKeySequence(Qt::ALT | Qt::Key_P));
    QTRY_VERIFY(antworten.fertig()); // a mnemonic presses its button a moment later
    QCOMPARE(antworten.unerwartet, 0);
    QVERIFY(f.infoLog()->toPlainText().contains(QStringLiteral("Ausgewählte Periode: 2 (von 2)")));
}

void MainWindowTest::chosenFileThatIsNoPlanLeavesAnEmptyTable() {
    Programm p;
    writeFile(p.dir.file("notizen.txt"), "Einkaufsliste\r\nBrot, Milch\r\n");
    QString start;
    p.fenster->dateiWaehlen = [&](const QString& verzeichnis) {
        start = verzeichnis;
        return QString::fromStdString(p.dir.file("notizen.txt"));
    };
    ModalAnswerer antworten;
    antworten.ok();
    QTest::mouseClick(p.fenster->gpnButton(), Qt::LeftButton);
    // One box: the reader's message for a file that is no plan (tests/plan/GpnLeserTest.cpp).
    QVERIFY(antworten.texte.size() == 1 && antworten.unerwartet == 0);
    QCOMPARE(start + "/", QString::fromStdString(p.dir.path()));
    QVERIFY(p.fenster->windowTitle().endsWith(QStringLiteral("  -  notizen")));
    QCOMPARE(sichtbareZeilen(p), 0);
    QVERIFY(readFile(p.ini).find("notizen.txt") != std::string::npos);
}

// Alt+T and the arrow keys choose three days from Monday: Monday's seven rows, Tuesday's twenty
// and none on Wednesday, one after another, each line with its date in a column of its own
// after the number, which one day does not show. The period's end stops the days with a line
// in the log.
void MainWindowTest::severalDaysFollowOneAnotherWithTheirDates() {
    Programm p([](Einstellungen& w) { w.Reihenfolge[KatDatum] = 0; });
    app::MainWindow& f = *p.fenster;
    const QHeaderView* kopf = f.tabelle()->kopf();
    const int datum = kopf->logicalIndex(1);
    QCOMPARE(kopf->model()->headerData(datum, Qt::Horizontal).toString(), QStringLiteral("Datum"));
    QVERIFY(kopf->isSectionHidden(datum) && !linie(p, 0).datum->isVisible());
    QTest::keySequence(&f, QKeySequence(Qt::ALT | Qt::Key_T));
    QCOMPARE(QApplication::focusWidget(), f.tageAuswahl());
    QTest::keyClick(f.tageAuswahl(), Qt::Key_Down);
    QTest::keyClick(f.tageAuswahl(), Qt::Key_Down);
    QCOMPARE(p.wf().zeilen.Zeilen.size(), std::size_t(27));
    QVERIFY(!kopf->isSectionHidden(datum));
    f.resize(1366, 900);
    QApplication::processEvents();
    QCOMPARE(sichtbareZeilen(p), 27);
    for (const auto& [i, tag] : {std::pair{0, "07.12."}, std::pair{6, "07.12."},
                                 std::pair{7, "08.12."}, std::pair{26, "08.12."}}) {
        QCOMPARE(linie(p, i).datum->text(), QString(tag));
        QVERIFY(linie(p, i).datum->isVisible());
        QVERIFY(linie(p, i).datum->x() < zelle(p, i, KatStunde).x());
    }
    QCOMPARE(p.wf().schultage.size(), std::size_t(3));

    tippe(p, QStringLiteral("29.01.2027"), 0);
    QVERIFY(f.infoLog()->toPlainText().contains(
        QStringLiteral("Die Periode \"Erstes Halbjahr\" endet am 31.01.2027; die Tage ab dem "
                       "01.02.2027 werden nicht bearbeitet.")));
    QCOMPARE(p.wf().schultage.size(), std::size_t(1));
    f.tageAuswahl()->setCurrentIndex(0);
    QVERIFY(kopf->isSectionHidden(datum) && p.wf().schultage.empty());
}

// "Als PDF speichern": a page per teacher with rows, or only for those without an address.
void MainWindowTest::pdfHasAPagePerTeacher() {
    Programm p;
    const struct {
        int tage;
        bool ohneAdresse;
        int seiten;
    } faelle[] = {{1, true, 1}, {2, false, 6}}; // (one day's every page: the command line's test)
    for (const auto& fall : faelle) {
        p.fenster->tageAuswahl()->setCurrentIndex(fall.tage - 1);
        const QString datei = QString::fromStdString(p.dir.file("plan.pdf"));
        QString vorschlag;
        p.fenster->druckumfangWaehlen = [&](const QString&) {
            return std::optional(fall.ohneAdresse);
        };
        p.fenster->pdfDateiWaehlen = [&](const QString& v) {
            vorschlag = v;
            return datei;
        };
        p.fenster->druckenButton()->menu()->actions().at(1)->trigger();
        QVERIFY(vorschlag.endsWith(QStringLiteral("/Vertretungsplan-20261207.pdf")));
        QProcess pdftotext; // pages end in a form feed; the teacher's name heads the page
        pdftotext.start(QStringLiteral("pdftotext"), {datei, QStringLiteral("-")});
        pdftotext.waitForFinished();
        const QString text = QString::fromUtf8(pdftotext.readAllStandardOutput());
        QCOMPARE(text.count('\f'), fall.seiten);
        QCOMPARE(text.contains(QStringLiteral("Anna Huber")), !fall.ohneAdresse); // Müller's only
    }
}

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
