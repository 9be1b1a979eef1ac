#include "app/PeriodDialog.h"

#include "app/Text.h"
#include "core/MainWorkflow.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

namespace tafelbot::app {

PeriodDialog::PeriodDialog(MainWorkflow& workflow, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      workflow_(workflow), liste_(new QComboBox(this)),
      ok_(new QPushButton(QStringLiteral("Ok"), this)) {
    setObjectName(QStringLiteral("perioden"));
    setWindowTitle(QStringLiteral(" Bitte wählen Sie die gewünschte Periode aus!"));
    setFixedSize(392, 143);
    setModal(true);

    (new QLabel(QStringLiteral("ausgewählte Periode:"), this))->setGeometry(16, 18, 130, 22);
    liste_->setObjectName(QStringLiteral("periodenliste"));
    liste_->setGeometry(150, 16, 226, 26);
    auto* hinweis1 = new QLabel(
        QStringLiteral(
            "Die Auswahl der Periode ist nur für das zu vertretende Fach in der Spalte (Fach)"),
        this);
    auto* hinweis2 = new QLabel(
        QStringLiteral("und die Lehrerliste (falls diese periodenabhängig ist) von Bedeutung."),
        this);
    hinweis1->setGeometry(8, 54, 376, 18);
    hinweis2->setGeometry(8, 72, 376, 18);
    for (QLabel* l : {hinweis1, hinweis2})
        l->setAlignment(Qt::AlignCenter);
    ok_->setGeometry(156, 104, 80, 28);
    ok_->setDefault(true);
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
    exec();
}

void PeriodDialog::okGeklickt() {
    const int eintrag = liste_->currentIndex();
    hide(); // the main window shows the loading notice while the file is read again
    workflow_.periodeGewaehlt(eintrag);
    accept();
}

} // namespace tafelbot::app
