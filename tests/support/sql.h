#pragma once

#include "platform/sqlitedb.h"

#include <QStringList>

namespace support {

// The rows of a query, each as its values joined by "|", an absent value written as "~".
inline QStringList rows(const platform::Database& db, const QString& sql)
{
    platform::Statement st(db, sql);
    QStringList result;
    while (st.step()) {
        QStringList values;
        for (int c = 0; c < st.columnCount(); ++c) {
            const QVariant v = st.value(c);
            values << (v.isNull() ? QStringLiteral("~") : v.toString());
        }
        result << values.join(QLatin1Char('|'));
    }
    return result;
}
inline QStringList rows(const QString& path, const QString& sql)
{
    return rows(platform::Database(path), sql);
}

} // namespace support
