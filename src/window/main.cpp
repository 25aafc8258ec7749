#include "database/options.h"
#include "environment/commandline.h"
#include "environment/context.h"
#include "environment/errors.h"
#include "platform/process.h"
#include "window/kalvia.h"
#include "window/qtmessages.h"

#include <QApplication>
#include <QLoggingCategory>

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

} // namespace

int main(int argc, char** argv)
{
    platform::SystemProcess process(argc, argv);
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const database::CommandOptions options = database::runOptions(process, arguments);
    if (options.exitCode)
        return *options.exitCode;

    // A silent run (and a dry run's) is unattended: it never shows the window and needs no display.
    if (silentStart(process) || options.dryRunChild) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    } else if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
               qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        process.printError(QStringLiteral("no display to show the window on; start it with /EXTERNAL=SILENT for an "
                                          "unattended run"));
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
        const char* display = qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ? "DISPLAY" : "WAYLAND_DISPLAY";
        process.printError(QStringLiteral("the display \"%1\" cannot be reached; start it with /EXTERNAL=SILENT for an "
                                          "unattended run")
                               .arg(qEnvironmentVariable(display)));
        return platform::ExitOther;
    }
    window::QtMessages shown;
    database::PrintedMessages printed(process, platform::Answer::Yes);
    environment::Context ctx{process, options.dryRunChild ? static_cast<platform::Messages&>(printed) : shown};
    window::Kalvia kalvia(ctx);
    kalvia.Form_Load();
    if (options.dryRunChild && !ctx.mode.SilentMode)
        kalvia.CommandOK_Click();
    // The closing run ends a silent run (and a dry run); arriving here means it could not.
    if (ctx.mode.SilentMode || options.dryRunChild)
        environment::EndProgram(ctx, platform::ExitOther);
    kalvia.show();
    return app.exec();
}
