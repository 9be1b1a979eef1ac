#include "GuiTestSupport.h"

#include "settings/SettingsFile.h"

#include <QDialog>
#include <QMessageBox>
#include <QTimer>

namespace tafelbot::testing {

ModalAnswerer::ModalAnswerer() {
    QTimer::singleShot(10, this, &ModalAnswerer::pruefe);
}

void ModalAnswerer::ok(int anzahl) {
    for (int i = 0; i < anzahl; ++i)
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

Programm::Programm(const std::function<void(Einstellungen&)>& anpassen)
    : ini(dir.file("Tafelbot.ini")) {
    writeFile(dir.file("schule.gpn"),
              readFile(TAFELBOT_SOURCE_DIR "/tests/gui/data/kleine-schule.gpn"));
    Einstellungen werte;
    setzeStandardwerte(werte);
    werte.GpnDatei = dir.file("schule.gpn");
    werte.AktDatum = "20261207";
    werte.FehlermeldungBeimEinlesen = false;
    if (anpassen)
        anpassen(werte);
    writeFile(ini, iniInhalt(werte));
    fenster = std::make_unique<app::MainWindow>(ui, ini);
    fenster->resize(792, 573); // the original form: sixteen lines, whatever the screen
    ModalAnswerer antworten;
    fenster->show();
    QApplication::setActiveWindow(fenster.get()); // keys and shortcuts reach it as the user's
    fenster->aktivieren();
    QCOMPARE(antworten.texte, QStringList());
}

Programm::~Programm() {
    // Closing writes the settings file, as the window does.
    fenster->close();
}

} // namespace tafelbot::testing
