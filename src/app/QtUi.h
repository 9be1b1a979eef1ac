#pragma once

#include "ui/UiPort.h"

#include <QPointer>
#include <QWidget>

namespace tafelbot::app {

class PasswordDialog;

// What the Qt program draws anew when the core reports a change. The main window implements it.
class ViewListener {
public:
    virtual ~ViewListener() = default;
    virtual void logAppended(const QString& line) = 0;
    virtual void logOldestDropped() = 0;
    virtual void logCleared() = 0;
    virtual void viewChanged(ViewPart part) = 0;
};

// The core's user-interface port with Qt's modal message boxes and the password prompt.
class QtUi : public UiPort {
public:
    QtUi();
    ~QtUi() override;
    QtUi(const QtUi&) = delete;
    QtUi& operator=(const QtUi&) = delete;

    // The window the boxes belong to and that mirrors the log and redraws.
    void setView(QWidget* fenster, ViewListener* listener);
    // The password prompt, created with the other windows at start.
    void setPasswordDialog(PasswordDialog* dialog);
    // The application's title, used as the caption of plain message boxes.
    void setTitle(const QString& titel) { titel_ = titel; }

    void showError(const std::string& text) override;
    void showInformation(const std::string& text) override;
    void showMessage(const std::string& text) override;
    bool askYesNo(const std::string& text) override;

    void logAppended(const std::string& line) override;
    void logOldestDropped() override;
    void logCleared() override;

    std::string askPassword(const PasswordRequest& request) override;
    void viewChanged(ViewPart part) override;

private:
    int zeigeBox(int symbol, const QString& titel, const std::string& text, bool jaNein);
    QWidget* elternfenster() const;

    QPointer<QWidget> fenster_;
    ViewListener* listener_ = nullptr;
    QPointer<PasswordDialog> passwortDialog_;
    QString titel_ = QStringLiteral("Tafelbot");
};

} // namespace tafelbot::app
