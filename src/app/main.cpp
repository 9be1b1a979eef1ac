#include "app/MainWindow.h"
#include "app/QtUi.h"
#include "app/Style.h"
#include "settings/FixeTexte.h"
#include "settings/SettingsLocation.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <cstdio>
#include <string>

namespace {

int benutzung(const char* programm) {
    std::fprintf(stderr, "Aufruf: %s [--ini DATEI] [--screenshot PNG-DATEI]\n", programm);
    return 2;
}

// Saves the window as it stands after the first activation, for the documentation.
int bildSpeichern(tafelbot::app::MainWindow& fenster, const QString& datei) {
    fenster.aktivieren();
    QApplication::processEvents();
    if (!fenster.grab().save(datei)) {
        std::fprintf(stderr, "Kann %s nicht schreiben\n", qPrintable(datei));
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromStdString(tafelbot::FixeTexte::programmNameVersion()));

    std::string ini;
    QString bild;
    const QStringList argumente = QApplication::arguments();
    for (int i = 1; i < argumente.size(); ++i) {
        if (argumente[i] == QLatin1String("--ini") && i + 1 < argumente.size())
            ini = argumente[++i].toStdString();
        else if (argumente[i].startsWith(QLatin1String("--ini=")))
            ini = argumente[i].mid(6).toStdString();
        else if (argumente[i] == QLatin1String("--screenshot") && i + 1 < argumente.size())
            bild = argumente[++i];
        else
            return benutzung(argv[0]);
    }

    QTranslator uebersetzung;
    if (uebersetzung.load(QLocale(QLocale::German), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&uebersetzung);
    tafelbot::app::richteStilEin();

    tafelbot::app::QtUi ui;
    tafelbot::app::MainWindow fenster(ui, tafelbot::settingsFilePath(ini));
    fenster.show();
    if (!bild.isEmpty())
        return bildSpeichern(fenster, bild);
    return QApplication::exec();
}
