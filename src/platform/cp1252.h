#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// The ANSI code page of the original platform. INI files and logs are stored in it.
// A character that the code page cannot hold is written as "?".
QByteArray toCp1252(const QString& text);
QString fromCp1252(const QByteArray& bytes);

} // namespace platform
