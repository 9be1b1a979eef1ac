#include "GuiTestSupport.h"
#include "app/PeriodDialog.h"
#include "app/TablePanel.h"
#include "settings/Cp1252.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

using namespace tafelbot;
using namespace tafelbot::testing;

namespace {

app::TablePanel& tabelle(Programm& p) {
    return *p.fenster->tabelle();
}

int sichtbareZeilen(Programm& p) {
    int n = 0;
    for (const auto& linie : tabelle(p).linien())
        n += linie.nummer->isVisible() ? 1 : 0;
    return n;
}

QString zelle(Programm& p, int linie, int kategorie) {
    const int slot = p.wf().tabelle.layout().slotVon(kategorie);
    return tabelle(p)
        .linien()[static_cast<std::size_t>(linie)]
        .zellen[static_cast<std::size_t>(slot)]
        ->text();
}

QColor fuellung(Programm& p, int linie, int kategorie) {
    const int slot = p.wf().tabelle.layout().slotVon(kategorie);
    return tabelle(p)
        .linien()[static_cast<std::size_t>(linie)]
        .zellen[static_cast<std::size_t>(slot)]
        ->fuellung();
}

QCheckBox* haken(Programm& p, int linie) {
    return tabelle(p).linien()[static_cast<std::size_t>(linie)].haken;
}

void tippe(QLineEdit* feld, const QString& text) {
    feld->selectAll();
    QTest::keyClicks(feld, text);
    QTest::keyClick(feld, Qt::Key_Return);
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void startShowsTheRowsOfTheStoredDate();
    void demoSchoolOpensOnItsDate();
    void scrollingFillsTheSameSixteenLines();
    void arrowsStepOverTheWeekend_data();
    void arrowsStepOverTheWeekend();
    void typedDatesAreCheckedAndTheProgramGoesOn();
    void periodDialogReloadsOnlyForAnotherPeriod();
    void tickingOneRowTicksTheTeachersOtherRows();
    void clickingARowNumberTwiceRemovesTheHighlight();
    void chosenFileThatIsNoPlanLeavesTheTable();
    void closingWritesTheDateBack();
};

void MainWindowTest::startShowsTheRowsOfTheStoredDate() {
    Programm p;
    QCOMPARE(p.fenster->size(), QSize(792, 573));
    QCOMPARE(p.fenster->datumFeld()->text(), QStringLiteral("07.12.2026"));
    QCOMPARE(p.fenster->wochentagLabel()->text(), QStringLiteral("Montag"));
    QVERIFY(p.fenster->windowTitle().endsWith(QStringLiteral("  -  schule")));
    QVERIFY(p.fenster->periodeButton()->isEnabled());
    QCOMPARE(sichtbareZeilen(p), 7);
    QVERIFY(!tabelle(p).scrollBar()->isEnabled());
    QVERIFY(tabelle(p).scrollBar()->isVisible());
    QCOMPARE(zelle(p, 0, KatVertreter), QStringLiteral("Huber"));
    QCOMPARE(zelle(p, 3, KatVertreter), QStringLiteral("Müller"));
    QCOMPARE(zelle(p, 6, KatVertreter), QStringLiteral("Koch"));
    QCOMPARE(zelle(p, 0, KatKlassen), QStringLiteral("5a"));
    QCOMPARE(tabelle(p).linien()[0].nummer->text(), QStringLiteral("1"));
    QCOMPARE(fuellung(p, 0, KatEMail), QColor(255, 255, 200));
    // Müller has no e-mail address: no tick box and no sent/changed markers.
    QVERIFY(haken(p, 0)->isVisible() && haken(p, 0)->isChecked());
    QVERIFY(!haken(p, 3)->isVisible());
    QVERIFY(!tabelle(p).linien()[3].markierungen[1]->isVisible());
    QVERIFY(tabelle(p).linien()[3].markierungen[0]->isVisible());
    QCOMPARE(tabelle(p).linien()[2].markierungen[0]->farbe(),
             QColor(128, 128, 128)); // co-supervision
    QCOMPARE(tabelle(p).kopf().size(), std::size_t{14});
    QCOMPARE(tabelle(p).kopf()[1]->text(), QStringLiteral("Vertreter"));
    QVERIFY(tabelle(p).kopf()[1]->isVisible());

    QPlainTextEdit* log = p.fenster->infoLog();
    QVERIFY(log->isReadOnly());
    QVERIFY(log->toPlainText().contains(QStringLiteral("Ausgewählte Periode: 1 (von 2)")));
    QCOMPARE(log->palette().color(QPalette::Base), QColor(128, 128, 128));
    QVERIFY(!p.fenster->busyHinweis()->isVisible());
}

void MainWindowTest::demoSchoolOpensOnItsDate() {
    const std::string quelle = TAFELBOT_SOURCE_DIR "/examples/";
    std::string inhalt = readFile(quelle + "demo.ini");
    const std::string relativ = "\nexamples/demo.gpn";
    const auto stelle = inhalt.find(relativ);
    QVERIFY(stelle != std::string::npos);
    inhalt.replace(stelle, relativ.size(), "\n" + quelle + "demo.gpn");
    Programm p(inhalt);

    QCOMPARE(p.fenster->datumFeld()->text(), QStringLiteral("07.12.2026"));
    QVERIFY(p.fenster->windowTitle().endsWith(QStringLiteral("  -  demo")));
    QCOMPARE(sichtbareZeilen(p), 16);
    QVERIFY(tabelle(p).scrollBar()->isEnabled());
    // Adler was mailed on Friday and nothing changed: sent, not ticked.
    QCOMPARE(zelle(p, 0, KatVertreter), QStringLiteral("Adler"));
    QVERIFY(!haken(p, 0)->isChecked());
    QCOMPARE(tabelle(p).linien()[0].markierungen[1]->farbe(), QColor(128, 128, 128));
    // Schmitz's plan changed since: ticked and marked red.
    bool schmitz = false;
    for (int i = 0; i < 16; ++i) {
        if (zelle(p, i, KatVertreter) != QStringLiteral("Schmitz"))
            continue;
        schmitz = true;
        QVERIFY(haken(p, i)->isChecked());
        QCOMPARE(tabelle(p).linien()[static_cast<std::size_t>(i)].markierungen[2]->farbe(),
                 QColor(255, 0, 0));
    }
    QVERIFY(schmitz);
    // The notice row of Peters, who has nothing left that day, closes the table.
    QScrollBar* bar = tabelle(p).scrollBar();
    bar->setValue(bar->maximum());
    QCOMPARE(zelle(p, 15, KatVertreter), QStringLiteral("Peters"));
    QCOMPARE(zelle(p, 15, KatStunde), QString());
    QVERIFY(haken(p, 15)->isChecked());
}

void MainWindowTest::scrollingFillsTheSameSixteenLines() {
    Programm p([](Einstellungen& w) { w.AktDatum = "20261208"; });
    QCOMPARE(sichtbareZeilen(p), 16);
    QScrollBar* bar = tabelle(p).scrollBar();
    QVERIFY(bar->isEnabled());
    QCOMPARE(bar->maximum(), 4);
    const auto kinder = tabelle(p).findChildren<QWidget*>().size();
    const QString letzteVorher = tabelle(p).linien()[15].nummer->text();
    bar->setValue(4);
    QCOMPARE(p.wf().tabelle.position, 4);
    QCOMPARE(tabelle(p).linien()[15].nummer->text(), tabelle(p).linien()[15].nummer->text());
    QVERIFY(tabelle(p).linien()[11].nummer->text() == letzteVorher);
    QCOMPARE(tabelle(p).findChildren<QWidget*>().size(), kinder);

    // Back to a day with fewer rows: the scroll bar returns to the top and is disabled.
    QTest::mouseClick(p.fenster->naechsterTagButton(), Qt::LeftButton);
    QCOMPARE(p.wf().werte.AktDatum, std::string("20261209"));
    QCOMPARE(sichtbareZeilen(p), 0);
    QVERIFY(!bar->isEnabled());
    QCOMPARE(bar->value(), 0);
}

void MainWindowTest::arrowsStepOverTheWeekend_data() {
    QTest::addColumn<bool>("samstagsschule");
    QTest::addColumn<QString>("danach");
    QTest::addColumn<QString>("wochentag");
    QTest::addColumn<int>("zeilen");
    QTest::newRow("ohne Samstagsschule") << false << "14.12.2026"
                                         << "Montag" << 1;
    QTest::newRow("mit Samstagsschule") << true << "12.12.2026"
                                        << "Samstag" << 1;
}

void MainWindowTest::arrowsStepOverTheWeekend() {
    QFETCH(bool, samstagsschule);
    QFETCH(QString, danach);
    QFETCH(QString, wochentag);
    QFETCH(int, zeilen);
    Programm p([&](Einstellungen& w) {
        w.AktDatum = "20261211";
        w.SamstagsSchule = samstagsschule;
    });
    QCOMPARE(p.fenster->wochentagLabel()->text(), QStringLiteral("Freitag"));
    QCOMPARE(zelle(p, 0, KatVertreter), QStringLiteral("Huber"));
    QTest::mouseClick(p.fenster->naechsterTagButton(), Qt::LeftButton);
    QCOMPARE(p.fenster->datumFeld()->text(), danach);
    QCOMPARE(p.fenster->wochentagLabel()->text(), wochentag);
    QCOMPARE(sichtbareZeilen(p), zeilen);
    QCOMPARE(zelle(p, 0, KatVertreter),
             samstagsschule ? QStringLiteral("Schulz") : QStringLiteral("Koch"));
    QTest::mouseClick(p.fenster->vorigerTagButton(), Qt::LeftButton);
    QCOMPARE(p.fenster->datumFeld()->text(), QStringLiteral("11.12.2026"));
    QCOMPARE(zelle(p, 0, KatVertreter), QStringLiteral("Huber"));
}

void MainWindowTest::typedDatesAreCheckedAndTheProgramGoesOn() {
    Programm p;
    QLineEdit* feld = p.fenster->datumFeld();
    QCOMPARE(feld->maxLength(), 10);
    {
        ModalAnswerer antworten;
        antworten.ok();
        tippe(feld, QStringLiteral("1.3.2004"));
        QCOMPARE(antworten.texte,
                 QStringList{QStringLiteral(
                     "Die Datumseingabe \"1.3.2004\" entspricht nicht\ndem erlaubten "
                     "Format: \"tt.mm.jjjj\"!")});
    }
    {
        ModalAnswerer antworten;
        antworten.ok();
        tippe(feld, QStringLiteral("0a.03.2004"));
        QCOMPARE(antworten.texte.size(), 1);
        QVERIFY(antworten.texte[0].endsWith(QStringLiteral("(falsche Integerwerte)!")));
    }
    QCOMPARE(p.wf().werte.AktDatum, std::string("20261207"));
    QCOMPARE(sichtbareZeilen(p), 7);
    {
        ModalAnswerer antworten;
        antworten.ok();
        antworten.ok();
        tippe(feld, QStringLiteral("31.02.2004"));
        QVERIFY(!antworten.texte.isEmpty());
        QVERIFY(
            antworten.texte[0].startsWith(QStringLiteral("Str2DateTime(): Falsches Datumsformat")));
        QCOMPARE(antworten.unerwartet, 0);
    }
    QCOMPARE(sichtbareZeilen(p), 0);
    {
        ModalAnswerer antworten;
        tippe(feld, QStringLiteral("08.12.2026"));
        QCOMPARE(antworten.texte, QStringList());
    }
    QCOMPARE(p.fenster->wochentagLabel()->text(), QStringLiteral("Dienstag"));
    QCOMPARE(sichtbareZeilen(p), 16);
    // Typing alone changes nothing; only Enter confirms.
    feld->selectAll();
    QTest::keyClicks(feld, QStringLiteral("07.12.2026"));
    QCOMPARE(p.wf().werte.AktDatum, std::string("20261208"));
}

void MainWindowTest::periodDialogReloadsOnlyForAnotherPeriod() {
    Programm p;
    p.wf().log.display("Merkzeile", true);
    auto waehle = [&](int eintrag) {
        ModalAnswerer antworten;
        antworten.add([eintrag](QWidget* w) {
            auto* dialog = qobject_cast<app::PeriodDialog*>(w);
            QVERIFY(dialog != nullptr);
            QCOMPARE(dialog->windowTitle(),
                     QStringLiteral(" Bitte wählen Sie die gewünschte Periode aus!"));
            QCOMPARE(dialog->liste()->count(), 2);
            dialog->liste()->setCurrentIndex(eintrag);
            QTest::mouseClick(dialog->okButton(), Qt::LeftButton);
        });
        QTest::mouseClick(p.fenster->periodeButton(), Qt::LeftButton);
        QVERIFY(antworten.fertig());
        QCOMPARE(antworten.unerwartet, 0);
    };
    waehle(0); // the period in force: nothing is read again
    QVERIFY(p.fenster->infoLog()->toPlainText().contains(QStringLiteral("Merkzeile")));
    waehle(-1); // no entry: the period stays
    QCOMPARE(p.wf().werte.Periode, 1);
    QVERIFY(p.fenster->infoLog()->toPlainText().contains(QStringLiteral("Merkzeile")));
    waehle(1);
    QCOMPARE(p.wf().werte.Periode, 2);
    QVERIFY(!p.fenster->infoLog()->toPlainText().contains(QStringLiteral("Merkzeile")));
    QVERIFY(p.fenster->infoLog()->toPlainText().contains(
        QStringLiteral("Ausgewählte Periode: 2 (von 2)")));
    QCOMPARE(sichtbareZeilen(p), 7);
    QVERIFY(!p.fenster->busyHinweis()->isVisible());
}

void MainWindowTest::tickingOneRowTicksTheTeachersOtherRows() {
    Programm p([](Einstellungen& w) { w.AktDatum = "20261208"; });
    // Schulz comes before Koch in the teacher table: Schulz's rows are 0..9, Koch's 10..19.
    QTest::mouseClick(haken(p, 12), Qt::LeftButton);
    QVERIFY(!haken(p, 12)->isChecked());
    QVERIFY(!haken(p, 15)->isChecked());
    QVERIFY(haken(p, 0)->isChecked());
    for (const TVZeile& z : p.wf().zeilen.Zeilen)
        QCOMPARE(z.Senden, z.Vertreter != "Koch");
    tabelle(p).scrollBar()->setValue(4); // Koch's last rows come into view, unticked
    QVERIFY(!haken(p, 15)->isChecked());
    QTest::mouseClick(haken(p, 15), Qt::LeftButton);
    for (const TVZeile& z : p.wf().zeilen.Zeilen)
        QVERIFY(z.Senden);
    QVERIFY(haken(p, 10)->isChecked());
}

void MainWindowTest::clickingARowNumberTwiceRemovesTheHighlight() {
    Programm p;
    const QColor navy(0, 0, 128);
    auto* nummer = tabelle(p).linien()[1].nummer;
    QTest::mouseClick(nummer, Qt::LeftButton);
    QCOMPARE(p.wf().tabelle.Lehrerfilter, std::string("Huber"));
    for (int i : {0, 1, 2}) {
        QCOMPARE(fuellung(p, i, KatRaum), navy);
        QCOMPARE(fuellung(p, i, KatEMail), navy);
    }
    QCOMPARE(fuellung(p, 3, KatRaum), QColor(Qt::white));
    const int slot = p.wf().tabelle.layout().slotVon(KatRaum);
    QCOMPARE(tabelle(p).linien()[0].zellen[static_cast<std::size_t>(slot)]->schrift(),
             QColor(Qt::white));
    QTest::mouseClick(nummer, Qt::LeftButton);
    QCOMPARE(p.wf().tabelle.Lehrerfilter, std::string());
    QCOMPARE(fuellung(p, 0, KatRaum), QColor(Qt::white));
    QCOMPARE(fuellung(p, 0, KatEMail), QColor(255, 255, 200));
}

void MainWindowTest::chosenFileThatIsNoPlanLeavesTheTable() {
    Programm p;
    writeFile(p.dir.file("notizen.txt"), "Einkaufsliste\r\nBrot, Milch\r\n");
    QString startverzeichnis;
    p.fenster->dateiWaehlen = [&](const QString& start) {
        startverzeichnis = start;
        return QString::fromStdString(p.dir.file("notizen.txt"));
    };
    {
        ModalAnswerer antworten;
        QTest::mouseClick(p.fenster->gpnButton(), Qt::LeftButton);
        QCOMPARE(antworten.unerwartet, 0);
    }
    QCOMPARE(startverzeichnis + "/", QString::fromStdString(p.dir.path()));
    QVERIFY(p.fenster->windowTitle().endsWith(QStringLiteral("  -  notizen")));
    QCOMPARE(sichtbareZeilen(p), 0);
    QVERIFY(readFile(p.ini).find("notizen.txt") != std::string::npos);

    p.fenster->dateiWaehlen = [](const QString&) { return QString(); }; // cancelled
    QTest::mouseClick(p.fenster->gpnButton(), Qt::LeftButton);
    QVERIFY(p.fenster->windowTitle().endsWith(QStringLiteral("  -  notizen")));
}

void MainWindowTest::closingWritesTheDateBack() {
    std::string ini;
    std::string inhalt;
    {
        Programm p;
        QTest::mouseClick(p.fenster->naechsterTagButton(), Qt::LeftButton);
        ini = p.ini;
        QVERIFY(readFile(ini).find("20261208") == std::string::npos);
        QTest::mouseClick(p.fenster->beendenButton(), Qt::LeftButton);
        QVERIFY(!p.fenster->isVisible());
        inhalt = readFile(ini);
    }
    QVERIFY(inhalt.find("20261208") != std::string::npos);
}

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
