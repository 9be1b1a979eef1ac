#pragma once

#include <QCheckBox>
#include <QColor>
#include <QFrame>
#include <QLabel>
#include <array>
#include <vector>

class QScrollBar;

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
    void setFarbe(const QColor& farbe);
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

// The substitution table: header line, sixteen lines and the scroll bar. It draws the table
// model and forwards clicks and scrolling to it; it holds no state of its own.
class TablePanel : public QFrame {
    Q_OBJECT
public:
    struct Linie {
        NumberPanel* nummer = nullptr;
        std::vector<TableCell*> zellen; // per slot; entry 0 unused
        TickBox* haken = nullptr;
        std::array<TableMarker*, 3> markierungen{}; // Mitbetreuung may be missing
    };

    TablePanel(TableModel& model, QWidget* parent);

    // Draws the model anew; builds the lines the first time the model has them.
    void aktualisieren();

    QScrollBar* scrollBar() const { return scrollBar_; }
    const std::vector<Linie>& linien() const { return linien_; }
    const std::vector<QLabel*>& kopf() const { return kopf_; }

signals:
    // The user moved the scroll bar (the window then gives the focus to the tool bar).
    void gescrollt();

protected:
    void wheelEvent(QWheelEvent* event) override;

private:
    void bauen();

    TableModel& model_;
    QScrollBar* scrollBar_;
    std::vector<QLabel*> kopf_;
    std::vector<Linie> linien_;
};

} // namespace tafelbot::app
