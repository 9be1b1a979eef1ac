#include "app/ServerSettingsDialog.h"

#include "app/OAuthAnmeldung.h"
#include "app/Text.h"
#include "core/MainWorkflow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tafelbot::app {

namespace {

std::vector<std::string> zeilenVon(const QPlainTextEdit* feld) {
    std::vector<std::string> zeilen;
    const QString text = feld->toPlainText();
    if (text.isEmpty())
        return zeilen;
    for (const QString& zeile : text.split(QLatin1Char('\n')))
        zeilen.push_back(cp(zeile));
    return zeilen;
}

void zeilenSetzen(QPlainTextEdit* feld, const std::vector<std::string>& zeilen) {
    QStringList text;
    for (const std::string& zeile : zeilen)
        text << qt(zeile);
    feld->setPlainText(text.join(QLatin1Char('\n')));
}

QPushButton* knopf(const QString& text, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setAutoDefault(true); // Enter presses the button that has the focus
    return button;
}

} // namespace

ServerSettingsDialog::ServerSettingsDialog(MainWorkflow& workflow, QWidget* parent)
    : QDialog(parent), workflow_(workflow) {
    setObjectName(QStringLiteral("serverEinstellungen"));
    setWindowTitle(QStringLiteral("Server-Einstellungen & Test-eMail senden"));
    setModal(true);

    // Left: one row per setting, label and field, in the order Tab walks them. A row's tooltip
    // says what the setting is for; the label carries it too.
    auto* links = new QGroupBox(QStringLiteral("Einstellungen für den SMTP-Server"), this);
    auto* raster = new QGridLayout(links);
    raster->setVerticalSpacing(4);
    int zeile = 0;
    auto feld = [&](const QString& beschriftung, QWidget* eingabe, const QString& zweck) {
        auto* label = new QLabel(beschriftung, links);
        label->setBuddy(eingabe);
        label->setToolTip(zweck);
        eingabe->setToolTip(zweck);
        raster->addWidget(label, zeile, 0);
        raster->addWidget(eingabe, zeile, 1);
        ++zeile;
        return label;
    };
    auto zeilenfeld = [&] { return new QLineEdit(links); };
    auto schalter = [&](const QString& text, const QString& zweck) {
        auto* box = new QCheckBox(text, links);
        box->setToolTip(zweck);
        raster->addWidget(box, zeile++, 0, 1, 2);
        return box;
    };
    auto liste = [&](const auto& eintraege) {
        auto* box = new QComboBox(links);
        for (const std::string& eintrag : eintraege)
            box->addItem(qt(eintrag));
        return box;
    };

    oauth_ = new OAuthAnmeldung(workflow_, links);
    raster->addWidget(oauth_, zeile++, 0, 1, 2);
    feld(QStringLiteral("Name:"), absendername_ = zeilenfeld(),
         QStringLiteral("Der Name, den die Lehrkräfte als Absender der eMails sehen, z. B. "
                        "„Vertretungsplaner“."));
    feld(QStringLiteral("SMTP-Adresse:"), smtpServer_ = zeilenfeld(),
         QStringLiteral("Der Postausgangsserver (SMTP) des eMail-Kontos, z. B. smtp.schule.de."));
    feld(QStringLiteral("Port:"), port_ = zeilenfeld(),
         QStringLiteral("Der Port des SMTP-Servers: meist 587 (STARTTLS) oder 465 (TLS), "
                        "ohne Verschlüsselung 25."));
    verbindungssicherheit_ = liste(ServerSettingsModel::VerbindungssicherheitListe);
    feld(QStringLiteral("Verbindungssicherheit:"), verbindungssicherheit_,
         QStringLiteral("Die Verschlüsselung der Verbindung. „Automatisch“: TLS auf Port 465, "
                        "sonst STARTTLS, wenn der Server es anbietet."));
    zertifikatUngeprueft_ =
        schalter(QStringLiteral("Zertifikat des Servers auch ungeprüft annehmen (unsicher)"),
                 QStringLiteral("Nur für einen Server mit selbst ausgestelltem Zertifikat: die "
                                "Verbindung ist dann nicht sicher vor fremden Mithörern."));
    feld(QStringLiteral("Name des eMail-Kontos:"), kontoname_ = zeilenfeld(),
         QStringLiteral("Die Anmeldung (Login) am SMTP-Server: der Benutzername des "
                        "eMail-Kontos, oft die eMail-Adresse selbst."));
    kennwortSpeichern_ = schalter(
        QStringLiteral("Kennwort speichern (verschlüsselt)"),
        QStringLiteral("Das Kennwort verschlüsselt in der Einstellungsdatei speichern. Ohne "
                       "Haken fragt das Programm beim Versenden danach."));
    kennwortLabel_ = feld(QStringLiteral("Kennwort:"), kennwort_ = zeilenfeld(),
                          QStringLiteral("Das Kennwort des eMail-Kontos."));
    kennwort_->setEchoMode(QLineEdit::Password);
    kennwort_->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    feld(QStringLiteral("Anmeldename:"), anmeldename_ = zeilenfeld(),
         QStringLiteral("Der Name, mit dem sich das Programm beim Server meldet (Begrüßung HELO "
                        "oder EHLO), z. B. der Name dieses Rechners. Nicht die Anmeldung am "
                        "Konto: die gehört in „Name des eMail-Kontos“."));
    feld(QStringLiteral("eMail-Adresse des Absenders:"), absender_ = zeilenfeld(),
         QStringLiteral("Die Adresse, von der die eMails kommen; meist die des eMail-Kontos."));
    feld(QStringLiteral("Antwort an eMail-Adresse:"), antwortAn_ = zeilenfeld(),
         QStringLiteral("Die Adresse, an die Antworten der Lehrkräfte gehen."));
    authentifizierung_ = liste(ServerSettingsModel::AuthentifizierungListe);
    feld(QStringLiteral("Authentifizierung:"), authentifizierung_,
         QStringLiteral("Das Verfahren der Anmeldung am Server. „None“: ohne Anmeldung; "
                        "„AutoSelect“: das sicherste, das der Server anbietet."));
    prioritaet_ = liste(ServerSettingsModel::PrioritaetListe);
    feld(QStringLiteral("Priorität:"), prioritaet_,
         QStringLiteral("Die Wichtigkeit, die die eMails tragen; „Nicht spezifiziert“ lässt "
                        "sie weg."));
    kopieSenden_ = schalter(QStringLiteral("zusätzliche Kontroll-eMail versenden"),
                            QStringLiteral("Jede eMail geht unsichtbar (Bcc) auch an die "
                                           "Adresse darunter, z. B. zur Kontrolle im Büro."));
    kopieAnLabel_ = feld(QStringLiteral("eMail zusätzlich versenden an:"), kopieAn_ = zeilenfeld(),
                         QStringLiteral("Die Adresse, die jede eMail zur Kontrolle erhält."));
    zusatztextAnhaengen_ =
        schalter(QStringLiteral("Zusatztext am Ende der eMail (erscheint in einem Absatz):"),
                 QStringLiteral("Den Text darunter als letzten Absatz an jede eMail anhängen."));
    zusatztext_ = new QPlainTextEdit(links);
    zusatztext_->setToolTip(QStringLiteral(
        "Ein Absatz von höchstens 254 Zeichen; Zeilen werden mit Leerzeichen verbunden."));
    zusatztext_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    zusatztext_->setFixedHeight(64);
    zusatztext_->setTabChangesFocus(true);
    zusatztext_->installEventFilter(this);
    raster->addWidget(zusatztext_, zeile++, 0, 1, 2);
    raster->setColumnMinimumWidth(1, 240); // an address such as the demo's fits whole
    oauth_->felderVerbinden({smtpServer_,
                             port_,
                             verbindungssicherheit_,
                             kontoname_,
                             {kennwortSpeichern_, kennwortLabel_, kennwort_}});

    auto* rechts = new QGroupBox(QStringLiteral("Test-eMail"), this);
    auto* spalte = new QVBoxLayout(rechts);
    spalte->setSpacing(4);
    auto rechtsFeld = [&](const QString& beschriftung, QWidget* eingabe, const QString& zweck) {
        auto* label = new QLabel(beschriftung, rechts);
        label->setBuddy(eingabe);
        label->setToolTip(zweck);
        eingabe->setToolTip(zweck);
        spalte->addWidget(label);
        spalte->addWidget(eingabe);
    };
    lehrerliste_ = new QComboBox(rechts);
    lehrerliste_->setMaxVisibleItems(33);
    rechtsFeld(QStringLiteral("Empfänger aus Lehrerliste:"), lehrerliste_,
               QStringLiteral("Eine Lehrkraft wählen setzt ihre eMail-Adresse als Empfänger ein "
                              "(„+“: mit, „-“: ohne eMail-Adresse)."));
    rechtsFeld(QStringLiteral("eMail-Adresse des Empfängers:"), empfaenger_ = new QLineEdit(rechts),
               QStringLiteral("Die Adresse, an die die Test-eMail geht."));
    rechtsFeld(QStringLiteral("Betreff:"), betreff_ = new QLineEdit(rechts),
               QStringLiteral("Der Betreff der Test-eMail."));
    mailText_ = new QPlainTextEdit(rechts);
    mailText_->setLineWrapMode(QPlainTextEdit::NoWrap);
    mailText_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mailText_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mailText_->setTabChangesFocus(true);
    rechtsFeld(QStringLiteral("eMail-Text:"), mailText_,
               QStringLiteral("Der Text der Test-eMail; das Programm hängt an, wann es sie "
                              "erstellt hat."));
    auto* testKnoepfe = new QHBoxLayout;
    testMail_ = knopf(QStringLiteral("&Test-eMail senden"), rechts);
    testMail_->setToolTip(QStringLiteral("Speichert die Einstellungen und sendet die Test-eMail."));
    felderLoeschen_ = knopf(QStringLiteral("&Felder löschen"), rechts);
    felderLoeschen_->setToolTip(
        QStringLiteral("Leert Empfänger, Betreff und Text der Test-eMail."));
    testKnoepfe->addWidget(testMail_);
    testKnoepfe->addWidget(felderLoeschen_);
    spalte->addLayout(testKnoepfe);

    // Enter anywhere but in a multi-line text is "Ok", Escape is "Abbrechen".
    ok_ = knopf(QStringLiteral("&Ok   (Einstellungen speichern)"), this);
    ok_->setDefault(true);
    ok_->setToolTip(QStringLiteral("Speichert die Einstellungen und schließt (Eingabetaste)."));
    abbrechen_ = knopf(QStringLiteral("&Abbrechen "), this);
    abbrechen_->setToolTip(QStringLiteral("Verwirft die Änderungen und schließt (Esc)."));
    auto* knoepfe = new QHBoxLayout;
    knoepfe->addStretch(1);
    knoepfe->addWidget(ok_);
    knoepfe->addWidget(abbrechen_);

    auto* seiten = new QHBoxLayout;
    seiten->addWidget(links);
    seiten->addWidget(rechts, 1);
    rechts->setMinimumWidth(330);
    auto* gesamt = new QVBoxLayout(this);
    gesamt->addLayout(seiten);
    gesamt->addLayout(knoepfe);
    setMinimumSize(sizeHint());

    connect(kennwortSpeichern_, &QCheckBox::clicked, this, [this](bool gesetzt) {
        insModell();
        workflow_.serverDialog.kennwortSpeichernGeklickt(gesetzt);
        vonModell();
    });
    connect(kopieSenden_, &QCheckBox::clicked, this, [this](bool gesetzt) {
        insModell();
        workflow_.serverDialog.kopieSendenGeklickt(gesetzt);
        vonModell();
    });
    connect(lehrerliste_, &QComboBox::activated, this, [this](int eintrag) {
        insModell();
        workflow_.serverDialog.lehrerGewaehlt(eintrag, workflow_.plan, workflow_.ui);
        vonModell();
    });
    connect(felderLoeschen_, &QPushButton::clicked, this, [this] {
        insModell();
        workflow_.serverDialog.felderLoeschen();
        vonModell();
    });
    connect(ok_, &QPushButton::clicked, this, [this] {
        insModell();
        workflow_.einstellungenSpeichern();
        vonModell();
        accept();
    });
    connect(abbrechen_, &QPushButton::clicked, this, &ServerSettingsDialog::reject);
}

void ServerSettingsDialog::oeffnen() {
    vonModell();
    absendername_->setFocus(Qt::OtherFocusReason); // the first setting, top left
    exec();
}

void ServerSettingsDialog::reject() {
    workflow_.einstellungenAbbrechen();
    vonModell();
    QDialog::reject();
}

void ServerSettingsDialog::einstellungenGelesen() {
    if (isVisible())
        rechtsInsModell(); // the test-mail side is not part of the settings
    vonModell();
}

void ServerSettingsDialog::lehrerListeAnzeigen() {
    const QSignalBlocker sperre(lehrerliste_);
    lehrerliste_->clear();
    for (const std::string& eintrag : workflow_.lehrerListe)
        lehrerliste_->addItem(qt(eintrag));
    lehrerliste_->setCurrentIndex(-1);
    workflow_.serverDialog.LehrerText.clear();
}

void ServerSettingsDialog::insModell() {
    ServerSettingsModel& m = workflow_.serverDialog;
    m.Absendername = cp(absendername_->text());
    m.SmtpServer = cp(smtpServer_->text());
    m.Port = cp(port_->text());
    m.Kontoname = cp(kontoname_->text());
    m.Kennwort = cp(kennwort_->text());
    m.Anmeldename = cp(anmeldename_->text());
    m.Absender = cp(absender_->text());
    m.AntwortAn = cp(antwortAn_->text());
    m.KopieAn = cp(kopieAn_->text());
    m.KennwortSpeichern = kennwortSpeichern_->isChecked();
    m.KopieSenden = kopieSenden_->isChecked();
    m.ZusatztextAnhaengen = zusatztextAnhaengen_->isChecked();
    m.Authentifizierung = cp(authentifizierung_->currentText());
    m.Prioritaet = cp(prioritaet_->currentText());
    m.Verbindungssicherheit = cp(verbindungssicherheit_->currentText());
    m.ZertifikatUngeprueftAnnehmen = zertifikatUngeprueft_->isChecked();
    m.Zusatztext = zeilenVon(zusatztext_);
    oauth_->insModell(m);
    rechtsInsModell();
}

void ServerSettingsDialog::rechtsInsModell() {
    ServerSettingsModel& m = workflow_.serverDialog;
    m.LehrerText = cp(lehrerliste_->currentText());
    m.Empfaenger = cp(empfaenger_->text());
    m.Betreff = cp(betreff_->text());
    m.MailText = zeilenVon(mailText_);
}

void ServerSettingsDialog::vonModell() {
    const ServerSettingsModel& m = workflow_.serverDialog;
    absendername_->setText(qt(m.Absendername));
    smtpServer_->setText(qt(m.SmtpServer));
    port_->setText(qt(m.Port));
    kontoname_->setText(qt(m.Kontoname));
    kennwort_->setText(qt(m.Kennwort));
    anmeldename_->setText(qt(m.Anmeldename));
    absender_->setText(qt(m.Absender));
    antwortAn_->setText(qt(m.AntwortAn));
    kopieAn_->setText(qt(m.KopieAn));
    kennwortSpeichern_->setChecked(m.KennwortSpeichern);
    kopieSenden_->setChecked(m.KopieSenden);
    zusatztextAnhaengen_->setChecked(m.ZusatztextAnhaengen);
    authentifizierung_->setCurrentIndex(authentifizierung_->findText(qt(m.Authentifizierung)));
    prioritaet_->setCurrentIndex(prioritaet_->findText(qt(m.Prioritaet)));
    verbindungssicherheit_->setCurrentIndex(
        verbindungssicherheit_->findText(qt(m.Verbindungssicherheit)));
    zertifikatUngeprueft_->setChecked(m.ZertifikatUngeprueftAnnehmen);
    zeilenSetzen(zusatztext_, m.Zusatztext);
    {
        const QSignalBlocker sperre(lehrerliste_);
        lehrerliste_->setCurrentIndex(
            m.LehrerText.empty() ? -1 : lehrerliste_->findText(qt(m.LehrerText)));
    }
    empfaenger_->setText(qt(m.Empfaenger));
    betreff_->setText(qt(m.Betreff));
    zeilenSetzen(mailText_, m.MailText);
    oauth_->vonModell(m);
    aktivierungAnzeigen();
}

void ServerSettingsDialog::aktivierungAnzeigen() {
    const ServerSettingsModel& m = workflow_.serverDialog;
    kennwortLabel_->setEnabled(m.kennwortAktiv());
    kennwort_->setEnabled(m.kennwortAktiv());
    kopieAnLabel_->setEnabled(m.kopieAnAktiv());
    kopieAn_->setEnabled(m.kopieAnAktiv());
}

bool ServerSettingsDialog::eventFilter(QObject* objekt, QEvent* event) {
    if (objekt == zusatztext_ && event->type() == QEvent::KeyPress) {
        const int taste = static_cast<QKeyEvent*>(event)->key();
        if (taste == Qt::Key_Return || taste == Qt::Key_Enter)
            return true; // one paragraph
    }
    return QDialog::eventFilter(objekt, event);
}

} // namespace tafelbot::app
