#pragma once

#include "app/QtUi.h"
#include "core/MainWorkflow.h"

#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QToolButton;
class QFrame;
class QShortcut;

namespace tafelbot::app {

class KalenderPopup;
class PasswordDialog;
class PeriodDialog;
class SendingView;
class ServerSettingsDialog;
class TablePanel;

// The main window: draws the core's main workflow and forwards the user's actions to it. It
// opens at the size it had when it was closed; the table takes whatever room it is given.
class MainWindow : public QWidget, public ViewListener {
    Q_OBJECT
public:
    // The smallest window: the sixteen lines of the table and a short info log (and at least
    // the tool bar's width).
    static constexpr int MindestBreite = 792;

    MainWindow(QtUi& ui, std::string iniPfad, QWidget* parent = nullptr);
    ~MainWindow() override;

    MainWorkflow& workflow() { return workflow_; }

    // The file dialog; returns the chosen path or an empty text. Replaceable for tests.
    std::function<QString(const QString& startverzeichnis)> dateiWaehlen;

    // The print path's dialogs: whom the pages are for (true: only the teachers without an
    // address; nullopt: cancelled) and the PDF file to write (empty: cancelled). Replaceable
    // for tests.
    std::function<std::optional<bool>(const QString& titel)> druckumfangWaehlen;
    std::function<QString(const QString& vorschlag)> pdfDateiWaehlen;

    // Controls, for the sending part and for tests.
    QFrame* werkzeugleiste() const { return werkzeugleiste_; }
    QToolButton* vorigerTagButton() const { return vorigerTag_; }
    QToolButton* naechsterTagButton() const { return naechsterTag_; }
    QLineEdit* datumFeld() const { return datumFeld_; }
    QToolButton* kalenderButton() const { return kalenderButton_; }
    KalenderPopup* kalender() const { return kalender_; }
    QLabel* wochentagLabel() const { return wochentag_; }
    QComboBox* tageAuswahl() const { return tage_; }
    QPushButton* druckenButton() const { return druckenButton_; }
    QPushButton* gpnButton() const { return gpnButton_; }
    QPushButton* periodeButton() const { return periodeButton_; }
    QPushButton* einstellungenButton() const { return einstellungenButton_; }
    QPushButton* sendenButton() const { return sendenButton_; }
    QPushButton* beendenButton() const { return beendenButton_; }
    TablePanel* tabelle() const { return tabelle_; }
    QLabel* busyHinweis() const { return busy_; }
    QPlainTextEdit* infoLog() const { return log_; }
    PeriodDialog* periodenDialog() const { return perioden_; }
    ServerSettingsDialog* serverDialog() const { return server_; }
    PasswordDialog* kennwortDialog() const { return kennwort_; }
    SendingView* versand() const { return versand_.get(); }

    // The first activation: settings, data, rows (later calls do nothing).
    void aktivieren();

    // "Drucken ..." and "Als PDF speichern ...": the plan shown, a page per teacher.
    void drucken();
    void alsPdfSpeichern();

    void logAppended(const QString& line) override;
    void logOldestDropped() override;
    void logCleared() override;
    void viewChanged(ViewPart part) override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* objekt, QEvent* event) override;

private:
    void bauWerkzeugleiste();
    void bauTastenkuerzel();
    void datumBestaetigt();
    void kalenderOeffnen();
    void ueberTabelleAusrichten();
    void ersteGroesse();
    void fensterlageWiederherstellen();
    void fensterlageMerken();
    void gpnDateiWaehlen();
    QString standardDateiauswahl(const QString& startverzeichnis);
    QString standardPdfAuswahl(const QString& vorschlag);
    std::optional<std::vector<std::string>> seitenFuer(const QString& titel);

    QtUi& ui_;
    MainWorkflow workflow_;

    QFrame* werkzeugleiste_ = nullptr;
    QToolButton* vorigerTag_ = nullptr;
    QToolButton* naechsterTag_ = nullptr;
    QLineEdit* datumFeld_ = nullptr;
    QToolButton* kalenderButton_ = nullptr;
    KalenderPopup* kalender_ = nullptr;
    QLabel* wochentag_ = nullptr;
    QComboBox* tage_ = nullptr;
    QPushButton* druckenButton_ = nullptr;
    QPushButton* gpnButton_ = nullptr;
    QPushButton* periodeButton_ = nullptr;
    QPushButton* einstellungenButton_ = nullptr;
    QPushButton* sendenButton_ = nullptr;
    QPushButton* beendenButton_ = nullptr;
    TablePanel* tabelle_ = nullptr;
    QLabel* busy_ = nullptr;
    QPlainTextEdit* log_ = nullptr;
    ServerSettingsDialog* server_ = nullptr;
    PasswordDialog* kennwort_ = nullptr;
    PeriodDialog* perioden_ = nullptr;
    // Declared last: it goes first, taking the SMTP client off its event loop.
    std::unique_ptr<SendingView> versand_;
};

} // namespace tafelbot::app
