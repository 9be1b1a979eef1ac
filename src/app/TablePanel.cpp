#include "app/TablePanel.h"

#include "app/Text.h"
#include "core/TableModel.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

namespace tafelbot::app {

namespace {

QColor farbe(const Farbe& f) {
    return QColor(f.r, f.g, f.b);
}

const char* const Bildschirmueberschrift[AnzahlKategorien] = {
    "Vtr-Nr.",  "Datum",        "Stunde",    "(Fach)",   "Fach",
    "(Lehrer)", "Vertreter",    "Klasse(n)", "Raum",     "Vertr. von",
    "Text",     "Mitbetreuung", "eMail",     "gesendet", "geändert"};

} // namespace

TableCell::TableCell(QWidget* parent) : QWidget(parent) {}

void TableCell::setze(const QString& text, const QColor& fuellung, const QColor& schrift) {
    if (text == text_ && fuellung == fuellung_ && schrift == schrift_)
        return;
    text_ = text;
    fuellung_ = fuellung;
    schrift_ = schrift;
    update();
}

void TableCell::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), fuellung_);
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    painter.setPen(schrift_);
    const QRect textFeld = rect().adjusted(3, 1, -2, -1);
    painter.setClipRect(textFeld);
    painter.drawText(textFeld, Qt::AlignLeft | Qt::AlignVCenter, text_);
}

TableMarker::TableMarker(QWidget* parent) : QWidget(parent) {}

void TableMarker::setFarbe(const QColor& neu) {
    if (neu == farbe_)
        return;
    farbe_ = neu;
    update();
}

void TableMarker::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(farbe_);
    painter.drawEllipse(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}

TickBox::TickBox(QWidget* parent) : QCheckBox(parent) {}

void TickBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect kasten = rect().adjusted(0, 0, -1, -1);
    painter.fillRect(kasten, isDown() ? palette().color(QPalette::Button) : QColor(Qt::white));
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(kasten);
    if (!isChecked())
        return;
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1.8));
    const QPointF haken[] = {{2.8, 6.3}, {5.2, 9.0}, {10.0, 3.2}};
    painter.drawPolyline(haken, 3);
}

bool TickBox::hitButton(const QPoint& punkt) const {
    return rect().contains(punkt);
}

NumberPanel::NumberPanel(QWidget* parent) : QLabel(parent) {
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setLineWidth(1);
    setAlignment(Qt::AlignCenter);
    setCursor(Qt::PointingHandCursor);
}

void NumberPanel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

TablePanel::TablePanel(TableModel& model, QWidget* parent)
    : QFrame(parent), model_(model), scrollBar_(new QScrollBar(Qt::Vertical, this)) {
    setObjectName(QStringLiteral("tabelle"));
    setFrameStyle(QFrame::NoFrame);
    setAutoFillBackground(true);
    scrollBar_->setObjectName(QStringLiteral("scrollBar"));
    scrollBar_->setPageStep(TableModel::Seitengroesse);
    scrollBar_->setSingleStep(1);
    scrollBar_->setEnabled(false);
    connect(scrollBar_, &QScrollBar::valueChanged, this, [this](int wert) {
        model_.setzePosition(wert);
        if (model_.position != wert)
            aktualisieren(); // held at the last page
    });
    connect(scrollBar_, &QScrollBar::actionTriggered, this, [this] { emit gescrollt(); });
}

void TablePanel::bauen() {
    const Tabellenlayout& layout = model_.layout();
    const int hoehe = Tabellenlayout::zeilenOben(TableModel::Seitengroesse) + 1;
    scrollBar_->setGeometry(width() - 18, Tabellenlayout::zeilenOben(0), 16,
                            hoehe - Tabellenlayout::zeilenOben(0));

    for (const Tabellenlayout::Kopf& k : layout.kopf) {
        auto* bevel = new QLabel(this);
        bevel->setFrameStyle(QFrame::Panel | QFrame::Raised);
        bevel->setGeometry(k.links, Tabellenlayout::KopfOben, k.breite, Tabellenlayout::KopfHoehe);
        bevel->setIndent(1);
        bevel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        bevel->setText(QString::fromUtf8(Bildschirmueberschrift[k.kategorie]));
        bevel->show(); // created after the window may already be on screen
        kopf_.push_back(bevel);
    }

    for (int i = 0; i < TableModel::Seitengroesse; ++i) {
        const int oben = Tabellenlayout::zeilenOben(i);
        Linie linie;
        linie.nummer = new NumberPanel(this);
        linie.nummer->setObjectName(QStringLiteral("nummer%1").arg(i));
        linie.nummer->setGeometry(2, oben + 1, layout.nummerBreite, Tabellenlayout::NummerHoehe);
        connect(linie.nummer, &NumberPanel::clicked, this, [this, i] {
            model_.nummerGeklickt(i);
            aktualisieren();
        });
        linie.zellen.push_back(nullptr);
        for (std::size_t k = 1; k < layout.zellen.size(); ++k) {
            auto* zelle = new TableCell(this);
            zelle->setGeometry(layout.zellen[k].links, oben, layout.zellen[k].breite,
                               Tabellenlayout::ZellenHoehe);
            linie.zellen.push_back(zelle);
        }
        if (layout.hakenLinks() >= 0) {
            linie.haken = new TickBox(this);
            linie.haken->setObjectName(QStringLiteral("haken%1").arg(i));
            linie.haken->setGeometry(layout.hakenLinks(), oben + 4, Tabellenlayout::HakenGroesse,
                                     Tabellenlayout::HakenGroesse);
            linie.haken->setFocusPolicy(Qt::NoFocus);
            connect(linie.haken, &QCheckBox::clicked, this, [this, i](bool gesetzt) {
                model_.hakenGeklickt(i, gesetzt);
                aktualisieren();
            });
        }
        for (int m = 0; m < 3; ++m) {
            if (layout.markierungLinks(m) < 0)
                continue;
            auto* marker = new TableMarker(this);
            marker->setGeometry(layout.markierungLinks(m), oben + 5,
                                Tabellenlayout::MarkierungGroesse,
                                Tabellenlayout::MarkierungGroesse);
            linie.markierungen[static_cast<std::size_t>(m)] = marker;
        }
        // Drawn over the cells they sit in.
        if (linie.haken != nullptr)
            linie.haken->raise();
        for (TableMarker* marker : linie.markierungen)
            if (marker != nullptr)
                marker->raise();
        linien_.push_back(linie);
    }
}

void TablePanel::aktualisieren() {
    if (!model_.angelegt())
        return;
    if (linien_.empty())
        bauen();

    for (std::size_t i = 0; i < linien_.size(); ++i) {
        const Tabellenzeile& z = model_.zeilen()[i];
        Linie& linie = linien_[i];
        linie.nummer->setVisible(z.sichtbar);
        linie.nummer->setText(qt(z.nummer));
        for (std::size_t k = 1; k < linie.zellen.size(); ++k) {
            linie.zellen[k]->setze(qt(z.text[k]), farbe(z.fuellung[k]), farbe(z.schrift[k]));
            linie.zellen[k]->setVisible(z.sichtbar);
        }
        if (linie.haken != nullptr) {
            const QSignalBlocker sperre(linie.haken);
            linie.haken->setChecked(z.hakenGesetzt);
            linie.haken->setVisible(z.sichtbar && z.hakenSichtbar);
        }
        for (std::size_t m = 0; m < 3; ++m) {
            TableMarker* marker = linie.markierungen[m];
            if (marker == nullptr)
                continue;
            marker->setFarbe(farbe(z.markierung[m]));
            marker->setVisible(z.sichtbar && z.markierungSichtbar[m]);
        }
    }

    const QSignalBlocker sperre(scrollBar_);
    scrollBar_->setRange(0, std::max(0, model_.maximum - (TableModel::Seitengroesse - 1)));
    scrollBar_->setValue(model_.position);
    scrollBar_->setEnabled(model_.scrollbar);
}

void TablePanel::wheelEvent(QWheelEvent* event) {
    if (scrollBar_->isEnabled())
        QApplication::sendEvent(scrollBar_, event);
    else
        event->ignore();
}

} // namespace tafelbot::app
