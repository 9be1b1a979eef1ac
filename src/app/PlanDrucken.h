#pragma once

#include <QString>
#include <optional>
#include <string>
#include <vector>

class QPrinter;
class QWidget;

namespace tafelbot::app {

// Whom the printed plan is for: the step before the print or file dialog. True: only the
// teachers without an e-mail address; nullopt: cancelled.
std::optional<bool> frageDruckumfang(QWidget* parent, const QString& titel);

// Prints the pages of the plan (the core's Windows-1252 HTML, one page per teacher), each page
// on a sheet of its own. False when the printer or the file could not be opened.
bool druckeSeiten(QPrinter& drucker, const std::vector<std::string>& seiten);

// Writes the pages as a PDF file (A4); false when the file could not be written.
bool speichereAlsPdf(const QString& datei, const std::vector<std::string>& seiten);

} // namespace tafelbot::app
