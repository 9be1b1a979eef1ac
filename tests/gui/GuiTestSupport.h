#pragma once

// What every desktop test drives: the window, its table and dialogs, and Qt Test.
#include "app/MainWindow.h"
#include "app/QtUi.h"
#include "app/ServerSettingsDialog.h"
#include "app/TablePanel.h"
#include "settings/Cp1252.h"
#include "settings/Einstellungen.h"
#include "support/TestFiles.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QObject>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QStringList>
#include <QTest>
#include <QToolButton>
#include <QWidget>
#include <deque>
#include <functional>
#include <memory>
#include <string>

namespace tafelbot::testing {

// Answers the modal windows that open while it lives, one scripted answer per window, in order.
// A window beyond the script is closed (and counted), so that no test waits on a dialog.
class ModalAnswerer : public QObject {
public:
    using Antwort = std::function<void(QWidget*)>;

    ModalAnswerer();
    void add(Antwort antwort) { antworten_.push_back(std::move(antwort)); }
    // `anzahl` message boxes answered with their first button (OK, or Yes).
    void ok(int anzahl = 1);

    QStringList texte; // texts of the message boxes seen, line breaks as "\n"
    int unerwartet = 0;
    bool fertig() const { return antworten_.empty(); }

private:
    void pruefe();

    std::deque<Antwort> antworten_;
    QPointer<QWidget> zuletzt_;
};

// A program window on a settings file written from the defaults and `anpassen`, with the gpn
// file of a small school (data/kleine-schule.gpn) beside it: four teachers (Müller without
// e-mail), two periods, seven rows on Monday 7 December 2026, twenty on the Tuesday, one each on
// Friday, Saturday and Monday 14. Activated at the original form's 792 x 573, with every box of
// the start answered.
struct Programm {
    explicit Programm(const std::function<void(Einstellungen&)>& anpassen = {});
    ~Programm();

    TempDir dir;
    std::string ini;
    app::QtUi ui;
    std::unique_ptr<app::MainWindow> fenster;
    MainWorkflow& wf() { return fenster->workflow(); }
};

} // namespace tafelbot::testing
