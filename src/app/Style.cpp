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
    schrift.setPointSizeF(8.25); // 11 pixels at 96 dots per inch
    QApplication::setFont(schrift);
}

} // namespace tafelbot::app
