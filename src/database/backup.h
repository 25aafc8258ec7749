#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace database {

// The backups of a component folder: <component folder>/backup/<yyyyMMdd-HHmmss>[-n]/, each with
// copies of the files a run replaced, the run's report and a list of where each file belongs.
inline constexpr int kBackupsKept = 10;

// Copies the files that exist (as they are now) and the new report into a new backup folder,
// complete and synced before it appears under its stamp, then removes all but the newest
// kBackupsKept. False with the reason in *error when the backup could not be made; then no new
// folder is left.
bool makeBackup(const QString& componentFolder, const QStringList& files, const QString& reportName,
                const QByteArray& report, int records, int lost, QString* error);

// Whether a name has the form of a backup's stamp: yyyyMMdd-HHmmss, or yyyyMMdd-HHmmss-nnn for a
// later run within the same second.
bool isBackupStamp(const QString& name);

// The reason given when a component folder has no backup.
QString noBackupText(const QString& componentFolder);

struct BackupInfo {
    QString stamp;
    int records = 0;
    int lost = 0;
};
// The backups, oldest first.
QList<BackupInfo> listBackups(const QString& componentFolder);

// Puts the files of a backup (the newest when stamp is empty) back, each atomically and all or
// none. False with the reason in *error.
bool restoreBackup(const QString& componentFolder, const QString& stamp, QString* error);

} // namespace database
