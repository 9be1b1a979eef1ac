#include "app/SendingView.h"

#include "app/MainWindow.h"
#include "app/ServerSettingsDialog.h"
#include "app/TablePanel.h"
#include "app/Text.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace tafelbot::app {

SendPanel::SendPanel(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("sendePanel"));
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setLineWidth(2);
    setAutoFillBackground(true);
    QPalette hell = palette();
    hell.setColor(QPalette::Window, QColor(236, 240, 248));
    setPalette(hell);

    ueberschrift_ = new QLabel(this);
    QFont fett = ueberschrift_->font();
    fett.setBold(true);
    fett.setPointSizeF(fett.pointSizeF() * 1.2);
    ueberschrift_->setFont(fett);
    absender_ = new QLabel(this);
    empfaenger_ = new QLabel(this);
    for (QLabel* wert : {absender_, empfaenger_}) {
        QFont f = wert->font();
        f.setBold(true);
        wert->setFont(f);
        wert->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
    status_ = new QLabel(this);
    status_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    abbrechen_ = new QPushButton(QStringLiteral("&Abbrechen"), this);
    abbrechen_->setAutoDefault(true);
    abbrechen_->setToolTip(QStringLiteral("Beendet den Versand (Esc); was schon versendet "
                                          "wurde, bleibt vermerkt."));
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, [this] {
        if (isVisible())
            abbrechen_->click();
    });

    auto* angaben = new QGridLayout;
    angaben->addWidget(new QLabel(QStringLiteral("Absender:"), this), 0, 0);
    angaben->addWidget(absender_, 0, 1);
    angaben->addWidget(new QLabel(QStringLiteral("Empfänger:"), this), 1, 0);
    angaben->addWidget(empfaenger_, 1, 1);
    angaben->setColumnStretch(1, 1);

    auto* spalte = new QVBoxLayout(this);
    spalte->setContentsMargins(18, 14, 18, 14);
    spalte->addWidget(ueberschrift_);
    spalte->addSpacing(6);
    spalte->addLayout(angaben);
    spalte->addStretch(1);
    spalte->addWidget(status_);
    auto* knopfZeile = new QHBoxLayout;
    knopfZeile->addStretch(1);
    knopfZeile->addWidget(abbrechen_);
    spalte->addLayout(knopfZeile);
}

SendingView::SendingView(MainWindow& fenster) : fenster_(fenster), workflow_(fenster.workflow()) {
    workflow_.attachEventLoop(loop_);

    panel_ = new SendPanel(&fenster); // placed over the table by the window
    panel_->hide();

    connect(panel_->abbrechenButton(), &QPushButton::clicked, this,
            [this] { workflow_.brecheVersandAb(); });
    connect(fenster.sendenButton(), &QPushButton::clicked, this,
            [this] { workflow_.sendeMarkierte(); });
    connect(fenster.serverDialog()->testMailButton(), &QPushButton::clicked, this,
            &SendingView::testMailSenden);
}

SendingView::~SendingView() {
    // The client's socket is watched by this loop: it goes first.
    workflow_.detachEventLoop();
}

void SendingView::anzeigen() {
    const auto& zustand = workflow_.sendePanel;
    panel_->absender()->setText(qt(zustand.absender));
    panel_->empfaenger()->setText(qt(zustand.empfaenger));
    panel_->ueberschrift()->setText(qt(zustand.ueberschrift));
    panel_->status()->setText(qt(zustand.status));
    const bool warSichtbar = panel_->isVisible();
    panel_->setVisible(zustand.sichtbar);
    if (zustand.sichtbar)
        panel_->raise();
    fenster_.werkzeugleiste()->setVisible(!zustand.sichtbar);
    fenster_.tabelle()->setEnabled(!zustand.sichtbar);
    // The focus follows the one control that is left, and comes back to the date afterwards.
    if (zustand.sichtbar && !warSichtbar)
        panel_->abbrechenButton()->setFocus(Qt::OtherFocusReason);
    else if (!zustand.sichtbar && warSichtbar)
        fenster_.datumFeld()->setFocus(Qt::OtherFocusReason);
}

// "Test-eMail senden": the settings are saved first, even when the mail then fails; while the
// mail goes out the dialog closes, so that the send panel can be seen.
void SendingView::testMailSenden() {
    ServerSettingsDialog& dialog = *fenster_.serverDialog();
    dialog.insModell();
    workflow_.einstellungenSpeichern();
    dialog.vonModell();
    const auto& m = workflow_.serverDialog;
    if (workflow_.testMailSenden(m.Empfaenger, m.Betreff, m.MailText))
        dialog.accept();
}

} // namespace tafelbot::app
