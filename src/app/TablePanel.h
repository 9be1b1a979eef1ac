#pragma once

#include "plan/PlanDaten.h"
#include "settings/Einstellungen.h"

#include <QCheckBox>
#include <QColor>
#include <QFrame>
#include <QLabel>
#include <array>
#include <memory>
#include <vector>

class QHeaderView;
class QScrollBar;
class QStandardItemModel;

namespace tafelbot {
class TableModel;
}

namespace tafelbot::app {

// One cell of a table line: a rectangle with a border and its text, painted in one go.
class TableCell : public QWidget {
public:
    explicit TableCell(QWidget* parent);
    void setze(const QString& text, const QColor& fuellung, const QColor& schrift);
    const QString& text() const { return text_; }
    const QColor& fuellung() const { return fuellung_; }
    const QColor& schrift() const { return schrift_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString text_;
    QColor fuellung_ = Qt::white;
    QColor schrift_ = Qt::black;
};

// A circular marker.
class TableMarker : public QWidget {
public:
    explicit TableMarker(QWidget* parent);
    void setFarbe(const QColor& neu);
    const QColor& farbe() const { return farbe_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor farbe_ = Qt::white;
};

// The tick box, drawn at the table's 13 pixels whatever the widget style's own size.
class TickBox : public QCheckBox {
public:
    explicit TickBox(QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& punkt) const override;
};

// The raised number panel at the start of a line; a click highlights the teacher's rows.
class NumberPanel : public QLabel {
    Q_OBJECT
public:
    explicit NumberPanel(QWidget* parent);
signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// The substitution table: header line, the lines the height has room for (sixteen at least) and
// the scroll bar. It draws the table model and forwards clicks and scrolling to it. The columns
// take the width of their contents, the "Text" column what is left; a column the user widened
// or narrowed by its header keeps that width (a double click on its border gives it back to its
// contents).
class TablePanel : public QFrame {
    Q_OBJECT
public:
    struct Linie {
        NumberPanel* nummer = nullptr;
        std::vector<TableCell*> zellen; // per slot; entry 0 unused
        TickBox* haken = nullptr;
        std::array<TableMarker*, 3> markierungen{}; // Mitbetreuung may be missing
        TableCell* datum = nullptr;                 // the date column of several days
    };
    // Width per shown column, left to right, as the user set it; 0: it follows its contents.
    using Spaltenbreiten = std::vector<int>;

    TablePanel(TableModel& model, const Zeilenliste& daten, QWidget* parent);
    ~TablePanel() override;

    // Draws the model anew; builds the header and the lines the first time the model has them.
    void aktualisieren();

    const Spaltenbreiten& spaltenbreiten() const { return benutzerBreiten_; }
    // Widths of another column layout (a different number of columns) are not used.
    void setzeSpaltenbreiten(const Spaltenbreiten& breiten);

    QScrollBar* scrollBar() const { return scrollBar_; }
    QHeaderView* kopf() const { return kopf_; }
    const std::vector<Linie>& linien() const { return linien_; }
    int zeilenHoehe() const { return zeilenHoehe_; }
    QSize minimumSizeHint() const override;
    QSize sizeHint() const override { return minimumSizeHint(); }

signals:
    // The user moved the scroll bar (the window then gives the focus to the tool bar).
    void gescrollt();

protected:
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void bauKopf();
    void ergaenzeLinien();
    Linie neueLinie(int i);
    int zeilenOben(int zeile) const;
    int natuerlicheBreite(std::size_t slot) const;
    bool datumSichtbar() const;
    void spaltenAnpassen();
    void linienPlatzieren();
    void platziereLinie(std::size_t i);
    void zeilenzahlAnpassen();

    TableModel& model_;
    const Zeilenliste& daten_;
    QScrollBar* scrollBar_;
    QHeaderView* kopf_ = nullptr;
    std::unique_ptr<QStandardItemModel> kopfModell_;
    std::vector<Linie> linien_;
    Spaltenbreiten benutzerBreiten_;
    int zeilenHoehe_ = 20;
    int textSlot_ = -1; // the column that takes what is left
    // The header section of the date column that several days show after the number, when the
    // settings do not put a date column on screen anyway; -1 without one.
    int datumSektion_ = -1;
    bool setztBreiten_ = false;
};

} // namespace tafelbot::app
