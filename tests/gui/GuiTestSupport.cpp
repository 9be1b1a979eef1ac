#include "GuiTestSupport.h"

#include "settings/Cp1252.h"
#include "settings/SettingsFile.h"

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace tafelbot::testing {

ModalAnswerer::ModalAnswerer() {
    QTimer::singleShot(10, this, &ModalAnswerer::pruefe);
}

void ModalAnswerer::ok() {
    add([](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        QVERIFY(box != nullptr);
        box->buttons().constFirst()->click();
    });
}

void ModalAnswerer::pruefe() {
    // The next check is due before the answer runs: an answer may open the next modal window,
    // whose event loop must still see this answerer.
    QTimer::singleShot(10, this, &ModalAnswerer::pruefe);
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || modal == zuletzt_.data() || !modal->isVisible())
        return;
    zuletzt_ = modal;
    if (auto* box = qobject_cast<QMessageBox*>(modal))
        texte << box->text();
    if (antworten_.empty()) {
        ++unerwartet;
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->done(QDialog::Rejected);
        return;
    }
    Antwort antwort = std::move(antworten_.front());
    antworten_.pop_front();
    antwort(modal);
}

namespace {

std::string lehrer(const std::string& kurz, const std::string& lang, const std::string& vorname,
                   const std::string& email) {
    return "00L," + kurz + "," + lang + "\r\nLe,,,,," + vorname + ",,,,,,,,," + email + "\r\n";
}

std::string vertretung(int nr, const std::string& datum, int stunde, const std::string& vertreter,
                       const std::string& statt, const std::string& fach, const std::string& raum,
                       const std::string& klasse, const std::string& art = "") {
    return "0V," + std::to_string(nr) + "," + datum + "," + std::to_string(stunde) + "," +
           vertreter + "," + statt + "," + fach + "," + raum + ",,Text " + std::to_string(nr) +
           ",,,," + art + "\r\nVk,," + klasse + "\r\n";
}

} // namespace

std::string kleineSchuleGpn() {
    std::string gpn = "0P,1,Erstes Halbjahr,20260801,20270131\r\n"
                      "0P,2,Zweites Halbjahr,20270201,20270731\r\n"
                      "0pL,1-2\r\nPE,1-2\r\n";
    gpn += lehrer("HUB", "Huber", "Anna", "huber@schule.example");
    gpn += lehrer("MUE", "Müller"_cp, "Jörg"_cp, "");
    gpn += lehrer("SCH", "Schulz", "Eva", "schulz@schule.example");
    gpn += lehrer("KOC", "Koch", "Paul", "koch@schule.example");
    gpn += "0U,101\r\nUf,,M\r\nUk,,5a\r\nUl,,HUB\r\nUz 1 1 1 1\r\n";
    const std::string montag = "20261207";
    gpn += vertretung(1, montag, 1, "HUB", "SCH", "D", "R101", "5a");
    gpn += vertretung(2, montag, 3, "HUB", "KOC", "E", "R102", "6b");
    gpn += vertretung(3, montag, 5, "HUB", "SCH", "M", "R103", "7c", "B");
    gpn += vertretung(4, montag, 2, "MUE", "HUB", "D", "R104", "5a");
    gpn += vertretung(5, montag, 4, "MUE", "SCH", "Bio", "R105", "8a");
    gpn += vertretung(6, montag, 6, "SCH", "HUB", "Ph", "R106", "9b");
    gpn += vertretung(7, montag, 2, "KOC", "MUE", "Ku", "R107", "10a");
    for (int i = 0; i < 20; ++i)
        gpn += vertretung(100 + i, "20261208", i % 10 + 1, i < 10 ? "KOC" : "SCH", "HUB", "M",
                          "R2" + std::to_string(i), "6a");
    gpn += vertretung(200, "20261211", 1, "HUB", "SCH", "D", "R301", "5a");
    gpn += vertretung(201, "20261212", 2, "SCH", "HUB", "D", "R302", "5b");
    gpn += vertretung(202, "20261214", 3, "KOC", "HUB", "D", "R303", "5c");
    return gpn;
}

Programm::Programm(const std::function<void(Einstellungen&)>& anpassen)
    : ini(dir.file("Tafelbot.ini")) {
    writeFile(dir.file("schule.gpn"), kleineSchuleGpn());
    Einstellungen werte;
    setzeStandardwerte(werte);
    werte.GpnDatei = dir.file("schule.gpn");
    werte.AktDatum = "20261207";
    werte.FehlermeldungBeimEinlesen = false;
    if (anpassen)
        anpassen(werte);
    starte(iniInhalt(werte));
}

Programm::Programm(const std::string& inhalt) : ini(dir.file("Tafelbot.ini")) {
    starte(inhalt);
}

void Programm::starte(const std::string& inhalt) {
    writeFile(ini, inhalt);
    fenster = std::make_unique<app::MainWindow>(ui, ini);
    ModalAnswerer antworten;
    fenster->show();
    fenster->aktivieren();
    QCOMPARE(antworten.texte, QStringList());
}

Programm::~Programm() {
    // Closing writes the settings file, as the window does.
    fenster->close();
}

} // namespace tafelbot::testing
