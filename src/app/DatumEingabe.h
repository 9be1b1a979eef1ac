#pragma once

#include <QDate>
#include <QFrame>
#include <QString>

class QCalendarWidget;

namespace tafelbot::app {

// The short forms an office types ("7.12.2026", "07.12.26", "7.12." for this year) as the full
// "tt.mm.jjjj" the date check expects. Any other text comes back as typed, so that the check
// names it in its message; an impossible day is left to that check as well.
QString vollesDatum(const QString& eingabe, int diesesJahr);

// The calendar that drops down under the date field. Choosing a day (click, Enter, double
// click) closes it and reports the day; Escape closes it and changes nothing.
class KalenderPopup : public QFrame {
    Q_OBJECT
public:
    explicit KalenderPopup(QWidget* parent);

    // Shows the calendar below `anker` on the day `tag`, with the focus in it.
    void oeffnen(QWidget* anker, const QDate& tag);
    QCalendarWidget* kalender() const { return kalender_; }

signals:
    void gewaehlt(const QDate& tag);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void waehle(const QDate& tag);

    QCalendarWidget* kalender_;
};

} // namespace tafelbot::app
