#include "platform/dbformat.h"

#include <QFile>
#include <QFileInfo>

namespace platform {

namespace {

constexpr qint64 kJet3PageSize = 2048;
constexpr qint64 kJet4PageSize = 4096;

} // namespace

DatabaseFormat databaseFormat(const QString& path)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists() || !info.isFile())
        return DatabaseFormat::Missing;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return DatabaseFormat::Unreadable;
    const qint64 size = file.size();
    if (size == 0)
        return DatabaseFormat::Empty;
    const QByteArray head = file.read(32);
    if (head.startsWith(QByteArray("SQLite format 3\0", 16)))
        return DatabaseFormat::Sqlite;
    const QByteArray signature = head.mid(4, 15);
    if (signature == "Standard ACE DB")
        return DatabaseFormat::Ace;
    if (signature != "Standard Jet DB")
        return DatabaseFormat::Other;
    // The version byte; a real file has at least its header page and the catalog's page.
    const int version = head.size() > 0x14 ? static_cast<unsigned char>(head[0x14]) : -1;
    if (version == 0 && size >= 2 * kJet3PageSize)
        return DatabaseFormat::Jet3;
    if (version == 1 && size >= 2 * kJet4PageSize)
        return DatabaseFormat::Jet4;
    return DatabaseFormat::DamagedJet;
}

QString databaseFormatProblem(const QString& path, DatabaseFormat format)
{
    switch (format) {
    case DatabaseFormat::Missing:
        return QStringLiteral("The database file \"%1\" cannot be found.").arg(path);
    case DatabaseFormat::Unreadable:
        return QStringLiteral("The database file \"%1\" cannot be read.").arg(path);
    case DatabaseFormat::Empty:
        return QStringLiteral("The database file \"%1\" is empty.").arg(path);
    case DatabaseFormat::Ace:
        return QStringLiteral("The database file \"%1\" is an Access 2007 or later database (ACE), which cannot be "
                              "opened; save it in the Access 2000 format (.mdb) first.")
            .arg(path);
    case DatabaseFormat::DamagedJet:
        return QStringLiteral("The database file \"%1\" is a damaged Jet database or one of an unknown version.")
            .arg(path);
    case DatabaseFormat::Other:
        return QStringLiteral("The file \"%1\" is neither an SQLite nor a Jet database.").arg(path);
    case DatabaseFormat::Sqlite:
    case DatabaseFormat::Jet3:
    case DatabaseFormat::Jet4:
        break;
    }
    return {};
}

} // namespace platform
