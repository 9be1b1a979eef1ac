#include "app/MainWindow.h"
#include "app/QtUi.h"
#include "app/ServerSettingsDialog.h"
#include "app/Style.h"
#include "settings/FixeTexte.h"
#include "settings/SettingsLocation.h"

#include <QApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdio>
#include <string>

namespace {

int benutzung(const char* programm) {
    std::fprintf(stderr,
                 "Aufruf: %s [--ini DATEI] [--screenshot PNG-DATEI] "
                 "[--screenshot-einstellungen PNG-DATEI]\n",
                 programm);
    return 2;
}

bool speichere(const QPixmap& bild, const QString& datei) {
    if (bild.save(datei))
        return true;
    std::fprintf(stderr, "Kann %s nicht schreiben\n", qPrintable(datei));
    return false;
}

// Saves, for the documentation, the window as it stands after the first activation, filling
// the screen, and the server settings dialog.
int bilderSpeichern(tafelbot::app::MainWindow& fenster, const QString& hauptfenster,
                    const QString& einstellungen) {
    fenster.aktivieren();
    if (QScreen* bildschirm = QGuiApplication::primaryScreen())
        fenster.setGeometry(bildschirm->availableGeometry());
    QApplication::processEvents();
    if (!hauptfenster.isEmpty() && !speichere(fenster.grab(), hauptfenster))
        return 1;
    if (!einstellungen.isEmpty()) {
        QDialog* dialog = fenster.serverDialog();
        dialog->show();
        QApplication::processEvents();
        const bool gespeichert = speichere(dialog->grab(), einstellungen);
        dialog->hide();
        if (!gespeichert)
            return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(
        QString::fromStdString(tafelbot::FixeTexte::programmNameVersion()));

    std::string ini;
    QString bild;
    QString dialogBild;
    const QStringList argumente = QApplication::arguments();
    for (int i = 1; i < argumente.size(); ++i) {
        const QString& a = argumente[i];
        const bool wert = i + 1 < argumente.size();
        if (a == QLatin1String("--ini") && wert)
            ini = argumente[++i].toStdString();
        else if (a.startsWith(QLatin1String("--ini=")))
            ini = a.mid(6).toStdString();
        else if (a == QLatin1String("--screenshot") && wert)
            bild = argumente[++i];
        else if (a == QLatin1String("--screenshot-einstellungen") && wert)
            dialogBild = argumente[++i];
        else
            return benutzung(argv[0]);
    }

    if (!tafelbot::app::richteSpracheEin())
        std::fprintf(stderr, "Qts deutsche Übersetzungen (qtbase_de.qm) fehlen: die Dialoge von "
                             "Qt bleiben englisch. Abhilfe: Paket qt6-translations-l10n.\n");
    tafelbot::app::richteStilEin();

    tafelbot::app::QtUi ui;
    tafelbot::app::MainWindow fenster(ui, tafelbot::settingsFilePath(ini));
    fenster.show();
    if (!bild.isEmpty() || !dialogBild.isEmpty())
        return bilderSpeichern(fenster, bild, dialogBild);
    return QApplication::exec();
}
