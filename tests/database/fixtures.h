#pragma once

#include "database/componentdb.h"
#include "platform/sqlitedb.h"
#include "support/installation.h"
#include "support/sql.h"

#include <QString>
#include <QStringList>

using namespace Qt::StringLiterals;
using support::rows;

namespace fixtures {

// Template columns in the order the generator needs: part and offset_or_bitno before the text
// columns whose placeholders depend on them.
inline const QString kTemplateColumns = QStringLiteral(
    "ID COUNTER, part SHORT, machine_type TEXT(50), type TEXT(50), offset_or_bitno SHORT, var_name TEXT(100), "
    "category_id LONG, isBitArray BIT, text TEXT(255), page_name TEXT(100), abs_min DOUBLE, abs_max DOUBLE, "
    "min DOUBLE, max DOUBLE, pass SHORT");

// Creates a database file anew (replacing any file there) and runs the statements in order.
platform::Database makeDatabase(const QString& path, const QStringList& statements);

// A previous database with tuned limits in a PRESET_DEFS of the template columns and the extra ones:
// rows (machine_type, var_name, offset, min), the other limits derived from min: abs_min = min - 1,
// abs_max = min + 100, max = min + 99, pass 3.
void makePrevious(const QString& path, const QStringList& tuned, const QString& extraColumns = {});

// The variable names of the PRESET_DEFS at path (in rowid order) as the run's renames in component
// left them.
QStringList lookupNames(const database::ComponentDatabase& component, const QString& path);

// An installation whose reports go to the error log only (a silent run), so tests read them
// back as lines.
struct SilentInstallation : support::Installation {
    SilentInstallation() { context.mode.SilentMode = true; }
    // Lines of the error log: "Fehler in <component> / <source> / <procedure> (Nr. n) :<text>".
    QStringList reports() const;
    void clearReports() const { write(u"QELcfglog.txt"_s, {}); }
};

} // namespace fixtures

