#pragma once

#include "environment/context.h"

#include <QString>
#include <QVariant>

namespace environment {

// The program's INI readers and writer over the private-profile store. Missing values read as
// "", -1 and false, without a word.
QString LoadIniString(Context& ctx, const QString& Section, const QString& Entry, const QString& File);
qint16 LoadIniInteger(Context& ctx, const QString& Section, const QString& Entry, const QString& File);
bool LoadIniBoolean(Context& ctx, const QString& Section, const QString& Entry, const QString& File);
// Writes Value as text by its type (numbers in decimal with ".", booleans "true"/"false", strings
// as they are); returns the store's result, non-zero on success.
qint16 SaveIni(Context& ctx, const QVariant& Value, const QString& Section, const QString& Entry,
               const QString& File);

} // namespace environment
