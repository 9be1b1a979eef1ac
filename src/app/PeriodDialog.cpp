#include "app/PeriodDialog.h"

#include "app/Text.h"
#include "core/MainWorkflow.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>

namespace tafelbot::app {

namespace {

// One step smaller, down to a size that is still legible; false when there is no step left.
bool verkleinert(QFont& schrift) {
    if (schrift.pixelSize() > 0) {
        if (schrift.pixelSize() <= 9)
            return false;
        schrift.setPixelSize(schrift.pixelSize() - 1);
    } else {
        if (schrift.pointSizeF() <= 7.0)
            return false;
        schrift.setPointSizeF(schrift.pointSizeF() - 0.5);
    }
    return true;
}

} // namespace

PeriodDialog::PeriodDialog(MainWorkflow& workflow, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      workflow_(workflow), liste_(new QComboBox(this)),
      ok_(new QPushButton(QStringLiteral("&Ok"), this)) {
    setObjectName(QStringLiteral("perioden"));
    setWindowTitle(QStringLiteral(" Bitte wählen Sie die gewünschte Periode aus!"));
    setFixedSize(392, 143);
    setModal(true);

    auto* label = new QLabel(QStringLiteral("ausgewählte &Periode:"), this);
    label->setGeometry(16, 18, 130, 22);
    label->setBuddy(liste_);
    liste_->setObjectName(QStringLiteral("periodenliste"));
    liste_->setGeometry(150, 16, 226, 26);
    auto* hinweis1 = new QLabel(
        QStringLiteral(
            "Die Auswahl der Periode ist nur für das zu vertretende Fach in der Spalte (Fach)"),
        this);
    auto* hinweis2 = new QLabel(
        QStringLiteral("und die Lehrerliste (falls diese periodenabhängig ist) von Bedeutung."),
        this);
    // A little smaller, and wrapped only where even that does not fit the fixed width.
    int oben = 52;
    for (QLabel* hinweis : {hinweis1, hinweis2}) {
        QFont schrift = hinweis->font();
        while (QFontMetrics(schrift).horizontalAdvance(hinweis->text()) > 376 &&
               verkleinert(schrift)) {
        }
        hinweis->setFont(schrift);
        hinweis->setAlignment(Qt::AlignCenter);
        hinweis->setWordWrap(true);
        const int hoehe = hinweis->heightForWidth(376);
        hinweis->setGeometry(8, oben, 376, hoehe);
        oben += hoehe;
    }
    ok_->setGeometry(156, 104, 80, 28);
    ok_->setDefault(true); // Enter chooses; Escape closes and keeps the period in force
    connect(ok_, &QPushButton::clicked, this, &PeriodDialog::okGeklickt);
}

void PeriodDialog::vonModell() {
    const QSignalBlocker sperre(liste_);
    liste_->clear();
    for (const std::string& eintrag : workflow_.periodenListe)
        liste_->addItem(qt(eintrag));
    liste_->setCurrentIndex(workflow_.periodenAuswahl < liste_->count() ? workflow_.periodenAuswahl
                                                                        : -1);
    if (workflow_.periodenSichtbar > 0)
        liste_->setMaxVisibleItems(workflow_.periodenSichtbar);
}

void PeriodDialog::oeffnen() {
    vonModell();
    liste_->setFocus(Qt::OtherFocusReason);
    exec();
}

void PeriodDialog::okGeklickt() {
    const int eintrag = liste_->currentIndex();
    hide(); // the main window shows the loading notice while the file is read again
    workflow_.periodeGewaehlt(eintrag);
    accept();
}

} // namespace tafelbot::app
