#include "app/MainWindow.h"

#include "app/PasswordDialog.h"
#include "app/PeriodDialog.h"
#include "app/SendingView.h"
#include "app/ServerSettingsDialog.h"
#include "app/TablePanel.h"
#include "app/Text.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTextBlock>
#include <QTimer>
#include <QToolButton>

namespace tafelbot::app {

namespace {

constexpr int LeisteHoehe = 40;
constexpr int TabelleOben = LeisteHoehe + 2;
constexpr int TabelleHoehe = 346;
constexpr int LogOben = TabelleOben + TabelleHoehe + 2;

QPushButton* leistenButton(QWidget* parent, const QString& text, int links, int breite) {
    auto* button = new QPushButton(text, parent);
    button->setGeometry(links, 5, breite, 30);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

} // namespace

MainWindow::MainWindow(QtUi& ui, std::string iniPfad, QWidget* parent)
    : QWidget(parent), ui_(ui), workflow_(ui, std::move(iniPfad)) {
    setObjectName(QStringLiteral("hauptfenster"));
    setFixedSize(Breite, Hoehe);
    setWindowTitle(QStringLiteral("Tafelbot"));
    dateiWaehlen = [this](const QString& start) { return standardDateiauswahl(start); };

    bauWerkzeugleiste();

    tabelle_ = new TablePanel(workflow_.tabelle, this);
    tabelle_->setGeometry(0, TabelleOben, Breite, TabelleHoehe);
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
    busy_->setGeometry((Breite - 520) / 2, TabelleOben + 140, 520, 56);
    busy_->hide();

    log_ = new QPlainTextEdit(this);
    log_->setObjectName(QStringLiteral("infoLog"));
    log_->setReadOnly(true);
    log_->setGeometry(2, LogOben, Breite - 4, Hoehe - LogOben - 2);
    QPalette grau = log_->palette();
    grau.setColor(QPalette::Base, QColor(128, 128, 128));
    grau.setColor(QPalette::Text, Qt::white);
    log_->setPalette(grau);
    log_->setLineWrapMode(QPlainTextEdit::NoWrap);

    // The dialogs in the order the program has always created them.
    server_ = new ServerSettingsDialog(workflow_, this);
    kennwort_ = new PasswordDialog(this);
    perioden_ = new PeriodDialog(workflow_, this);
    ui_.setView(this, this);
    ui_.setPasswordDialog(kennwort_);
    versand_ = std::make_unique<SendingView>(*this);

    if (QScreen* bildschirm = QGuiApplication::primaryScreen()) {
        const QRect flaeche = bildschirm->availableGeometry();
        move(flaeche.center() - QPoint(Breite / 2, Hoehe / 2));
    }
}

MainWindow::~MainWindow() {
    ui_.setView(nullptr, nullptr);
}

void MainWindow::bauWerkzeugleiste() {
    werkzeugleiste_ = new QFrame(this);
    werkzeugleiste_->setObjectName(QStringLiteral("werkzeugleiste"));
    werkzeugleiste_->setFrameStyle(QFrame::Panel | QFrame::Raised);
    werkzeugleiste_->setGeometry(0, 0, Breite, LeisteHoehe);
    werkzeugleiste_->setFocusPolicy(Qt::ClickFocus);

    auto* datumGruppe = new QFrame(werkzeugleiste_);
    datumGruppe->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    datumGruppe->setGeometry(4, 4, 258, 32);
    vorigerTag_ = new QToolButton(datumGruppe);
    vorigerTag_->setArrowType(Qt::LeftArrow);
    vorigerTag_->setToolTip(QStringLiteral("voriger Schultag"));
    vorigerTag_->setGeometry(3, 3, 26, 26);
    naechsterTag_ = new QToolButton(datumGruppe);
    naechsterTag_->setArrowType(Qt::RightArrow);
    naechsterTag_->setToolTip(QStringLiteral("nächster Schultag"));
    naechsterTag_->setGeometry(31, 3, 26, 26);
    for (QToolButton* b : {vorigerTag_, naechsterTag_})
        b->setFocusPolicy(Qt::NoFocus);
    datumFeld_ = new QLineEdit(datumGruppe);
    datumFeld_->setObjectName(QStringLiteral("datum"));
    datumFeld_->setMaxLength(10);
    datumFeld_->setAlignment(Qt::AlignCenter);
    datumFeld_->setGeometry(61, 4, 94, 24);
    wochentag_ = new QLabel(datumGruppe);
    wochentag_->setObjectName(QStringLiteral("wochentag"));
    wochentag_->setAlignment(Qt::AlignCenter);
    wochentag_->setGeometry(158, 3, 96, 26);

    int links = 270;
    auto naechster = [&](const QString& text, int breite) {
        QPushButton* b = leistenButton(werkzeugleiste_, text, links, breite);
        links += breite + 6;
        return b;
    };
    gpnButton_ = naechster(QStringLiteral("gp-Untis-Datei"), 104);
    periodeButton_ = naechster(QStringLiteral("Periode"), 80);
    periodeButton_->setEnabled(false);
    einstellungenButton_ = naechster(QStringLiteral("Einstellungen"), 100);
    sendenButton_ = naechster(QStringLiteral("eMail(s) senden"), 112);
    beendenButton_ = naechster(QStringLiteral("Beenden"), 80);

    connect(vorigerTag_, &QToolButton::clicked, this, [this] { workflow_.vorigerSchultag(); });
    connect(naechsterTag_, &QToolButton::clicked, this, [this] { workflow_.naechsterSchultag(); });
    connect(datumFeld_, &QLineEdit::returnPressed, this,
            [this] { workflow_.datumEingegeben(cp(datumFeld_->text())); });
    connect(gpnButton_, &QPushButton::clicked, this, &MainWindow::gpnDateiWaehlen);
    connect(periodeButton_, &QPushButton::clicked, this, [this] { perioden_->oeffnen(); });
    connect(einstellungenButton_, &QPushButton::clicked, this, [this] { server_->oeffnen(); });
    connect(beendenButton_, &QPushButton::clicked, this, &QWidget::close);
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
    workflow_.formActivate();
    viewChanged(ViewPart::Window);
}

void MainWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // After the window is on screen, as the first activation of the original program.
    if (workflow_.ersteAktivierung)
        QTimer::singleShot(0, this, &MainWindow::aktivieren);
}

void MainWindow::closeEvent(QCloseEvent* event) {
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
