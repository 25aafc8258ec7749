#include "database/options.h"

#include "database/backup.h"
#include "database/report.h"
#include "environment/commandline.h"
#include "environment/context.h"
#include "environment/errors.h"
#include "environment/paths.h"
#include "platform/files.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

namespace database {

namespace {

// The usage text; %1 the program's name, %2 the component database, %3 its report, %4 the
// component folder.
QString usage()
{
    return QStringLiteral(
               "Usage: %1 [/EXTERNAL=QELCFG | /EXTERNAL=SILENT] [/LOGFILE=<path>]\n"
               "       %1 --dry-run | --list-backups | --restore [<yyyyMMdd-HHmmss>] | --help | --version\n"
               "\n"
               "Configures the servo view of the machines of this installation and regenerates PRESET_DEFS\n"
               "of the component database, carrying the tuned limits over.\n"
               "\n"
               "  /EXTERNAL=QELCFG  integrated start (started by the suite)\n"
               "  /EXTERNAL=SILENT  silent start: no window, OK at once, messages to the service log\n"
               "  /LOGFILE=<path>   error log of an integrated start\n"
               "  --dry-run         the silent run (with /EXTERNAL=QELCFG the integrated run) on a copy of\n"
               "                    the installation; prints its report and changes nothing\n"
               "  --list-backups    lists the backups: stamp, records, limits lost\n"
               "  --restore [stamp] puts the files of the newest (or the given) backup back; a stamp is\n"
               "                    yyyyMMdd-HHmmss, with -nnn for a later run within the same second\n"
               "  --help, --version this text, the program's version\n"
               "  --                ends the options\n"
               "One -- option at a time.\n"
               "\n"
               "Files: the component database %2, its report %3,\n"
               "backups in %4/backup/<stamp>/ (the newest ") +
           QString::number(kBackupsKept) +
           QStringLiteral(
               " are kept).\n"
               "\n"
               "Exit codes: 0 done, 1 cancelled, 2 ended early or failed (nothing written),\n"
               "3 done but something could not be generated, taken over or written.\n");
}

// The /LOGFILE option, whose path may go on over blanks into the next arguments.
bool logFileOption(const QString& argument)
{
    return argument.startsWith(QLatin1String("/LOGFILE"), Qt::CaseInsensitive);
}

// Whether an argument belongs to the start options (/EXTERNAL, /LOGFILE) the window reads.
bool startOption(const QString& argument)
{
    return argument.startsWith(QLatin1String("/EXTERNAL"), Qt::CaseInsensitive) || logFileOption(argument);
}

QString notTogether(const QString& one, const QString& other)
{
    return QStringLiteral("the options %1 and %2 do not go together").arg(one, other);
}

// A dry run: the whole silent closing run on a copy of the installation, whose report is
// printed; the installation itself is only read. The exit code is the run's.
int dryRun(platform::Process& process, environment::Context& ctx)
{
    const QString root = environment::installationRoot(ctx);
    QTemporaryDir copy;
    if (!copy.isValid()) {
        process.printError(QStringLiteral("no temporary folder for the dry run (%1)").arg(copy.errorString()));
        return platform::ExitOther;
    }
    // The program started on the copy knows it by this file; a real installation has none.
    QString why;
    if (!platform::writeFileAtomically(copy.filePath(kDryRunMarker), QByteArray(), &why)) {
        process.printError(QStringLiteral("cannot prepare the copy for the dry run: %1").arg(why));
        return platform::ExitOther;
    }
    for (QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();) {
        const QString file = it.next();
        const QString relative = QDir(root).relativeFilePath(file);
        if (relative.contains(QLatin1String("/backup/")))
            continue; // earlier runs' backups play no part in a run
        if (!QDir().mkpath(QFileInfo(copy.filePath(relative)).absolutePath()) ||
            !platform::replaceFileByCopy(file, copy.filePath(relative), &why)) {
            process.printError(QStringLiteral("cannot copy \"%1\" for the dry run: %2").arg(file, why));
            return platform::ExitOther;
        }
    }
    // An integrated run is previewed as one, its error log in the copy; any other as a silent run.
    QStringList arguments{kDryRunChildOption, QStringLiteral("/EXTERNAL=SILENT")};
    if (environment::GetStartModeIntegrated(ctx))
        arguments = QStringList{kDryRunChildOption, QStringLiteral("/EXTERNAL=QELCFG"),
                                QStringLiteral("/LOGFILE=") + copy.filePath(environment::kErrorLogName)};
    QProcess run;
    run.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    run.start(copy.filePath(QDir(root).relativeFilePath(process.exeFile())), arguments);
    if (!run.waitForFinished(-1) || run.exitStatus() != QProcess::NormalExit) {
        process.printError(QStringLiteral("the dry run did not end normally"));
        return platform::ExitOther;
    }
    const QString copied = copy.filePath(QDir(root).relativeFilePath(environment::GetPathOCXMDB(ctx)));
    if (const std::optional<QByteArray> text = platform::readWholeFile(reportPath(copied)))
        std::fwrite(text->constData(), 1, size_t(text->size()), stdout);
    return run.exitCode();
}

int listBackupsOf(platform::Process& process, const QString& folder)
{
    const QList<BackupInfo> backups = listBackups(folder);
    if (backups.isEmpty()) {
        process.printError(noBackupText(folder));
        return platform::ExitOther;
    }
    for (const BackupInfo& b : backups) {
        std::printf("%s  %s  %s\n", qPrintable(b.stamp),
                    qPrintable(counted(b.records, QStringLiteral("record"), QStringLiteral("records"))),
                    qPrintable(counted(b.lost, QStringLiteral("limit lost"), QStringLiteral("limits lost"))));
    }
    return platform::ExitClosingRunDone;
}

int restore(platform::Process& process, const QString& folder, const std::optional<QString>& stamp)
{
    QString why;
    if (!restoreBackup(folder, stamp.value_or(QString()), &why)) {
        process.printError(why);
        return platform::ExitOther;
    }
    std::printf("%s: restored the backup %s\n", qPrintable(process.exeName()),
                qPrintable(stamp ? *stamp : listBackups(folder).last().stamp));
    return platform::ExitClosingRunDone;
}

} // namespace

platform::Answer PrintedMessages::show(const platform::MessageBox& box)
{
    m_process.printError(box.text);
    return box.buttons == platform::Buttons::YesNo ? m_question : platform::Answer::Ok;
}

CommandOptions runOptions(platform::Process& process, const QStringList& arguments)
{
    CommandOptions result;
    PrintedMessages messages(process, platform::Answer::No);
    environment::Context ctx{process, messages};
    const auto refuse = [&](const QString& why) {
        process.printError(why + QStringLiteral("; see --help"));
        result.exitCode = platform::ExitOther;
        return result;
    };
    // The one option, the argument of --restore, and whatever else the arguments hold. Without a
    // "--" option the arguments are the window's (and the suite's) and none is refused.
    QString option;
    std::optional<QString> stamp;
    QStringList unexpected;
    bool inValue = false; // within the value of a "/" option (a path may hold blanks)
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == QLatin1String("--"))
            break; // what follows is no option
        if (a == kDryRunChildOption) {
            result.dryRunChild = true;
            inValue = false;
            continue;
        }
        if (a.startsWith(QLatin1String("--"))) {
            static const QStringList known{QStringLiteral("--dry-run"), QStringLiteral("--list-backups"),
                                           QStringLiteral("--restore"), QStringLiteral("--help"),
                                           QStringLiteral("--version")};
            if (!known.contains(a))
                return refuse(QStringLiteral("unknown option \"%1\"").arg(a));
            if (!option.isEmpty())
                return refuse(notTogether(option, a));
            option = a;
            inValue = false;
            continue;
        }
        if (i > 0 && arguments[i - 1] == QLatin1String("--restore") && !startOption(a)) {
            stamp = a;
            continue;
        }
        if (a.startsWith(QLatin1Char('/'))) {
            inValue = logFileOption(a);
            continue;
        }
        if (inValue)
            continue;
        unexpected << a;
    }
    if (result.dryRunChild && !platform::fileExists(platform::joinPath(environment::installationRoot(ctx), kDryRunMarker)))
        return refuse(QStringLiteral("%1 is for the program a dry run starts on its copy").arg(kDryRunChildOption));
    if (option.isEmpty())
        return result;
    if (!unexpected.isEmpty())
        return refuse(QStringLiteral("unexpected argument \"%1\"").arg(unexpected.first()));
    if (result.dryRunChild)
        return refuse(notTogether(kDryRunChildOption, option));
    if (stamp && !isBackupStamp(*stamp))
        return refuse(QStringLiteral("\"%1\" is not a backup's stamp (yyyyMMdd-HHmmss[-nnn])").arg(*stamp));

    const QString component = environment::GetPathOCXMDB(ctx);
    const QString folder = QFileInfo(component).absolutePath();
    if (option == QLatin1String("--version")) {
        const platform::Version v = process.version();
        std::printf("%s %d.%d.%d\n", qPrintable(process.exeName()), v.major, v.minor, v.revision);
        result.exitCode = platform::ExitClosingRunDone;
    } else if (option == QLatin1String("--help")) {
        std::printf("%s", qPrintable(usage().arg(process.exeName(), component, reportPath(component), folder)));
        result.exitCode = platform::ExitClosingRunDone;
    } else if (option == QLatin1String("--dry-run")) {
        result.exitCode = dryRun(process, ctx);
    } else if (option == QLatin1String("--list-backups")) {
        result.exitCode = listBackupsOf(process, folder);
    } else {
        result.exitCode = restore(process, folder, stamp);
    }
    std::fflush(nullptr);
    return result;
}

} // namespace database
