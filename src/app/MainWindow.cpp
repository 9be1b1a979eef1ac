#include "app/MainWindow.h"

#include "app/DatumEingabe.h"
#include "app/PasswordDialog.h"
#include "app/PeriodDialog.h"
#include "app/PlanDrucken.h"
#include "app/SendingView.h"
#include "app/ServerSettingsDialog.h"
#include "app/TablePanel.h"
#include "app/Text.h"
#include "settings/SettingsFile.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QTextBlock>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <array>

namespace tafelbot::app {

namespace {

constexpr int LeisteHoehe = 40;

QPushButton* leistenButton(QWidget* parent, const QString& text, int breite) {
    auto* button = new QPushButton(text, parent);
    button->setMinimumSize(breite, 30);
    button->setAutoDefault(true); // Enter presses the button that has the focus
    return button;
}

QToolButton* pfeil(QWidget* parent, Qt::ArrowType richtung, const QString& tipp) {
    auto* button = new QToolButton(parent);
    button->setArrowType(richtung);
    button->setToolTip(tipp);
    button->setFixedSize(26, 26);
    button->setFocusPolicy(Qt::StrongFocus);
    return button;
}

// The info log keeps the original form's height; a larger window gives its room to the table.
class InfoLogFeld : public QPlainTextEdit {
public:
    using QPlainTextEdit::QPlainTextEdit;
    QSize sizeHint() const override { return {QPlainTextEdit::sizeHint().width(), 181}; }
};

} // namespace

MainWindow::MainWindow(QtUi& ui, std::string iniPfad, QWidget* parent)
    : QWidget(parent), ui_(ui), workflow_(ui, std::move(iniPfad)) {
    setObjectName(QStringLiteral("hauptfenster"));
    setWindowTitle(QStringLiteral("Tafelbot"));
    dateiWaehlen = [this](const QString& start) { return standardDateiauswahl(start); };
    druckumfangWaehlen = [this](const QString& titel) { return frageDruckumfang(this, titel); };
    pdfDateiWaehlen = [this](const QString& vorschlag) { return standardPdfAuswahl(vorschlag); };

    bauWerkzeugleiste();

    tabelle_ = new TablePanel(workflow_.tabelle, workflow_.zeilen, this);
    connect(tabelle_, &TablePanel::gescrollt, this, [this] { werkzeugleiste_->setFocus(); });

    busy_ = new QLabel(this);
    busy_->setObjectName(QStringLiteral("busy"));
    busy_->setFrameStyle(QFrame::Panel | QFrame::Raised);
    busy_->setLineWidth(2);
    busy_->setAlignment(Qt::AlignCenter);
    busy_->setAutoFillBackground(true);
    QFont fett = busy_->font();
    fett.setBold(true);
    busy_->setFont(fett);
    busy_->hide();

    log_ = new InfoLogFeld(this);
    log_->setObjectName(QStringLiteral("infoLog"));
    log_->setReadOnly(true);
    // Grey with white text, dark enough to be read (contrast above 6:1).
    QPalette grau = log_->palette();
    grau.setColor(QPalette::Base, QColor(96, 96, 96));
    grau.setColor(QPalette::Text, Qt::white);
    log_->setPalette(grau);
    log_->setLineWrapMode(QPlainTextEdit::NoWrap);
    // A window smaller than the original form shortens the log, never the table.
    log_->setMinimumHeight(4 * log_->fontMetrics().lineSpacing() + 12);
    log_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);

    auto* spalte = new QVBoxLayout(this);
    spalte->setContentsMargins(0, 0, 0, 2);
    spalte->setSpacing(2);
    spalte->addWidget(werkzeugleiste_);
    spalte->addWidget(tabelle_, 1);
    auto* logRand = new QHBoxLayout;
    logRand->setContentsMargins(2, 0, 2, 0);
    logRand->addWidget(log_);
    spalte->addLayout(logRand);
    // The tool bar's controls side by side, never over one another: wider than the original
    // form since "Tage:" and "Drucken" joined them.
    setMinimumWidth(std::max(MindestBreite, werkzeugleiste_->minimumSizeHint().width()));

    // The dialogs in the order the program has always created them.
    server_ = new ServerSettingsDialog(workflow_, this);
    kennwort_ = new PasswordDialog(this);
    perioden_ = new PeriodDialog(workflow_, this);
    ui_.setView(this, this);
    ui_.setPasswordDialog(kennwort_);
    versand_ = std::make_unique<SendingView>(*this);

    bauTastenkuerzel();
    ersteGroesse();
    fensterlageWiederherstellen();
    const std::array<QWidget*, 12> reihenfolge{
        vorigerTag_,   naechsterTag_,  datumFeld_,     kalenderButton_,
        tage_,         gpnButton_,     periodeButton_, einstellungenButton_,
        sendenButton_, druckenButton_, beendenButton_, log_};
    for (std::size_t i = 1; i < reihenfolge.size(); ++i)
        setTabOrder(reihenfolge[i - 1], reihenfolge[i]);
}

MainWindow::~MainWindow() {
    ui_.setView(nullptr, nullptr);
}

// Centred on the desktop, the size of the original form or, on a larger screen, most of it.
void MainWindow::ersteGroesse() {
    QSize groesse(minimumWidth(), 573);
    QScreen* bildschirm = QGuiApplication::primaryScreen();
    if (bildschirm == nullptr) {
        resize(groesse);
        return;
    }
    const QRect flaeche = bildschirm->availableGeometry();
    groesse = groesse.expandedTo(
        QSize(std::min(flaeche.width() * 4 / 5, 1280), std::min(flaeche.height() * 4 / 5, 860)));
    resize(groesse);
    move(flaeche.center() - QPoint(groesse.width() / 2, groesse.height() / 2));
}

// Where the user left the window, read before it shows so that it opens there at once. The
// first activation reads the whole file again, as it always has.
void MainWindow::fensterlageWiederherstellen() {
    if (!QFileInfo::exists(QString::fromStdString(workflow_.iniPfad)))
        return;
    // Reading the window's place needs no boxes: the first activation reports what is wrong.
    SilentUi still;
    Einstellungen gespeichert;
    IniLesen(gespeichert, workflow_.iniPfad, still);
    if (gespeichert.Fenster) {
        const Fensterlage& f = *gespeichert.Fenster;
        const QRect lage(f.x, f.y, std::max(f.breite, minimumWidth()), f.hoehe);
        // A screen that is gone since (a projector, a second monitor) must not hide the window.
        for (const QScreen* bildschirm : QGuiApplication::screens()) {
            const QRect sichtbar = bildschirm->availableGeometry().intersected(lage);
            if (sichtbar.width() >= 100 && sichtbar.height() >= 50) {
                setGeometry(lage);
                break;
            }
        }
    }
    if (gespeichert.Maximiert)
        setWindowState(windowState() | Qt::WindowMaximized);
}

void MainWindow::fensterlageMerken() {
    const QRect lage = isMaximized() || isFullScreen() ? normalGeometry() : geometry();
    if (lage.isValid())
        workflow_.werte.Fenster = Fensterlage{lage.x(), lage.y(), lage.width(), lage.height()};
    workflow_.werte.Maximiert = isMaximized();
    workflow_.werte.FensterSpaltenbreiten = tabelle_->spaltenbreiten();
}

void MainWindow::bauWerkzeugleiste() {
    werkzeugleiste_ = new QFrame(this);
    werkzeugleiste_->setObjectName(QStringLiteral("werkzeugleiste"));
    werkzeugleiste_->setFrameStyle(QFrame::Panel | QFrame::Raised);
    werkzeugleiste_->setFixedHeight(LeisteHoehe);
    werkzeugleiste_->setFocusPolicy(Qt::ClickFocus);

    auto* datumGruppe = new QFrame(werkzeugleiste_);
    datumGruppe->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    vorigerTag_ = pfeil(datumGruppe, Qt::LeftArrow,
                        QStringLiteral("voriger Schultag (Alt+Links oder Bild auf)"));
    naechsterTag_ = pfeil(datumGruppe, Qt::RightArrow,
                          QStringLiteral("nächster Schultag (Alt+Rechts oder Bild ab)"));
    datumFeld_ = new QLineEdit(datumGruppe);
    datumFeld_->setObjectName(QStringLiteral("datum"));
    datumFeld_->setMaxLength(10);
    datumFeld_->setAlignment(Qt::AlignCenter);
    datumFeld_->setFixedSize(94, 24);
    datumFeld_->setToolTip(
        QStringLiteral("Datum (Alt+D): z. B. 7.12.2026, 07.12.26 oder 7.12. für dieses Jahr, "
                       "mit der Eingabetaste bestätigen"));
    kalenderButton_ = pfeil(datumGruppe, Qt::DownArrow, QStringLiteral("Kalender (Alt+K)"));
    kalenderButton_->setObjectName(QStringLiteral("kalenderButton"));
    kalenderButton_->setFixedSize(18, 26);
    kalender_ = new KalenderPopup(this);
    wochentag_ = new QLabel(datumGruppe);
    wochentag_->setObjectName(QStringLiteral("wochentag"));
    wochentag_->setAlignment(Qt::AlignCenter);
    wochentag_->setFixedSize(72, 26);
    tage_ = new QComboBox(datumGruppe);
    tage_->setObjectName(QStringLiteral("tage"));
    for (int n = 1; n <= MainWorkflow::HoechstensTage; ++n)
        tage_->addItem(QString::number(n));
    tage_->setToolTip(QStringLiteral("Tage (Alt+T): der gewählte Schultag und die folgenden, "
                                     "in der Tabelle nacheinander und je Tag versendet"));
    auto* tageText = new QLabel(QStringLiteral("&Tage:"), datumGruppe);
    tageText->setBuddy(tage_);
    auto* datumReihe = new QHBoxLayout(datumGruppe);
    datumReihe->setContentsMargins(3, 2, 3, 2);
    datumReihe->setSpacing(2);
    for (QWidget* w : std::initializer_list<QWidget*>{vorigerTag_, naechsterTag_, datumFeld_,
                                                      kalenderButton_, wochentag_, tageText})
        datumReihe->addWidget(w);
    datumReihe->addSpacing(2);
    datumReihe->addWidget(tage_);

    gpnButton_ = leistenButton(werkzeugleiste_, QStringLiteral("&gp-Untis-Datei"), 104);
    periodeButton_ = leistenButton(werkzeugleiste_, QStringLiteral("&Periode"), 80);
    periodeButton_->setEnabled(false);
    einstellungenButton_ = leistenButton(werkzeugleiste_, QStringLiteral("&Einstellungen"), 100);
    sendenButton_ = leistenButton(werkzeugleiste_, QStringLiteral("eMail(s) &senden"), 112);
    druckenButton_ = leistenButton(werkzeugleiste_, QStringLiteral("Dr&ucken"), 80);
    druckenButton_->setToolTip(QStringLiteral("Den Plan drucken oder als PDF speichern (Strg+P)"));
    auto* druckMenue = new QMenu(druckenButton_);
    druckMenue->addAction(QStringLiteral("&Drucken …"), this, &MainWindow::drucken);
    druckMenue->addAction(QStringLiteral("Als &PDF speichern …"), this,
                          &MainWindow::alsPdfSpeichern);
    druckenButton_->setMenu(druckMenue);
    beendenButton_ = leistenButton(werkzeugleiste_, QStringLiteral("&Beenden"), 80);

    auto* reihe = new QHBoxLayout(werkzeugleiste_);
    reihe->setContentsMargins(4, 3, 4, 3);
    reihe->setSpacing(6);
    reihe->addWidget(datumGruppe);
    reihe->addSpacing(2);
    for (QPushButton* b :
         {gpnButton_, periodeButton_, einstellungenButton_, sendenButton_, druckenButton_})
        reihe->addWidget(b);
    reihe->addStretch(1);
    reihe->addWidget(beendenButton_);

    connect(vorigerTag_, &QToolButton::clicked, this, [this] { workflow_.vorigerSchultag(); });
    connect(naechsterTag_, &QToolButton::clicked, this, [this] { workflow_.naechsterSchultag(); });
    connect(datumFeld_, &QLineEdit::returnPressed, this, &MainWindow::datumBestaetigt);
    connect(kalenderButton_, &QToolButton::clicked, this, &MainWindow::kalenderOeffnen);
    connect(kalender_, &KalenderPopup::gewaehlt, this, [this](const QDate& tag) {
        datumFeld_->setFocus();
        workflow_.datumEingegeben(cp(tag.toString(QStringLiteral("dd.MM.yyyy"))));
        datumFeld_->selectAll();
    });
    connect(tage_, &QComboBox::currentIndexChanged, this,
            [this](int index) { workflow_.tageGewaehlt(index + 1); });
    connect(gpnButton_, &QPushButton::clicked, this, &MainWindow::gpnDateiWaehlen);
    connect(periodeButton_, &QPushButton::clicked, this, [this] { perioden_->oeffnen(); });
    connect(einstellungenButton_, &QPushButton::clicked, this, [this] { server_->oeffnen(); });
    connect(beendenButton_, &QPushButton::clicked, this, &QWidget::close);
}

// School days by keyboard as by the arrow buttons; the keys live on the tool bar, so that they
// rest while the send panel hides it.
void MainWindow::bauTastenkuerzel() {
    auto kuerzel = [this](const QKeySequence& taste, const std::function<void()>& tun) {
        auto* s = new QShortcut(taste, werkzeugleiste_);
        s->setContext(Qt::WindowShortcut);
        connect(s, &QShortcut::activated, this, [this, tun] {
            if (werkzeugleiste_->isVisible())
                tun();
        });
    };
    for (const QKeySequence& taste :
         {QKeySequence(Qt::ALT | Qt::Key_Left), QKeySequence(Qt::Key_PageUp)})
        kuerzel(taste, [this] { vorigerTag_->click(); });
    for (const QKeySequence& taste :
         {QKeySequence(Qt::ALT | Qt::Key_Right), QKeySequence(Qt::Key_PageDown)})
        kuerzel(taste, [this] { naechsterTag_->click(); });
    kuerzel(QKeySequence(Qt::ALT | Qt::Key_D), [this] {
        datumFeld_->setFocus(Qt::ShortcutFocusReason);
        datumFeld_->selectAll();
    });
    kuerzel(QKeySequence(Qt::ALT | Qt::Key_K), [this] { kalenderOeffnen(); });
    kuerzel(QKeySequence(Qt::ALT | Qt::Key_Down), [this] { kalenderOeffnen(); });
    kuerzel(QKeySequence::Print, [this] { drucken(); });
    datumFeld_->installEventFilter(this);
}

// A text that was refused leaves the field showing the date in force, selected for the next try.
void MainWindow::datumBestaetigt() {
    const QString text = vollesDatum(datumFeld_->text(), QDate::currentDate().year());
    workflow_.datumEingegeben(cp(text));
    datumFeld_->setText(qt(workflow_.datumFeld));
    datumFeld_->selectAll();
}

void MainWindow::kalenderOeffnen() {
    kalender_->oeffnen(datumFeld_,
                       QDate::fromString(qt(workflow_.datumFeld), QStringLiteral("dd.MM.yyyy")));
}

QString MainWindow::standardDateiauswahl(const QString& startverzeichnis) {
    QFileDialog dialog(this, QStringLiteral("Öffnen einer gp-Untis-Stundenplan-Datei"),
                       startverzeichnis, QStringLiteral("gp-Untis (*.gpn)"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setDefaultSuffix(QStringLiteral("gpn"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

QString MainWindow::standardPdfAuswahl(const QString& vorschlag) {
    QFileDialog dialog(this, QStringLiteral("Als PDF speichern"), vorschlag,
                       QStringLiteral("PDF-Dateien (*.pdf)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("pdf"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

// The pages for the choice made in the step before; nullopt when cancelled or when there is
// nothing to print (a box then says so).
std::optional<std::vector<std::string>> MainWindow::seitenFuer(const QString& titel) {
    const std::optional<bool> nurOhneAdresse = druckumfangWaehlen(titel);
    if (!nurOhneAdresse)
        return std::nullopt;
    std::vector<std::string> seiten = workflow_.seitenZumDrucken(*nurOhneAdresse);
    if (seiten.empty()) {
        ui_.showInformation(cp(*nurOhneAdresse
                                   ? QStringLiteral("Jede Lehrkraft mit Vertretungen hat eine "
                                                    "eMail-Adresse: es gibt nichts zu drucken.")
                                   : QStringLiteral("Keine Vertretungen: es gibt nichts zu "
                                                    "drucken.")));
        return std::nullopt;
    }
    return seiten;
}

void MainWindow::drucken() {
    const auto seiten = seitenFuer(QStringLiteral("Drucken"));
    if (!seiten)
        return;
    QPrinter drucker(QPrinter::HighResolution);
    drucker.setDocName(QStringLiteral("Vertretungsplan"));
    QPrintDialog dialog(&drucker, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (!druckeSeiten(drucker, *seiten)) {
        ui_.showError(cp(QStringLiteral("Der Drucker konnte nicht geöffnet werden; es wurde "
                                        "nichts gedruckt.")));
        return;
    }
    workflow_.log.display(
        cp(QStringLiteral("Vertretungsplan gedruckt: %1 Seite(n).").arg(seiten->size())), false);
}

void MainWindow::alsPdfSpeichern() {
    const auto seiten = seitenFuer(QStringLiteral("Als PDF speichern"));
    if (!seiten)
        return;
    QString start = QDir::homePath();
    if (!workflow_.werte.GpnDatei.empty())
        start = QFileInfo(qt(workflow_.werte.GpnDatei)).absolutePath();
    const QString datei = pdfDateiWaehlen(QDir(start).filePath(
        QStringLiteral("Vertretungsplan-%1.pdf").arg(qt(workflow_.werte.AktDatum))));
    if (datei.isEmpty())
        return;
    if (!speichereAlsPdf(datei, *seiten)) {
        ui_.showError(cp(QStringLiteral("Die Datei \"%1\" kann nicht geschrieben werden. Bitte "
                                        "Pfad, Platz und Schreibrechte prüfen.")
                             .arg(QDir::toNativeSeparators(datei))));
        return;
    }
    workflow_.log.display(
        cp(QStringLiteral("Vertretungsplan als PDF gespeichert: %1 (%2 Seite(n)).")
               .arg(QDir::toNativeSeparators(datei))
               .arg(seiten->size())),
        false);
}

void MainWindow::gpnDateiWaehlen() {
    QString start;
    if (!workflow_.werte.GpnDatei.empty())
        start = QFileInfo(qt(workflow_.werte.GpnDatei)).absolutePath();
    const QString datei = dateiWaehlen(start);
    if (datei.isEmpty())
        return;
    workflow_.gpnDateiGewaehlt(cp(datei));
}

void MainWindow::aktivieren() {
    const bool erste = workflow_.ersteAktivierung;
    workflow_.formActivate();
    if (erste)
        tabelle_->setzeSpaltenbreiten(workflow_.werte.FensterSpaltenbreiten);
    viewChanged(ViewPart::Window);
    // The morning's work starts with the day.
    datumFeld_->setFocus(Qt::OtherFocusReason);
    datumFeld_->selectAll();
}

bool MainWindow::eventFilter(QObject* objekt, QEvent* event) {
    if (objekt == datumFeld_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        datumFeld_->setText(qt(workflow_.datumFeld)); // what was typed is dropped
        datumFeld_->selectAll();
        return true;
    }
    return QWidget::eventFilter(objekt, event);
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    ueberTabelleAusrichten();
}

// The busy notice and the send panel sit over the table, centred, whatever its size.
void MainWindow::ueberTabelleAusrichten() {
    const QRect tabelle = tabelle_->geometry();
    const QSize hinweis(520, 56);
    busy_->setGeometry(
        QRect(tabelle.center() - QPoint(hinweis.width() / 2, hinweis.height()), hinweis));
    const int breite = std::min(tabelle.width() - 192, 720);
    versand_->panel()->setGeometry(tabelle.x() + (tabelle.width() - breite) / 2, tabelle.y() + 60,
                                   breite, 200);
}

void MainWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    ueberTabelleAusrichten();
    // After the window is on screen, as the first activation of the original program.
    if (workflow_.ersteAktivierung)
        QTimer::singleShot(0, this, &MainWindow::aktivieren);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    fensterlageMerken();
    workflow_.formCloseQuery();
    event->accept();
}

void MainWindow::logAppended(const QString& line) {
    log_->appendPlainText(line);
    log_->verticalScrollBar()->setValue(log_->verticalScrollBar()->maximum());
}

void MainWindow::logOldestDropped() {
    QTextCursor cursor(log_->document()->firstBlock());
    if (!cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor))
        cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
}

void MainWindow::logCleared() {
    log_->clear();
}

void MainWindow::viewChanged(ViewPart part) {
    const bool alles = part == ViewPart::Window;
    if (alles || part == ViewPart::Caption) {
        setWindowTitle(qt(workflow_.caption));
        if (!workflow_.anwendungsTitel.empty()) {
            QCoreApplication::setApplicationName(qt(workflow_.anwendungsTitel));
            ui_.setTitle(qt(workflow_.anwendungsTitel));
        }
    }
    if (alles || part == ViewPart::BusyNotice) {
        busy_->setText(qt(workflow_.busyText));
        busy_->setVisible(workflow_.busyVisible);
        busy_->raise();
        if (isVisible())
            repaint(); // before the long work that follows
    }
    if (alles || part == ViewPart::Table)
        tabelle_->aktualisieren();
    if (alles || part == ViewPart::DateField) {
        datumFeld_->setText(qt(workflow_.datumFeld));
        wochentag_->setText(qt(workflow_.wochentagLabel));
        const QSignalBlocker sperre(tage_);
        tage_->setCurrentIndex(workflow_.tage - 1);
    }
    if (alles || part == ViewPart::PeriodChoice) {
        periodeButton_->setEnabled(workflow_.periodenButtonAktiv);
        perioden_->vonModell();
    }
    if (alles || part == ViewPart::TeacherList)
        server_->lehrerListeAnzeigen();
    if (alles || part == ViewPart::ServerSettings)
        server_->einstellungenGelesen();
    if (alles || part == ViewPart::SendPanel)
        versand_->anzeigen();
}

} // namespace tafelbot::app
