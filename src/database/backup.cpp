#include "database/backup.h"

#include "platform/files.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <optional>

namespace database {

namespace {

const QString kManifest = QStringLiteral("backup.txt");

QString backupRoot(const QString& componentFolder)
{
    return platform::joinPath(componentFolder, QStringLiteral("backup"));
}

// Backup folders in stamp order (oldest first).
QStringList stamps(const QString& componentFolder)
{
    QStringList names = QDir(backupRoot(componentFolder)).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    names.removeIf([](const QString& n) { return !isBackupStamp(n); });
    return names;
}

struct Manifest {
    int records = 0;
    int lost = 0;
    QList<QPair<QString, QString>> files; // name in the backup, where it belongs
};

std::optional<Manifest> readManifest(const QString& folder)
{
    const std::optional<QByteArray> text = platform::readWholeFile(platform::joinPath(folder, kManifest));
    if (!text)
        return std::nullopt;
    Manifest m;
    for (const QString& line : QString::fromUtf8(*text).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList f = line.split(QLatin1Char('\t'));
        if (f.size() == 2 && f[0] == QLatin1String("records"))
            m.records = f[1].toInt();
        else if (f.size() == 2 && f[0] == QLatin1String("lost"))
            m.lost = f[1].toInt();
        else if (f.size() == 3 && f[0] == QLatin1String("file"))
            m.files.append({f[1], f[2]});
        else
            return std::nullopt;
    }
    return m;
}

} // namespace

bool isBackupStamp(const QString& name)
{
    static const QRegularExpression stamp(QStringLiteral("^\\d{8}-\\d{6}(-\\d{3})?$"));
    return stamp.match(name).hasMatch();
}

QString noBackupText(const QString& componentFolder)
{
    return QStringLiteral("There is no backup in \"%1\".").arg(backupRoot(componentFolder));
}

bool makeBackup(const QString& componentFolder, const QStringList& files, const QString& reportName,
                const QByteArray& report, int records, int lost, QString* error)
{
    const auto fail = [&](const QString& why) {
        *error = why;
        return false;
    };
    const QString root = backupRoot(componentFolder);
    if (!QDir().mkpath(root))
        return fail(QStringLiteral("Cannot create the backup folder \"%1\".").arg(root));
    // Made under a temporary name and renamed once complete, so a run that ends on the way leaves
    // no half backup; what a killed run left under such a name goes.
    for (const QString& stale : QDir(root).entryList({QStringLiteral(".new-*")}, QDir::Dirs | QDir::Hidden))
        QDir(platform::joinPath(root, stale)).removeRecursively();
    QTemporaryDir temp(platform::joinPath(root, QStringLiteral(".new-XXXXXX")));
    if (!temp.isValid())
        return fail(QStringLiteral("Cannot create a folder in \"%1\".").arg(root));
    QString manifest = QStringLiteral("records\t%1\nlost\t%2\n").arg(records).arg(lost);
    for (const QString& file : files) {
        if (!platform::fileExists(file))
            continue;
        const QString name = QFileInfo(file).fileName();
        QString why;
        if (!platform::replaceFileByCopy(file, temp.filePath(name), &why))
            return fail(why);
        manifest += QStringLiteral("file\t%1\t%2\n").arg(name, platform::resolvePath(file));
    }
    QString why;
    if (!platform::writeFileAtomically(temp.filePath(reportName), report, &why) ||
        !platform::writeFileAtomically(temp.filePath(kManifest), manifest.toUtf8(), &why))
        return fail(why);
    QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    // Runs within the same second get folders of their own, numbered after every folder of that
    // second, so name order stays run order even once the first of them has been removed.
    int last = 0;
    for (const QString& name : stamps(componentFolder)) {
        if (name.startsWith(stamp))
            last = std::max(last, name.size() > 15 ? name.mid(16).toInt() : 1);
    }
    if (last > 0)
        stamp += QStringLiteral("-%1").arg(last + 1, 3, 10, QLatin1Char('0'));
    if (!QDir().rename(temp.path(), platform::joinPath(root, stamp)))
        return fail(QStringLiteral("Cannot create the backup folder \"%1\".").arg(platform::joinPath(root, stamp)));
    temp.setAutoRemove(false);
    // The backup's name reaches the disk before anything it keeps is replaced.
    if (!platform::syncToDisk(root))
        return fail(QStringLiteral("Cannot save the backup folder \"%1\".").arg(platform::joinPath(root, stamp)));
    const QStringList all = stamps(componentFolder);
    for (qsizetype i = 0; i + kBackupsKept < all.size(); ++i)
        QDir(platform::joinPath(root, all[i])).removeRecursively();
    return true;
}

QList<BackupInfo> listBackups(const QString& componentFolder)
{
    QList<BackupInfo> result;
    for (const QString& stamp : stamps(componentFolder)) {
        if (const auto m = readManifest(platform::joinPath(backupRoot(componentFolder), stamp)))
            result.append({stamp, m->records, m->lost});
    }
    return result;
}

bool restoreBackup(const QString& componentFolder, const QString& stamp, QString* error)
{
    const auto fail = [&](const QString& why) {
        *error = why;
        return false;
    };
    const QStringList all = stamps(componentFolder);
    if (all.isEmpty())
        return fail(noBackupText(componentFolder));
    const QString chosen = stamp.isEmpty() ? all.last() : stamp;
    if (!all.contains(chosen))
        return fail(QStringLiteral("There is no backup \"%1\" in \"%2\".").arg(chosen, backupRoot(componentFolder)));
    const QString folder = platform::joinPath(backupRoot(componentFolder), chosen);
    const std::optional<Manifest> manifest = readManifest(folder);
    if (!manifest)
        return fail(QStringLiteral("The backup \"%1\" is damaged: its list of files cannot be read.").arg(folder));
    // Everything is read first; a target is put back only when every file of the backup is there.
    // A target that is absent now is remembered as absent.
    QList<QByteArray> saved;
    QList<std::optional<QByteArray>> current;
    for (const auto& [name, target] : manifest->files) {
        const std::optional<QByteArray> bytes = platform::readWholeFile(platform::joinPath(folder, name));
        if (!bytes)
            return fail(QStringLiteral("The backup \"%1\" is damaged: \"%2\" cannot be read.").arg(folder, name));
        saved << *bytes;
        QString why;
        current << (platform::fileExists(target) ? platform::readWholeFile(target, &why) : std::nullopt);
        if (platform::fileExists(target) && !current.last())
            return fail(why);
    }
    for (qsizetype i = 0; i < manifest->files.size(); ++i) {
        QString why;
        if (platform::writeFileAtomically(manifest->files[i].second, saved[i], &why))
            continue;
        // All or none: the files already put back get their bytes of before the restore, and a
        // file that was not there before goes again.
        for (qsizetype j = 0; j < i; ++j) {
            const QString& target = manifest->files[j].second;
            if (current[j])
                platform::writeFileAtomically(target, *current[j]);
            else
                QFile::remove(platform::resolvePath(target));
        }
        return fail(why);
    }
    return true;
}

} // namespace database
