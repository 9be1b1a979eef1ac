#include "GuiTestSupport.h"
#include "app/PeriodDialog.h"
#include "app/TablePanel.h"
#include "settings/SettingsFile.h"
#include "support/RecordingUi.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>
#include <tuple>

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

QString lehrer(Programm& p, int i) {
    return zelle(p, i, KatVertreter).text();
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
    for (int i = 0; i < boxen; ++i)
        antworten.ok();
    p.fenster->datumFeld()->selectAll();
    QTest::keyClicks(p.fenster->datumFeld(), text);
    QTest::keyClick(p.fenster->datumFeld(), Qt::Key_Return);
    return antworten.texte;
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void startShowsTheRowsAndARowNumberTogglesTheHighlight();
    void demoSchoolOpensOnItsDate();
    void scrollingAndTickingUseTheSameSixteenLines();
    void arrowsStepOverTheWeekend();
    void typedDatesAreCheckedAndTheProgramGoesOn();
    void periodDialogReloadsOnlyForAnotherPeriod();
    void chosenFileThatIsNoPlanLeavesAnEmptyTable();
};

void MainWindowTest::startShowsTheRowsAndARowNumberTogglesTheHighlight() {
    Programm p;
    QCOMPARE(p.fenster->size(), QSize(792, 573));
    QCOMPARE(p.fenster->datumFeld()->text(), QStringLiteral("07.12.2026"));
    QCOMPARE(p.fenster->wochentagLabel()->text(), QStringLiteral("Montag"));
    QVERIFY(p.fenster->periodeButton()->isEnabled());
    QCOMPARE(sichtbareZeilen(p), 7);
    QScrollBar* bar = p.fenster->tabelle()->scrollBar();
    QVERIFY(!bar->isEnabled() && bar->isVisible());
    QVERIFY(p.fenster->tabelle()->kopf()[1]->isVisible());
    QVERIFY(p.fenster->infoLog()->toPlainText().contains(
        QStringLiteral("Ausgewählte Periode: 1 (von 2)")));
    QVERIFY(!p.fenster->busyHinweis()->isVisible());
    // Müller has no e-mail address: no tick box, no sent/changed markers, but co-supervision's.
    QCOMPARE(lehrer(p, 3), QStringLiteral("Müller"));
    QVERIFY(linie(p, 0).haken->isVisible() && linie(p, 0).haken->isChecked());
    QVERIFY(!linie(p, 3).haken->isVisible() && !linie(p, 3).markierungen[1]->isVisible());
    QVERIFY(linie(p, 3).markierungen[0]->isVisible());
    QCOMPARE(linie(p, 2).markierungen[0]->farbe(), QColor(128, 128, 128));

    const QColor navy(0, 0, 128);
    QTest::mouseClick(linie(p, 1).nummer, Qt::LeftButton);
    for (int i : {0, 1, 2}) {
        QCOMPARE(zelle(p, i, KatRaum).fuellung(), navy);
        QCOMPARE(zelle(p, i, KatEMail).fuellung(), navy);
        QCOMPARE(zelle(p, i, KatRaum).schrift(), QColor(Qt::white));
    }
    QCOMPARE(zelle(p, 3, KatRaum).fuellung(), QColor(Qt::white));
    QTest::mouseClick(linie(p, 1).nummer, Qt::LeftButton);
    QCOMPARE(zelle(p, 0, KatRaum).fuellung(), QColor(Qt::white));
    QCOMPARE(zelle(p, 0, KatEMail).fuellung(), QColor(255, 255, 200));
}

void MainWindowTest::demoSchoolOpensOnItsDate() {
    Programm p([](Einstellungen& w) {
        RecordingUi still;
        IniLesen(w, TAFELBOT_SOURCE_DIR "/examples/demo.ini", still);
        w.GpnDatei = TAFELBOT_SOURCE_DIR "/examples/demo.gpn";
    });
    QVERIFY(p.fenster->windowTitle().endsWith(QStringLiteral("  -  demo")));
    QCOMPARE(sichtbareZeilen(p), 16);
    // Adler was mailed on Friday and nothing changed since: sent, not ticked.
    QCOMPARE(lehrer(p, 0), QStringLiteral("Adler"));
    QVERIFY(!linie(p, 0).haken->isChecked());
    QCOMPARE(linie(p, 0).markierungen[1]->farbe(), QColor(128, 128, 128));
    // The notice row of Peters, who has nothing left that day, closes the table.
    QScrollBar* bar = p.fenster->tabelle()->scrollBar();
    bar->setValue(bar->maximum());
    QCOMPARE(lehrer(p, 15), QStringLiteral("Peters"));
    QCOMPARE(zelle(p, 15, KatStunde).text(), QString());
    QCOMPARE(linie(p, 15).markierungen[2]->farbe(), QColor(255, 0, 0));
}

void MainWindowTest::scrollingAndTickingUseTheSameSixteenLines() {
    Programm p([](Einstellungen& w) { w.AktDatum = "20261208"; });
    QScrollBar* bar = p.fenster->tabelle()->scrollBar();
    QVERIFY(bar->isEnabled());
    QCOMPARE(bar->maximum(), 4);
    const auto kinder = p.fenster->tabelle()->findChildren<QWidget*>().size();

    // Schulz comes before Koch in the teacher table: Schulz's rows are 0..9, Koch's 10..19.
    QTest::mouseClick(linie(p, 12).haken, Qt::LeftButton);
    QVERIFY(!linie(p, 15).haken->isChecked() && linie(p, 0).haken->isChecked());
    for (const TVZeile& z : p.wf().zeilen.Zeilen)
        QCOMPARE(z.Senden, z.Vertreter != "Koch");
    const QString letzte = linie(p, 15).nummer->text();
    bar->setValue(4); // Koch's last rows come into view, unticked
    QCOMPARE(linie(p, 11).nummer->text(), letzte);
    QVERIFY(!linie(p, 15).haken->isChecked());
    QTest::mouseClick(linie(p, 15).haken, Qt::LeftButton);
    for (const TVZeile& z : p.wf().zeilen.Zeilen)
        QVERIFY(z.Senden);
    QCOMPARE(p.fenster->tabelle()->findChildren<QWidget*>().size(), kinder);

    // A day with fewer rows: the scroll bar returns to the top and is disabled.
    QTest::mouseClick(p.fenster->naechsterTagButton(), Qt::LeftButton);
    QCOMPARE(sichtbareZeilen(p), 0);
    QVERIFY(!bar->isEnabled());
    QCOMPARE(bar->value(), 0);
}

void MainWindowTest::arrowsStepOverTheWeekend() {
    for (auto [samstagsschule, danach, erster] :
         {std::tuple{false, "14.12.2026", "Koch"}, std::tuple{true, "12.12.2026", "Schulz"}}) {
        Programm p([&](Einstellungen& w) {
            w.AktDatum = "20261211";
            w.SamstagsSchule = samstagsschule;
        });
        QCOMPARE(p.fenster->wochentagLabel()->text(), QStringLiteral("Freitag"));
        QTest::mouseClick(p.fenster->naechsterTagButton(), Qt::LeftButton);
        QCOMPARE(p.fenster->datumFeld()->text(), QString(danach));
        QCOMPARE(lehrer(p, 0), QString(erster));
        QTest::mouseClick(p.fenster->vorigerTagButton(), Qt::LeftButton);
        QCOMPARE(p.fenster->datumFeld()->text(), QStringLiteral("11.12.2026"));
        QCOMPARE(lehrer(p, 0), QStringLiteral("Huber"));
    }
}

// Which texts pass and which message the others get is the workflow's; here the wiring: the box
// shows the message's LF CR as one line break, and only Enter confirms.
void MainWindowTest::typedDatesAreCheckedAndTheProgramGoesOn() {
    Programm p;
    QCOMPARE(p.fenster->datumFeld()->maxLength(), 10);
    QCOMPARE(tippe(p, QStringLiteral("1.3.2004"), 1),
             QStringList{QStringLiteral("Die Datumseingabe \"1.3.2004\" entspricht nicht\ndem "
                                        "erlaubten Format: \"tt.mm.jjjj\"!")});
    QCOMPARE(sichtbareZeilen(p), 7);

    QCOMPARE(tippe(p, QStringLiteral("08.12.2026"), 0), QStringList());
    QCOMPARE(p.fenster->wochentagLabel()->text(), QStringLiteral("Dienstag"));
    QCOMPARE(sichtbareZeilen(p), 16);
    QTest::keyClicks(p.fenster->datumFeld(), QStringLiteral("x"));
    QCOMPARE(p.wf().werte.AktDatum, std::string("20261208"));
}

// Which choices read the file again is the workflow's rule; here the dialog's entries, and that
// the window leaves the decision to the workflow.
void MainWindowTest::periodDialogReloadsOnlyForAnotherPeriod() {
    Programm p;
    p.wf().log.display("Merkzeile", true);
    auto waehle = [&](int eintrag) -> QString {
        ModalAnswerer antworten;
        antworten.add([eintrag](QWidget* w) {
            auto* dialog = qobject_cast<app::PeriodDialog*>(w);
            QVERIFY(dialog != nullptr && dialog->liste()->count() == 2);
            dialog->liste()->setCurrentIndex(eintrag);
            QTest::mouseClick(dialog->okButton(), Qt::LeftButton);
        });
        QTest::mouseClick(p.fenster->periodeButton(), Qt::LeftButton);
        const bool beantwortet = antworten.fertig() && antworten.unerwartet == 0;
        return beantwortet ? p.fenster->infoLog()->toPlainText() : QString();
    };
    QVERIFY(waehle(0).contains(QStringLiteral("Merkzeile"))); // the period in force: no reload
    const QString log = waehle(1);
    QCOMPARE(p.wf().werte.Periode, 2);
    QVERIFY(!log.contains(QStringLiteral("Merkzeile")));
    QVERIFY(log.contains(QStringLiteral("Ausgewählte Periode: 2 (von 2)")));
    QCOMPARE(sichtbareZeilen(p), 7);
}

void MainWindowTest::chosenFileThatIsNoPlanLeavesAnEmptyTable() {
    Programm p;
    writeFile(p.dir.file("notizen.txt"), "Einkaufsliste\r\nBrot, Milch\r\n");
    QString start;
    p.fenster->dateiWaehlen = [&](const QString& verzeichnis) {
        start = verzeichnis;
        return QString::fromStdString(p.dir.file("notizen.txt"));
    };
    {
        ModalAnswerer antworten;
        antworten.ok();
        QTest::mouseClick(p.fenster->gpnButton(), Qt::LeftButton);
        QCOMPARE(antworten.unerwartet, 0);
        QCOMPARE(antworten.texte.size(), 1);
        QVERIFY(antworten.texte[0].contains(QStringLiteral("ist unvollständig")));
    }
    QCOMPARE(start + "/", QString::fromStdString(p.dir.path()));
    QVERIFY(p.fenster->windowTitle().endsWith(QStringLiteral("  -  notizen")));
    QCOMPARE(sichtbareZeilen(p), 0);
    QVERIFY(readFile(p.ini).find("notizen.txt") != std::string::npos);
}

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
