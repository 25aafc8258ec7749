#include "platform/jet/jetimport.h"

#include "platform/jet/isolatedrun_p.h"
#include "platform/jet/jetreader_p.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <array>
#include <cerrno>
#include <optional>
#include <cstring>

#include <fcntl.h>
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

bool syncPath(const QString& path, int flags)
{
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
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
    if (!syncPath(target, O_RDONLY)) {
        const int e = errno;
        removeDatabase(target);
        result.message = cannotConvert(jetPath, QStringLiteral("the new database \"%1\" cannot be saved (%2)")
                                                    .arg(target, errnoText(e)));
        return result;
    }
    result.ok = true;
    return result;
}

bool sameContent(const QString& a, const QString& b)
{
    QFile fa(a);
    QFile fb(b);
    if (!fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly) || fa.size() != fb.size())
        return false;
    while (!fa.atEnd()) {
        const QByteArray chunk = fa.read(1 << 16);
        if (chunk.isEmpty() || chunk != fb.read(chunk.size()))
            return false;
    }
    return true;
}

// Copies from to a new file to (never replacing one), with the same mode and times.
bool copyExclusive(const QString& from, const QString& to, int& error)
{
    const int in = ::open(QFile::encodeName(from).constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        error = errno;
        return false;
    }
    struct stat st {};
    ::fstat(in, &st);
    const int out = ::open(QFile::encodeName(to).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                           st.st_mode & 07777);
    if (out < 0) {
        error = errno;
        ::close(in);
        return false;
    }
    bool ok = true;
    char buf[1 << 16];
    for (;;) {
        const ssize_t n = ::read(in, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        for (ssize_t done = 0; ok && done < n;) {
            const ssize_t w = ::write(out, buf + done, static_cast<size_t>(n - done));
            if (w < 0 && errno == EINTR)
                continue;
            ok = w > 0;
            done += w > 0 ? w : 0;
        }
        if (!ok)
            break;
    }
    error = ok ? 0 : (errno ? errno : EIO);
    const timespec times[2] = {st.st_atim, st.st_mtim};
    ok = ok && ::futimens(out, times) == 0 && ::fsync(out) == 0;
    if (!ok && error == 0)
        error = errno;
    ::close(out);
    ::close(in);
    if (!ok)
        ::unlink(QFile::encodeName(to).constData());
    return ok;
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

    QString kept;
    bool created = false;
    for (int n = 1; n <= 999 && kept.isEmpty(); ++n) {
        const QString candidate = n == 1 ? m_path + QStringLiteral(".jet")
                                         : m_path + QStringLiteral(".%1.jet").arg(n);
        const QByteArray name = QFile::encodeName(candidate);
        struct stat st {};
        if (::lstat(name.constData(), &st) == 0) {
            // An earlier conversion of the same file already kept it.
            if (S_ISREG(st.st_mode) && sameContent(m_path, candidate))
                kept = candidate;
            continue;
        }
        // A hard link keeps the original's bytes, times and permissions and never replaces a file.
        if (::link(QFile::encodeName(m_path).constData(), name.constData()) == 0) {
            kept = candidate;
            created = true;
            continue;
        }
        if (errno == EEXIST)
            continue;
        int error = 0;
        if (copyExclusive(m_path, candidate, error)) {
            kept = candidate;
            created = true;
            continue;
        }
        if (error == EEXIST)
            continue;
        return failed(QStringLiteral("the original cannot be kept as \"%1\" (%2)").arg(candidate, errnoText(error)));
    }
    if (kept.isEmpty())
        return failed(QStringLiteral("no free name is left to keep the original under"));

    if (::rename(QFile::encodeName(m_temp).constData(), QFile::encodeName(m_path).constData()) != 0) {
        const int e = errno;
        if (created)
            QFile::remove(kept);
        return failed(QStringLiteral("the converted database cannot take its place (%1)").arg(errnoText(e)));
    }
    syncPath(QFileInfo(m_path).absolutePath(), O_RDONLY | O_DIRECTORY);
    m_committed = true;
    m_kept = kept;
    m_temp.clear();
    m_message.clear();
    return {true, {}, m_kept};
}

} // namespace platform
