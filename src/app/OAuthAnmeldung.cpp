#include "app/OAuthAnmeldung.h"

#include "app/Text.h"
#include "core/MainWorkflow.h"
#include "oauth/Provider.h"
#include "oauth/SignIn.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace tafelbot::app {

namespace {

struct Wahl {
    const char* schluessel; // the settings' value of OAuth=
    const char* text;
};
const Wahl Anbieter[] = {{"", "Benutzername und Kennwort"},
                         {"microsoft", "Microsoft 365"},
                         {"google", "Google"},
                         {"custom", "Anderer OAuth-Anbieter"}};

} // namespace

OAuthAnmeldung::OAuthAnmeldung(MainWorkflow& workflow, QWidget* parent)
    : QWidget(parent), workflow_(workflow) {
    auto* raster = new QGridLayout(this);
    raster->setContentsMargins(0, 0, 0, 0);
    raster->setVerticalSpacing(4);
    anbieter_ = new QComboBox(this);
    for (const Wahl& wahl : Anbieter)
        anbieter_->addItem(QString::fromUtf8(wahl.text));
    clientId_ = new QLineEdit(this);
    anmelden_ = new QPushButton(QStringLiteral("A&nmelden ..."), this);
    anmelden_->setAutoDefault(false);
    anbieter_->setToolTip(QStringLiteral("Wie sich das Programm am eMail-Konto anmeldet: mit "
                                         "Benutzername und Kennwort oder beim Anbieter (OAuth)."));
    clientId_->setToolTip(QStringLiteral("Die beim Anbieter eingetragene Anwendung, in deren "
                                         "Namen das Programm eMails sendet."));
    anmelden_->setToolTip(QStringLiteral("Einmal beim Anbieter anmelden; danach sendet das "
                                         "Programm ohne Kennwort."));
    konto_ = new QLabel(this);
    auto* anbieterLabel = new QLabel(QStringLiteral("Anmeldung:"), this);
    anbieterLabel->setBuddy(anbieter_);
    auto* clientLabel = new QLabel(QStringLiteral("Client-ID der Anwendung:"), this);
    clientLabel->setBuddy(clientId_);
    raster->addWidget(anbieterLabel, 0, 0);
    raster->addWidget(anbieter_, 0, 1);
    raster->addWidget(clientLabel, 1, 0);
    raster->addWidget(clientId_, 1, 1);
    raster->addWidget(anmelden_, 2, 0);
    raster->addWidget(konto_, 2, 1);
    raster->setColumnMinimumWidth(1, 190);

    connect(anbieter_, &QComboBox::activated, this, &OAuthAnmeldung::anbieterGewaehlt);
    connect(anmelden_, &QPushButton::clicked, this, &OAuthAnmeldung::anmelden);
    connect(clientId_, &QLineEdit::textChanged, this, &OAuthAnmeldung::kontoAnzeigen);
}

void OAuthAnmeldung::felderVerbinden(Felder felder) {
    felder_ = std::move(felder);
    connect(felder_.konto, &QLineEdit::textChanged, this, &OAuthAnmeldung::kontoAnzeigen);
}

OAuthAnmeldung::~OAuthAnmeldung() {
    abwarten();
}

void OAuthAnmeldung::abwarten() {
    abbrechen_ = true;
    if (anmeldung_.joinable())
        anmeldung_.join();
    abbrechen_ = false;
}

void OAuthAnmeldung::insModell(ServerSettingsModel& m) const {
    m.OAuth = Anbieter[std::max(0, anbieter_->currentIndex())].schluessel;
    m.OAuthClientId = cp(clientId_->text());
}

void OAuthAnmeldung::vonModell(const ServerSettingsModel& m) {
    int eintrag = 0;
    for (int i = 0; i < static_cast<int>(std::size(Anbieter)); ++i)
        if (m.OAuth == Anbieter[i].schluessel)
            eintrag = i;
    anbieter_->setCurrentIndex(eintrag);
    clientId_->setText(qt(m.OAuthClientId));
    sichtbarkeitAnzeigen();
}

void OAuthAnmeldung::anbieterGewaehlt(int eintrag) {
    if (const auto vorgabe = oauth::serverPresetFor(Anbieter[eintrag].schluessel)) {
        felder_.server->setText(qt(vorgabe->server));
        felder_.port->setText(qt(vorgabe->port));
        felder_.sicherheit->setCurrentIndex(vorgabe->security);
    }
    sichtbarkeitAnzeigen();
}

void OAuthAnmeldung::sichtbarkeitAnzeigen() {
    const bool mitOAuth = anbieter_->currentIndex() > 0;
    for (QWidget* feld : felder_.kennwort)
        feld->setVisible(!mitOAuth);
    clientId_->setEnabled(mitOAuth);
    anmelden_->setEnabled(mitOAuth && !anmeldung_.joinable());
    kontoAnzeigen();
}

void OAuthAnmeldung::kontoAnzeigen() {
    oauth::OAuthSettings einstellungen = oauth::settingsOf(workflow_.werte.Server);
    einstellungen.provider = Anbieter[std::max(0, anbieter_->currentIndex())].schluessel;
    einstellungen.clientId = cp(clientId_->text());
    const std::string konto = cp(felder_.konto->text());
    if (!einstellungen.chosen())
        konto_->clear();
    else if (oauth::signedIn(einstellungen, konto))
        konto_->setText(QStringLiteral("Angemeldet als ") + qt(konto));
    else
        konto_->setText(QStringLiteral("Nicht angemeldet"));
}

void OAuthAnmeldung::anmelden() {
    if (anmeldung_.joinable())
        return;
    oauth::OAuthSettings einstellungen = oauth::settingsOf(workflow_.werte.Server);
    einstellungen.provider = Anbieter[std::max(0, anbieter_->currentIndex())].schluessel;
    einstellungen.clientId = cp(clientId_->text());
    const std::string konto = cp(felder_.konto->text());
    abbrechen_ = false;
    anmelden_->setEnabled(false);
    konto_->setText(QStringLiteral("Anmeldung läuft ..."));
    // The thread reports back through queued calls, which Qt drops once this widget is gone.
    const oauth::SignInEvents ereignisse{
        [this](const std::string& adresse) {
            QMetaObject::invokeMethod(
                this,
                [adresse] { QDesktopServices::openUrl(QUrl(QString::fromStdString(adresse))); },
                Qt::QueuedConnection);
        },
        [this](const std::string& adresse, const std::string& code) {
            QMetaObject::invokeMethod(
                this,
                [this, adresse, code] {
                    codeZeigen(QString::fromStdString(adresse), QString::fromStdString(code));
                },
                Qt::QueuedConnection);
        }};
    anmeldung_ = std::thread([this, einstellungen, konto, ereignisse] {
        oauth::SignInOptions optionen;
        optionen.cancel = &abbrechen_;
        const std::string fehler = oauth::signIn(einstellungen, konto, optionen, ereignisse);
        QMetaObject::invokeMethod(
            this, [this, fehler] { beendet(fehler); }, Qt::QueuedConnection);
    });
}

void OAuthAnmeldung::codeZeigen(const QString& adresse, const QString& code) {
    auto* dialog = new QDialog(this);
    dialog->setObjectName(QStringLiteral("anmeldeCode"));
    dialog->setWindowTitle(QStringLiteral("Anmelden mit Code"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    auto* spalte = new QVBoxLayout(dialog);
    auto* hinweis = new QLabel(QStringLiteral("Bitte in einem Browser (auch auf einem anderen "
                                              "Gerät) die Adresse<br><a href=\"%1\">%1</a><br>"
                                              "öffnen und dort diesen Code eingeben:")
                                   .arg(adresse.toHtmlEscaped()),
                               dialog);
    hinweis->setOpenExternalLinks(true);
    auto* codeLabel = new QLabel(code, dialog);
    codeLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont gross = codeLabel->font();
    gross.setPointSizeF(gross.pointSizeF() * 1.8);
    gross.setBold(true);
    codeLabel->setFont(gross);
    auto* kopieren = new QPushButton(QStringLiteral("Code kopieren"), dialog);
    auto* abbrechen = new QPushButton(QStringLiteral("Abbrechen"), dialog);
    auto* knoepfe = new QHBoxLayout;
    knoepfe->addWidget(kopieren);
    knoepfe->addWidget(abbrechen);
    spalte->addWidget(hinweis);
    spalte->addWidget(codeLabel, 0, Qt::AlignHCenter);
    spalte->addLayout(knoepfe);
    connect(kopieren, &QPushButton::clicked, dialog,
            [code] { QApplication::clipboard()->setText(code); });
    connect(abbrechen, &QPushButton::clicked, dialog, [this] { abbrechen_ = true; });
    connect(dialog, &QDialog::rejected, dialog, [this] { abbrechen_ = true; });
    codeDialog_ = dialog;
    dialog->show();
}

void OAuthAnmeldung::beendet(const std::string& fehler) {
    if (anmeldung_.joinable())
        anmeldung_.join();
    abbrechen_ = false;
    if (codeDialog_)
        codeDialog_->close();
    sichtbarkeitAnzeigen();
    if (!fehler.empty())
        workflow_.ui.showError(fehler);
    emit anmeldungBeendet(qt(fehler));
}

} // namespace tafelbot::app
