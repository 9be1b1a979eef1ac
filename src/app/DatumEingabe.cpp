#include "app/DatumEingabe.h"

#include <QCalendarWidget>
#include <QKeyEvent>
#include <QRegularExpression>
#include <QVBoxLayout>

namespace tafelbot::app {

QString vollesDatum(const QString& eingabe, int diesesJahr) {
    static const QRegularExpression kurz(
        QStringLiteral(R"(^\s*(\d{1,2})\.(\d{1,2})(?:\.(\d{2}|\d{4})?)?\s*$)"));
    const QRegularExpressionMatch teile = kurz.match(eingabe);
    if (!teile.hasMatch())
        return eingabe;
    const QString jahr = teile.captured(3);
    int j = diesesJahr;
    if (jahr.size() == 4)
        j = jahr.toInt();
    else if (jahr.size() == 2)
        j = 2000 + jahr.toInt(); // a school plans its coming days, not the last century
    return QStringLiteral("%1.%2.%3")
        .arg(teile.captured(1).toInt(), 2, 10, QLatin1Char('0'))
        .arg(teile.captured(2).toInt(), 2, 10, QLatin1Char('0'))
        .arg(j, 4, 10, QLatin1Char('0'));
}

KalenderPopup::KalenderPopup(QWidget* parent)
    : QFrame(parent, Qt::Popup), kalender_(new QCalendarWidget(this)) {
    setObjectName(QStringLiteral("kalenderPopup"));
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    kalender_->setObjectName(QStringLiteral("kalender"));
    kalender_->setLocale(QLocale(QLocale::German, QLocale::Germany));
    kalender_->setFirstDayOfWeek(Qt::Monday);
    kalender_->setGridVisible(true);
    kalender_->setVerticalHeaderFormat(QCalendarWidget::ISOWeekNumbers);
    auto* rahmen = new QVBoxLayout(this);
    rahmen->setContentsMargins(1, 1, 1, 1);
    rahmen->addWidget(kalender_);
    connect(kalender_, &QCalendarWidget::clicked, this, &KalenderPopup::waehle);
    connect(kalender_, &QCalendarWidget::activated, this, &KalenderPopup::waehle);
}

void KalenderPopup::oeffnen(QWidget* anker, const QDate& tag) {
    if (tag.isValid())
        kalender_->setSelectedDate(tag);
    adjustSize();
    move(anker->mapToGlobal(QPoint(0, anker->height())));
    show();
    kalender_->setFocus(Qt::PopupFocusReason);
}

void KalenderPopup::waehle(const QDate& tag) {
    hide();
    emit gewaehlt(tag);
}

void KalenderPopup::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        hide();
        return;
    }
    QFrame::keyPressEvent(event);
}

} // namespace tafelbot::app
