#pragma once

#include "settings/Cp1252.h"

#include <QString>
#include <string>

namespace tafelbot::app {

// The core's Windows-1252 texts as Qt strings and back.
inline QString qt(const std::string& cp1252) {
    return QString::fromStdString(cp1252ToUtf8(cp1252));
}
inline std::string cp(const QString& text) {
    return utf8ToCp1252(text.toStdString());
}

// A message text with its LF CR line breaks as single line breaks.
inline QString meldung(const std::string& cp1252) {
    QString text = qt(cp1252);
    text.replace(QStringLiteral("\n\r"), QStringLiteral("\n"));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

} // namespace tafelbot::app
