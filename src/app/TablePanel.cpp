#include "app/TablePanel.h"

#include "app/Text.h"
#include "core/TableModel.h"

#include <QApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStandardItemModel>
#include <algorithm>

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
    if (text != text_)
        setToolTip(text); // the whole text, however narrow the column
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

TablePanel::TablePanel(TableModel& model, const Zeilenliste& daten, QWidget* parent)
    : QFrame(parent), model_(model), daten_(daten), scrollBar_(new QScrollBar(Qt::Vertical, this)) {
    setObjectName(QStringLiteral("tabelle"));
    setFrameStyle(QFrame::NoFrame);
    setAutoFillBackground(true);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    zeilenHoehe_ = std::max(20, fontMetrics().height() + 6);
    scrollBar_->setObjectName(QStringLiteral("scrollBar"));
    scrollBar_->setPageStep(model_.seitengroesse());
    scrollBar_->setSingleStep(1);
    scrollBar_->setEnabled(false);
    connect(scrollBar_, &QScrollBar::valueChanged, this, [this](int wert) {
        model_.setzePosition(wert);
        if (model_.position != wert)
            aktualisieren(); // held at the last page
    });
    connect(scrollBar_, &QScrollBar::actionTriggered, this, [this] { emit gescrollt(); });
}

TablePanel::~TablePanel() = default;

int TablePanel::zeilenOben(int zeile) const {
    const int kopfHoehe = kopf_ != nullptr ? kopf_->height() : zeilenHoehe_;
    return 1 + kopfHoehe + zeilenHoehe_ * zeile;
}

QSize TablePanel::minimumSizeHint() const {
    return {200, zeilenOben(TableModel::Seitengroesse) + 2};
}

void TablePanel::bauKopf() {
    const Tabellenlayout& layout = model_.layout();
    kopfModell_ = std::make_unique<QStandardItemModel>(0, static_cast<int>(layout.zellen.size()));
    for (std::size_t k = 0; k < layout.zellen.size(); ++k) {
        const int kategorie = layout.zellen[k].kategorie;
        kopfModell_->setHorizontalHeaderItem(
            static_cast<int>(k),
            new QStandardItem(QString::fromUtf8(Bildschirmueberschrift[kategorie])));
        if (kategorie == KatText)
            textSlot_ = static_cast<int>(k);
    }
    if (textSlot_ < 0)
        textSlot_ = static_cast<int>(layout.zellen.size()) - 1;
    if (layout.slotVon(KatDatum) < 0) {
        datumSektion_ = static_cast<int>(layout.zellen.size());
        kopfModell_->setHorizontalHeaderItem(
            datumSektion_, new QStandardItem(QString::fromUtf8(Bildschirmueberschrift[KatDatum])));
    }
    kopf_ = new QHeaderView(Qt::Horizontal, this);
    kopf_->setObjectName(QStringLiteral("kopf"));
    kopf_->setModel(kopfModell_.get());
    if (datumSektion_ >= 0) {
        kopf_->moveSection(datumSektion_, 1); // after the number, where the date is read first
        kopf_->setSectionResizeMode(datumSektion_, QHeaderView::Fixed);
        kopf_->setSectionHidden(datumSektion_, true);
    }
    kopf_->setSectionsClickable(false);
    kopf_->setHighlightSections(false);
    kopf_->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    kopf_->setMinimumSectionSize(12);
    kopf_->setSectionResizeMode(QHeaderView::Interactive);
    kopf_->setSectionResizeMode(textSlot_, QHeaderView::Fixed); // it takes what is left
    kopf_->setFocusPolicy(Qt::NoFocus);
    kopf_->setFixedHeight(std::max(zeilenHoehe_, kopf_->sizeHint().height()));
    kopf_->show(); // created after the window may already be on screen
    connect(kopf_, &QHeaderView::sectionResized, this, [this](int slot, int, int breite) {
        if (setztBreiten_ || slot == textSlot_ || slot == datumSektion_)
            return;
        benutzerBreiten_[static_cast<std::size_t>(slot)] = breite;
        spaltenAnpassen();
    });
    connect(kopf_, &QHeaderView::sectionHandleDoubleClicked, this, [this](int slot) {
        if (slot == datumSektion_)
            return;
        benutzerBreiten_[static_cast<std::size_t>(slot)] = 0;
        spaltenAnpassen();
    });
    if (benutzerBreiten_.size() != layout.zellen.size())
        benutzerBreiten_.assign(layout.zellen.size(), 0);
}

void TablePanel::setzeSpaltenbreiten(const Spaltenbreiten& breiten) {
    const std::size_t spalten = model_.angelegt() ? model_.layout().zellen.size() : breiten.size();
    if (breiten.size() != spalten)
        return;
    benutzerBreiten_ = breiten;
    for (int& b : benutzerBreiten_)
        b = std::max(0, b);
    if (kopf_ != nullptr)
        spaltenAnpassen();
}

TablePanel::Linie TablePanel::neueLinie(int i) {
    const Tabellenlayout& layout = model_.layout();
    Linie linie;
    linie.nummer = new NumberPanel(this);
    linie.nummer->setObjectName(QStringLiteral("nummer%1").arg(i));
    connect(linie.nummer, &NumberPanel::clicked, this, [this, i] {
        model_.nummerGeklickt(i);
        aktualisieren();
    });
    linie.zellen.push_back(nullptr);
    for (std::size_t k = 1; k < layout.zellen.size(); ++k)
        linie.zellen.push_back(new TableCell(this));
    if (layout.hakenLinks() >= 0) {
        linie.haken = new TickBox(this);
        linie.haken->setObjectName(QStringLiteral("haken%1").arg(i));
        linie.haken->setFocusPolicy(Qt::NoFocus);
        connect(linie.haken, &QCheckBox::clicked, this, [this, i](bool gesetzt) {
            model_.hakenGeklickt(i, gesetzt);
            aktualisieren();
        });
    }
    if (datumSektion_ >= 0)
        linie.datum = new TableCell(this);
    for (int m = 0; m < 3; ++m)
        if (layout.markierungLinks(m) >= 0)
            linie.markierungen[static_cast<std::size_t>(m)] = new TableMarker(this);
    // Drawn over the cells they sit in.
    if (linie.haken != nullptr)
        linie.haken->raise();
    for (TableMarker* marker : linie.markierungen)
        if (marker != nullptr)
            marker->raise();
    return linie;
}

// Lines are made when the model first has more of them than the panel; the ones made stay,
// so that growing and shrinking the window creates each line once.
void TablePanel::ergaenzeLinien() {
    const auto gebraucht = static_cast<std::size_t>(model_.seitengroesse());
    while (linien_.size() < gebraucht) {
        linien_.push_back(neueLinie(static_cast<int>(linien_.size())));
        platziereLinie(linien_.size() - 1);
    }
}

bool TablePanel::datumSichtbar() const {
    return datumSektion_ >= 0 && model_.mehrereTage;
}

int TablePanel::natuerlicheBreite(std::size_t slot) const {
    const QFontMetrics masse = fontMetrics();
    const int kategorie = static_cast<int>(slot) == datumSektion_
                              ? static_cast<int>(KatDatum)
                              : model_.layout().zellen[slot].kategorie;
    int breite = kopf_->sectionSizeHint(static_cast<int>(slot));
    if (kategorie == KatVtrNr) {
        for (const TVZeile& z : daten_.Zeilen)
            breite =
                std::max(breite, masse.horizontalAdvance(QString::number(z.VertretungNr)) + 12);
        return breite;
    }
    for (const TVZeile& z : daten_.Zeilen)
        breite = std::max(breite, masse.horizontalAdvance(qt(zellenText(z, kategorie))) + 8);
    return breite;
}

// The natural widths, the user's where set; when they do not fit, the widest of the others are
// cut to one common width, so that the "Text" column keeps at least its heading.
void TablePanel::spaltenAnpassen() {
    const Tabellenlayout& layout = model_.layout();
    const std::size_t n = layout.zellen.size();
    const int verfuegbar = width() - scrollBar_->width() - 6;
    std::vector<int> breite(n, 0);
    std::vector<bool> fest(n, false);
    const int datumBreite =
        datumSichtbar() ? natuerlicheBreite(static_cast<std::size_t>(datumSektion_)) : 0;
    int summeFest = datumBreite;
    int groesste = 0;
    for (std::size_t k = 0; k < n; ++k) {
        const int benutzer = benutzerBreiten_[k];
        fest[k] = benutzer > 0 || static_cast<int>(k) == textSlot_;
        breite[k] = benutzer > 0 ? benutzer : natuerlicheBreite(k);
        if (static_cast<int>(k) == textSlot_)
            continue;
        if (fest[k])
            summeFest += breite[k];
        else
            groesste = std::max(groesste, breite[k]);
    }
    const int textMindestens = kopf_->sectionSizeHint(textSlot_);
    auto summe = [&](int deckel) {
        int s = summeFest;
        for (std::size_t k = 0; k < n; ++k)
            if (!fest[k])
                s += std::min(breite[k], deckel);
        return s;
    };
    int deckel = groesste;
    if (summe(deckel) + textMindestens > verfuegbar) {
        int unten = 0;
        while (unten < deckel) { // the largest cap that still fits
            const int mitte = (unten + deckel + 1) / 2;
            if (summe(mitte) + textMindestens <= verfuegbar)
                unten = mitte;
            else
                deckel = mitte - 1;
        }
        deckel = std::max(deckel, 24);
    }
    setztBreiten_ = true;
    for (std::size_t k = 0; k < n; ++k) {
        if (static_cast<int>(k) == textSlot_)
            continue;
        kopf_->resizeSection(static_cast<int>(k),
                             fest[k] ? breite[k] : std::min(breite[k], deckel));
    }
    if (datumSichtbar())
        kopf_->resizeSection(datumSektion_, datumBreite);
    kopf_->resizeSection(textSlot_, std::max(textMindestens, verfuegbar - summe(deckel)));
    setztBreiten_ = false;
    kopf_->setGeometry(2, 1, verfuegbar, kopf_->height());
    linienPlatzieren();
}

void TablePanel::platziereLinie(std::size_t i) {
    const Tabellenlayout& layout = model_.layout();
    Linie& linie = linien_[i];
    const int oben = zeilenOben(static_cast<int>(i));
    auto links = [&](std::size_t k) { return 2 + kopf_->sectionPosition(static_cast<int>(k)); };
    auto breite = [&](std::size_t k) { return kopf_->sectionSize(static_cast<int>(k)); };
    linie.nummer->setGeometry(links(0), oben + 1, breite(0), zeilenHoehe_);
    for (std::size_t k = 1; k < linie.zellen.size(); ++k)
        linie.zellen[k]->setGeometry(links(k) - 1, oben, breite(k) + 1, zeilenHoehe_ + 1);
    auto mitte = [&](int slot, int groesse) {
        const auto k = static_cast<std::size_t>(slot);
        return QRect(links(k) - 1 + (breite(k) + 1 - groesse) / 2,
                     oben + (zeilenHoehe_ + 1 - groesse) / 2, groesse, groesse);
    };
    if (linie.datum != nullptr)
        linie.datum->setGeometry(links(static_cast<std::size_t>(datumSektion_)) - 1, oben,
                                 breite(static_cast<std::size_t>(datumSektion_)) + 1,
                                 zeilenHoehe_ + 1);
    if (linie.haken != nullptr)
        linie.haken->setGeometry(mitte(layout.slotVon(KatEMail), Tabellenlayout::HakenGroesse));
    static constexpr std::array<int, 3> markerKategorien{KatMitbetreuung, KatGesendet,
                                                         KatGeaendert};
    for (std::size_t m = 0; m < 3; ++m)
        if (linie.markierungen[m] != nullptr)
            linie.markierungen[m]->setGeometry(
                mitte(layout.slotVon(markerKategorien[m]), Tabellenlayout::MarkierungGroesse));
}

void TablePanel::linienPlatzieren() {
    for (std::size_t i = 0; i < linien_.size(); ++i)
        platziereLinie(i);
    const int oben = zeilenOben(0);
    scrollBar_->setGeometry(width() - scrollBar_->sizeHint().width() - 2, oben,
                            scrollBar_->sizeHint().width(),
                            zeilenOben(model_.seitengroesse()) + 1 - oben);
}

void TablePanel::zeilenzahlAnpassen() {
    const int platz = (height() - zeilenOben(0) - 2) / zeilenHoehe_;
    model_.setzeSeitengroesse(platz); // redraws through the window when the number changed
}

void TablePanel::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    if (kopf_ == nullptr)
        return;
    zeilenzahlAnpassen();
    spaltenAnpassen();
}

void TablePanel::aktualisieren() {
    if (!model_.angelegt())
        return;
    if (kopf_ == nullptr) {
        bauKopf();
        zeilenzahlAnpassen();
    }
    ergaenzeLinien();
    if (datumSektion_ >= 0)
        kopf_->setSectionHidden(datumSektion_, !model_.mehrereTage);
    spaltenAnpassen();

    const auto& zeilen = model_.zeilen();
    for (std::size_t i = 0; i < linien_.size(); ++i) {
        Linie& linie = linien_[i];
        if (i >= zeilen.size()) {
            linie.nummer->hide();
            for (std::size_t k = 1; k < linie.zellen.size(); ++k)
                linie.zellen[k]->hide();
            if (linie.haken != nullptr)
                linie.haken->hide();
            if (linie.datum != nullptr)
                linie.datum->hide();
            for (TableMarker* marker : linie.markierungen)
                if (marker != nullptr)
                    marker->hide();
            continue;
        }
        const Tabellenzeile& z = zeilen[i];
        linie.nummer->setVisible(z.sichtbar);
        linie.nummer->setText(qt(z.nummer));
        for (std::size_t k = 1; k < linie.zellen.size(); ++k) {
            linie.zellen[k]->setze(qt(z.text[k]), farbe(z.fuellung[k]), farbe(z.schrift[k]));
            linie.zellen[k]->setVisible(z.sichtbar);
        }
        if (linie.datum != nullptr) {
            // The date takes the colours of the row's first cell, the highlight included.
            linie.datum->setze(qt(z.datum), farbe(z.fuellung[1]), farbe(z.schrift[1]));
            linie.datum->setVisible(z.sichtbar && model_.mehrereTage);
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
    const int seite = model_.seitengroesse();
    scrollBar_->setRange(0, std::max(0, model_.maximum - (seite - 1)));
    scrollBar_->setPageStep(seite);
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
