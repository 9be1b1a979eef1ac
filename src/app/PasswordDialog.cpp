#include "app/PasswordDialog.h"

#include "app/Text.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace tafelbot::app {

namespace {

QLabel* wertLabel(QWidget* parent, int links, int oben) {
    auto* label = new QLabel(parent);
    QFont fett = label->font();
    fett.setBold(true);
    label->setFont(fett);
    label->setGeometry(links, oben, 220, 18);
    return label;
}

} // namespace

PasswordDialog::PasswordDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("kennwortEingabe"));
    setWindowTitle(QStringLiteral(" Bitte geben Sie das Kennwort ein!"));
    setFixedSize(352, 178);
    setModal(true);

    const QString namen[] = {QStringLiteral("SMTP-Server:"), QStringLiteral("eMail-Konto:"),
                             QStringLiteral("Anmeldename:")};
    for (int i = 0; i < 3; ++i)
        (new QLabel(namen[i], this))->setGeometry(16, 14 + 22 * i, 100, 18);
    server_ = wertLabel(this, 120, 14);
    konto_ = wertLabel(this, 120, 36);
    anmeldename_ = wertLabel(this, 120, 58);

    auto* panel = new QFrame(this);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setGeometry(12, 88, 328, 40);
    auto* label = new QLabel(QStringLiteral("&Kennwort:"), panel);
    label->setGeometry(10, 11, 80, 18);
    eingabe_ = new QLineEdit(panel);
    label->setBuddy(eingabe_);
    eingabe_->setObjectName(QStringLiteral("kennwort"));
    eingabe_->setEchoMode(QLineEdit::Password);
    eingabe_->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    QFont fett = eingabe_->font();
    fett.setBold(true);
    eingabe_->setFont(fett);
    eingabe_->setGeometry(100, 8, 216, 24);

    ok_ = new QPushButton(QStringLiteral("&Ok"), this);
    ok_->setGeometry(88, 140, 84, 26);
    ok_->setDefault(true);
    abbrechen_ = new QPushButton(QStringLiteral("&Abbrechen"), this);
    abbrechen_->setGeometry(180, 140, 84, 26);
    abbrechen_->setToolTip(QStringLiteral("Beendet den Versand (Esc)."));
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(abbrechen_, &QPushButton::clicked, this, &QDialog::reject);
}

std::optional<std::string> PasswordDialog::frage(const UiPort::PasswordRequest& request) {
    server_->setText(qt(request.smtpServer));
    konto_->setText(qt(request.kontoname));
    anmeldename_->setText(qt(request.anmeldename));
    eingabe_->clear();
    if (exec() != QDialog::Accepted)
        return std::nullopt;
    return cp(eingabe_->text());
}

void PasswordDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    eingabe_->setFocus();
}

} // namespace tafelbot::app
