#include "app/QtUi.h"

#include "app/PasswordDialog.h"
#include "app/Text.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace tafelbot::app {

QtUi::QtUi() = default;
QtUi::~QtUi() = default;

void QtUi::setView(QWidget* fenster, ViewListener* listener) {
    fenster_ = fenster;
    listener_ = listener;
}

void QtUi::setPasswordDialog(PasswordDialog* dialog) {
    passwortDialog_ = dialog;
}

QWidget* QtUi::elternfenster() const {
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return fenster_.data();
}

int QtUi::zeigeBox(int symbol, const QString& titel, const std::string& text, bool jaNein) {
    QMessageBox box(static_cast<QMessageBox::Icon>(symbol), titel, meldung(text),
                    QMessageBox::NoButton, elternfenster());
    box.setWindowModality(Qt::ApplicationModal);
    if (jaNein) {
        box.addButton(QStringLiteral("&Ja"), QMessageBox::YesRole);
        QPushButton* nein = box.addButton(QStringLiteral("&Nein"), QMessageBox::NoRole);
        box.setDefaultButton(nein);
        box.setEscapeButton(nein);
    } else {
        box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    }
    box.exec();
    return box.buttonRole(box.clickedButton());
}

void QtUi::showError(const std::string& text) {
    zeigeBox(QMessageBox::Critical, QStringLiteral("Fehler"), text, false);
}

void QtUi::showInformation(const std::string& text) {
    zeigeBox(QMessageBox::Information, QStringLiteral("Information"), text, false);
}

void QtUi::showMessage(const std::string& text) {
    zeigeBox(QMessageBox::NoIcon, titel_, text, false);
}

bool QtUi::askYesNo(const std::string& text) {
    return zeigeBox(QMessageBox::Information, QStringLiteral("Bestätigung"), text, true) ==
           QMessageBox::YesRole;
}

void QtUi::logAppended(const std::string& line) {
    if (listener_ != nullptr)
        listener_->logAppended(qt(line));
}

void QtUi::logOldestDropped() {
    if (listener_ != nullptr)
        listener_->logOldestDropped();
}

void QtUi::logCleared() {
    if (listener_ != nullptr)
        listener_->logCleared();
}

std::string QtUi::askPassword(const PasswordRequest& request) {
    std::optional<std::string> antwort;
    if (passwortDialog_.isNull()) {
        PasswordDialog dialog(elternfenster());
        antwort = dialog.frage(request);
    } else {
        antwort = passwortDialog_->frage(request);
    }
    return antwort.value_or(std::string());
}

void QtUi::viewChanged(ViewPart part) {
    if (listener_ != nullptr)
        listener_->viewChanged(part);
}

} // namespace tafelbot::app
