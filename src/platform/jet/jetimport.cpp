#include "platform/jet/jetimport.h"

#include "platform/jet/isolatedrun_p.h"
#include "platform/jet/jetreader_p.h"
#include "platform/dberror.h"
#include "platform/files.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <array>
#include <cerrno>
#include <optional>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

QString errnoText(int e)
{
    return QString::fromLocal8Bit(std::strerror(e));
}

QString cannotConvert(const QString& path, QString why)
{
    while (why.endsWith(QLatin1Char('.')))
        why.chop(1);
    return QStringLiteral("The Jet database file \"%1\" cannot be converted: %2.").arg(path, why);
}

// Time the reader may take: generous for real files, short enough to end a reader that loops.
std::chrono::milliseconds readerTimeLimit(const QString& jetPath)
{
    const qint64 mebibytes = QFileInfo(jetPath).size() / (1024 * 1024);
    return std::chrono::seconds(60 + 5 * mebibytes);
}

void removeDatabase(const QString& path)
{
    QFile::remove(path);
    QFile::remove(path + QStringLiteral("-journal"));
}

// Converts into target, an existing empty file; removes target on failure.
JetImportResult convertInto(const QString& jetPath, const QString& target)
{
    const std::string jet = QFile::encodeName(jetPath).toStdString();
    const std::string sqlite = QFile::encodeName(target).toStdString();
    const std::string reason =
        runIsolated([&] { return jet::copyJetToSqlite(jet.c_str(), sqlite.c_str()); }, readerTimeLimit(jetPath));
    JetImportResult result;
    if (!reason.empty()) {
        removeDatabase(target);
        result.message = cannotConvert(jetPath, QString::fromUtf8(reason.data(), static_cast<qsizetype>(reason.size())));
        return result;
    }
    // The writer skipped its own syncs; the file must be on disk before it can replace anything.
    if (!syncToDisk(target)) {
        const int e = errno;
        removeDatabase(target);
        result.message = cannotConvert(jetPath, QStringLiteral("the new database \"%1\" cannot be saved (%2)")
                                                    .arg(target, errnoText(e)));
        return result;
    }
    result.ok = true;
    return result;
}

// Device, inode, size and modification time: what tells whether a file was changed or replaced.
std::optional<std::array<qint64, 5>> identify(const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    return std::array<qint64, 5>{static_cast<qint64>(st.st_dev), static_cast<qint64>(st.st_ino),
                                 static_cast<qint64>(st.st_size), static_cast<qint64>(st.st_mtim.tv_sec),
                                 static_cast<qint64>(st.st_mtim.tv_nsec)};
}

} // namespace

void RunDatabaseFile::prepare()
{
    const DatabaseFormat format = databaseFormat(path);
    if (format == DatabaseFormat::Sqlite)
        return;
    if (!isJet(format))
        throw DbError(DbErrUnrecognisedFormat, databaseFormatProblem(path, format));
    jet = std::make_unique<JetConversion>(path);
    if (!jet->ok()) {
        const QString message = jet->message();
        jet.reset();
        throw DbError(DbErrUnrecognisedFormat, message);
    }
}

QString keepJetOriginal(const QString& path, QString* error, bool* created)
{
    const std::optional<QByteArray> bytes = readWholeFile(path, error);
    if (!bytes)
        return {};
    for (int n = 1; n <= 999; ++n) {
        const QString candidate = n == 1 ? path + QStringLiteral(".jet") : path + QStringLiteral(".%1.jet").arg(n);
        const QByteArray name = QFile::encodeName(candidate);
        struct stat st {};
        if (::lstat(name.constData(), &st) == 0) {
            // An earlier conversion of the same file already kept it.
            if (S_ISREG(st.st_mode) && readWholeFile(candidate) == bytes)
                return candidate;
            continue;
        }
        // A hard link keeps the original's bytes, times and permissions and never replaces a
        // file; where the file system has none, a copy (with the original's permissions).
        if (::link(QFile::encodeName(path).constData(), name.constData()) != 0) {
            if (errno == EEXIST)
                continue; // taken meanwhile
            if (!replaceFileByCopy(path, candidate, error)) {
                *error = QStringLiteral("the original cannot be kept as \"%1\" (%2)").arg(candidate, *error);
                return {};
            }
        }
        if (created)
            *created = true;
        return candidate;
    }
    *error = QStringLiteral("no free name is left to keep the original under");
    return {};
}

JetConversion::JetConversion(const QString& path) : m_path(path)
{
    const DatabaseFormat format = databaseFormat(path);
    if (!isJet(format)) {
        m_message = format == DatabaseFormat::Sqlite
                        ? QStringLiteral("The database file \"%1\" is not a Jet database.").arg(path)
                        : databaseFormatProblem(path, format);
        return;
    }
    const auto before = identify(path);
    if (!before) {
        m_message = databaseFormatProblem(path, DatabaseFormat::Unreadable);
        return;
    }

    const QFileInfo info(path);
    QTemporaryFile temp(info.absolutePath() + QLatin1Char('/') + info.fileName() + QStringLiteral(".XXXXXX.converting"));
    temp.setAutoRemove(false);
    if (!temp.open()) {
        m_message = cannotConvert(path, QStringLiteral("no new file can be created in its folder (%1)").arg(temp.errorString()));
        return;
    }
    m_temp = temp.fileName();
    temp.close();

    const JetImportResult result = convertInto(path, m_temp);
    if (!result.ok) {
        m_temp.clear();
        m_message = result.message;
        return;
    }
    // The file must still be the one that was read.
    if (identify(path) != before) {
        removeDatabase(m_temp);
        m_temp.clear();
        m_message = cannotConvert(path, QStringLiteral("it changed while it was being converted"));
        return;
    }
    m_ok = true;
    m_identity = *before;
}

JetConversion::~JetConversion()
{
    if (!m_committed)
        discard();
}

void JetConversion::discard()
{
    if (m_committed || m_temp.isEmpty())
        return;
    removeDatabase(m_temp);
    m_temp.clear();
    m_ok = false;
    m_message = QStringLiteral("The conversion of the Jet database file \"%1\" was discarded.").arg(m_path);
}

JetImportResult JetConversion::commit()
{
    if (m_committed)
        return {true, {}, m_kept};
    if (!m_ok || m_temp.isEmpty())
        return {false, m_message, {}};

    const auto failed = [this](const QString& why) {
        discard();
        m_message = cannotConvert(m_path, why);
        return JetImportResult{false, m_message, {}};
    };

    // Something may have replaced the original since it was read; its content must not be lost.
    if (identify(m_path) != m_identity)
        return failed(QStringLiteral("it changed after it was converted"));

    // The converted database takes over the original's permissions.
    QFile::setPermissions(m_temp, QFile::permissions(m_path));

    bool created = false;
    QString why;
    const QString kept = keepJetOriginal(m_path, &why, &created);
    if (kept.isEmpty())
        return failed(why);

    if (::rename(QFile::encodeName(m_temp).constData(), QFile::encodeName(m_path).constData()) != 0) {
        const int e = errno;
        if (created)
            QFile::remove(kept);
        return failed(QStringLiteral("the converted database cannot take its place (%1)").arg(errnoText(e)));
    }
    syncToDisk(QFileInfo(m_path).absolutePath());
    m_committed = true;
    m_kept = kept;
    m_temp.clear();
    m_message.clear();
    return {true, {}, m_kept};
}

} // namespace platform
