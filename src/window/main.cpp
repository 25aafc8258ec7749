#include "database/backup.h"
#include "database/report.h"
#include "environment/commandline.h"
#include "environment/context.h"
#include "environment/errors.h"
#include "environment/paths.h"
#include "window/qtmessages.h"
#include "platform/process.h"
#include "window/kalvia.h"

#include <QApplication>
#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QRegularExpression>
#include <QLoggingCategory>

#include <cstdio>
#include <optional>

namespace {

bool silentStart(const platform::Process& process)
{
    try {
        return environment::parseCommand(process.commandLine(), QStringLiteral("EXTERNAL"))
                   .value_or(QString()) == QLatin1String("SILENT");
    } catch (const environment::RunTimeError&) {
        return false;
    }
}

// Messages of the command-line options and of a dry run go to standard error; a question gets
// the given answer.
class PrintedMessages final : public platform::Messages {
public:
    explicit PrintedMessages(platform::Answer question) : m_question(question) {}
    platform::Answer show(const platform::MessageBox& box) override
    {
        std::fprintf(stderr, "%s\n", qPrintable(QString(box.text).replace(environment::kLfCr, QStringLiteral("\n"))));
        return box.buttons == platform::Buttons::YesNo ? m_question : platform::Answer::Ok;
    }

private:
    platform::Answer m_question;
};

// Set for the program a dry run starts: it presses OK at once and answers every question Yes, as
// a user going on would.
const char* const kDryRunChild = "KALVIA_DRY_RUN";

const char* const kHelp =
    "Usage: %1 [/EXTERNAL=QELCFG | /EXTERNAL=SILENT] [/LOGFILE=<path>]\n"
    "       %1 --dry-run | --list-backups | --restore [<yyyyMMdd-HHmmss>] | --help | --version\n"
    "\n"
    "Configures the servo view of the machines of this installation and regenerates PRESET_DEFS\n"
    "of the component database, carrying the tuned limits over.\n"
    "\n"
    "  /EXTERNAL=QELCFG  integrated start (started by the suite)\n"
    "  /EXTERNAL=SILENT  silent start: no window, OK at once, messages to the service log\n"
    "  /LOGFILE=<path>   error log of an integrated start\n"
    "  --dry-run         the silent run on a copy of the installation; prints its report\n"
    "  --list-backups    lists the backups: stamp, records, limits lost\n"
    "  --restore [stamp] puts the files of the newest (or the given) backup back\n"
    "  --help, --version this text, the program's version\n"
    "\n"
    "Files: the component database %2, its report %3,\n"
    "backups in %4/backup/<stamp>/ (the newest 10 are kept).\n"
    "\n"
    "Exit codes: 0 done, 1 cancelled, 2 ended early or failed (nothing written),\n"
    "3 done but failures were reported.\n";

// A dry run: the whole silent closing run on a copy of the installation, whose report is
// printed; the installation itself is only read. The exit code is the run's.
int dryRun(platform::Process& process, environment::Context& ctx)
{
    const QString root = environment::installationRoot(ctx);
    QTemporaryDir copy;
    if (!copy.isValid()) {
        std::fprintf(stderr, "%s: no temporary folder for the dry run\n", qPrintable(process.exeName()));
        return platform::ExitOther;
    }
    for (QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();) {
        const QString file = it.next();
        const QString relative = QDir(root).relativeFilePath(file);
        if (relative.contains(QLatin1String("/backup/")))
            continue; // earlier runs' backups play no part in a run
        QDir().mkpath(QFileInfo(copy.filePath(relative)).absolutePath());
        if (!QFile::copy(file, copy.filePath(relative))) {
            std::fprintf(stderr, "%s: cannot copy \"%s\" for the dry run\n", qPrintable(process.exeName()), qPrintable(file));
            return platform::ExitOther;
        }
    }
    // An integrated run is previewed as one, its error log in the copy; any other as a silent run.
    QStringList arguments{QStringLiteral("/EXTERNAL=SILENT")};
    if (environment::GetStartModeIntegrated(ctx))
        arguments = QStringList{QStringLiteral("/EXTERNAL=QELCFG"), QStringLiteral("/LOGFILE=") + copy.filePath(QStringLiteral("QELcfglog.txt"))};
    QProcess run;
    run.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kDryRunChild), QStringLiteral("1"));
    run.setProcessEnvironment(environment);
    run.start(copy.filePath(QDir(root).relativeFilePath(process.exeFile())), arguments);
    if (!run.waitForFinished(-1) || run.exitStatus() != QProcess::NormalExit) {
        std::fprintf(stderr, "%s: the dry run did not end normally\n", qPrintable(process.exeName()));
        return platform::ExitOther;
    }
    QFile report(database::reportPath(copy.filePath(QDir(root).relativeFilePath(environment::GetPathOCXMDB(ctx)))));
    if (report.open(QIODevice::ReadOnly)) {
        const QByteArray text = report.readAll();
        std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
    }
    return run.exitCode();
}

// The options starting with "--": each a whole argument. Nothing when there is none.
std::optional<int> runOption(platform::Process& process, int argc, char** argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const qsizetype at = args.indexOf(QRegularExpression(QStringLiteral("^--.+")));
    if (at < 0)
        return std::nullopt;
    PrintedMessages messages(platform::Answer::No);
    environment::Context ctx{process, messages};
    const QString component = environment::GetPathOCXMDB(ctx);
    const QString folder = QFileInfo(component).absolutePath();
    const QString option = args[at];
    if (option == QLatin1String("--version")) {
        const platform::Version v = process.version();
        std::printf("%s %d.%d.%d\n", qPrintable(process.exeName()), v.major, v.minor, v.revision);
        return platform::ExitClosingRunDone;
    }
    if (option == QLatin1String("--help")) {
        std::printf("%s", qPrintable(QString::fromLatin1(kHelp).arg(process.exeName(), component,
                                                                       database::reportPath(component), folder)));
        return platform::ExitClosingRunDone;
    }
    if (option == QLatin1String("--dry-run"))
        return dryRun(process, ctx);
    if (option == QLatin1String("--list-backups")) {
        const QList<database::BackupInfo> backups = database::listBackups(folder);
        if (backups.isEmpty()) {
            std::fprintf(stderr, "%s: there is no backup in \"%s/backup\"\n", qPrintable(process.exeName()), qPrintable(folder));
            return platform::ExitOther;
        }
        for (const database::BackupInfo& b : backups)
            std::printf("%s  %d records  %d limits lost\n", qPrintable(b.stamp), b.records, b.lost);
        return platform::ExitClosingRunDone;
    }
    if (option == QLatin1String("--restore")) {
        const QString stamp = at + 1 < args.size() && !args[at + 1].startsWith(QLatin1Char('/')) ? args[at + 1] : QString();
        QString why;
        if (!database::restoreBackup(folder, stamp, &why)) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(process.exeName()), qPrintable(why));
            return platform::ExitOther;
        }
        std::printf("%s: restored the backup %s\n", qPrintable(process.exeName()),
                    qPrintable(stamp.isEmpty() ? database::listBackups(folder).last().stamp : stamp));
        return platform::ExitClosingRunDone;
    }
    std::fprintf(stderr, "%s: unknown option \"%s\"; see --help\n", qPrintable(process.exeName()), qPrintable(option));
    return platform::ExitOther;
}

} // namespace

int main(int argc, char** argv)
{
    platform::SystemProcess process(argc, argv);
    if (const std::optional<int> code = runOption(process, argc, argv)) {
        std::fflush(nullptr);
        return *code;
    }
    const bool silent = silentStart(process);
    // A silent run is unattended: it never shows the window and needs no display.
    const bool dryRunChild = qEnvironmentVariableIsSet(kDryRunChild);
    if (silent || dryRunChild)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    else if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
             qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        std::fprintf(stderr, "%s: no display to show the window on; start it with /EXTERNAL=SILENT for an "
                             "unattended run\n", qPrintable(process.exeName()));
        return platform::ExitOther;
    }

    // A display that cannot be reached ends the start as a missing one does, not in Qt's abort:
    // the offscreen platform is the last resort, and when it is the one taken the window would
    // have nowhere to show.
    const bool platformChosen = !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
    if (!platformChosen)
        qputenv("QT_QPA_PLATFORM", qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ? "xcb;offscreen" : "wayland;xcb;offscreen");
    // The platform's own complaints while it looks for a display are not for the user.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.qpa.*=false\ndefault.warning=false"));
    QApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QString());
    if (!platformChosen && QGuiApplication::platformName() == QLatin1String("offscreen")) {
        std::fprintf(stderr, "%s: the display \"%s\" cannot be reached; start it with /EXTERNAL=SILENT for an "
                             "unattended run\n",
                     qPrintable(process.exeName()),
                     qPrintable(qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ? qEnvironmentVariable("DISPLAY")
                                                                              : qEnvironmentVariable("WAYLAND_DISPLAY")));
        return platform::ExitOther;
    }
    window::QtMessages shown;
    PrintedMessages printed(platform::Answer::Yes);
    environment::Context ctx{process, dryRunChild ? static_cast<platform::Messages&>(printed) : shown};
    window::Kalvia kalvia(ctx);
    kalvia.Form_Load();
    if (dryRunChild && !ctx.mode.SilentMode)
        kalvia.CommandOK_Click();
    if (ctx.mode.SilentMode || dryRunChild) {
        // The closing run ends a silent run (and a dry run); arriving here means it could not.
        environment::EndProgram(ctx, platform::ExitOther);
    }
    kalvia.show();
    return app.exec();
}
