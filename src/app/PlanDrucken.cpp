#include "app/PlanDrucken.h"

#include "mail/PlanDruck.h"
#include "settings/Cp1252.h"

#include <QAbstractTextDocumentLayout>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QTextDocument>
#include <QVBoxLayout>

namespace tafelbot::app {

std::optional<bool> frageDruckumfang(QWidget* parent, const QString& titel) {
    QDialog dialog(parent);
    dialog.setWindowTitle(titel);
    auto* alle = new QRadioButton(QStringLiteral("&alle Lehrkräfte mit Vertretungen"), &dialog);
    auto* ohne = new QRadioButton(QStringLiteral("nur Lehrkräfte &ohne eMail-Adresse"), &dialog);
    alle->setObjectName(QStringLiteral("alle"));
    ohne->setObjectName(QStringLiteral("ohneAdresse"));
    alle->setChecked(true);
    auto* knoepfe = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    // The window's own texts, whether Qt's translations are installed or not.
    knoepfe->button(QDialogButtonBox::Ok)->setText(QStringLiteral("&Weiter …"));
    knoepfe->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("A&bbrechen"));
    QObject::connect(knoepfe, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(knoepfe, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* spalte = new QVBoxLayout(&dialog);
    spalte->addWidget(new QLabel(QStringLiteral("Eine Seite je Lehrkraft, für:"), &dialog));
    spalte->addWidget(alle);
    spalte->addWidget(ohne);
    spalte->addWidget(knoepfe);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return ohne->isChecked();
}

// Each page is a document of its own, laid out for the printer's resolution: a teacher's page
// starts on a new sheet, and a long one goes on over as many sheets as it needs.
bool druckeSeiten(QPrinter& drucker, const std::vector<std::string>& seiten) {
    QPainter maler;
    if (!maler.begin(&drucker))
        return false;
    const QRectF flaeche = drucker.pageLayout().paintRectPixels(drucker.resolution());
    bool ersteSeite = true;
    for (const std::string& seite : seiten) {
        QTextDocument dokument;
        dokument.documentLayout()->setPaintDevice(&drucker);
        dokument.setDefaultFont(QFont(QStringLiteral("Arial"), 10));
        dokument.setHtml(QString::fromStdString(cp1252ToUtf8(druckDokument({seite}, "utf-8"))));
        dokument.setPageSize(flaeche.size());
        for (int blatt = 0; blatt < dokument.pageCount(); ++blatt) {
            if (!ersteSeite)
                drucker.newPage();
            ersteSeite = false;
            const QRectF ausschnitt(0, blatt * flaeche.height(), flaeche.width(), flaeche.height());
            maler.save();
            maler.translate(0, -ausschnitt.top());
            dokument.drawContents(&maler, ausschnitt);
            maler.restore();
        }
    }
    return maler.end();
}

bool speichereAlsPdf(const QString& datei, const std::vector<std::string>& seiten) {
    QPrinter drucker(QPrinter::HighResolution);
    drucker.setOutputFormat(QPrinter::PdfFormat);
    drucker.setOutputFileName(datei);
    drucker.setPageSize(QPageSize(QPageSize::A4));
    drucker.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
    drucker.setDocName(QStringLiteral("Vertretungsplan"));
    return druckeSeiten(drucker, seiten);
}

} // namespace tafelbot::app
