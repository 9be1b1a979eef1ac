#include "app/Style.h"

#include <QApplication>
#include <QFont>
#include <QStyleFactory>

namespace tafelbot::app {

void richteStilEin() {
    if (QStyle* stil = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(stil);
    QFont schrift = QApplication::font();
    schrift.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                         QStringLiteral("Nimbus Sans"), QStringLiteral("Helvetica"),
                         QStringLiteral("DejaVu Sans")});
    schrift.setPixelSize(11);
    QApplication::setFont(schrift);
}

} // namespace tafelbot::app
