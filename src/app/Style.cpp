#include "app/Style.h"

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QStyleFactory>
#include <QTranslator>

namespace tafelbot::app {

void richteStilEin() {
    if (QStyle* stil = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(stil);
    QFont schrift = QApplication::font();
    schrift.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                         QStringLiteral("Nimbus Sans"), QStringLiteral("Helvetica"),
                         QStringLiteral("DejaVu Sans")});
    schrift.setPointSizeF(8.25); // 11 pixels at 96 dots per inch
    QApplication::setFont(schrift);
}

bool richteSpracheEin() {
    const QLocale deutsch(QLocale::German, QLocale::Germany);
    QLocale::setDefault(deutsch);
    auto* uebersetzung = new QTranslator(QCoreApplication::instance()); // lives with the program
    if (!uebersetzung->load(deutsch, QStringLiteral("qtbase"), QStringLiteral("_"),
                            QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    return QCoreApplication::installTranslator(uebersetzung);
}

} // namespace tafelbot::app
