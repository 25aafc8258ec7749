#include "environment/commandline.h"
#include "environment/context.h"
#include "environment/errors.h"
#include "window/qtmessages.h"
#include "platform/process.h"
#include "window/kalvia.h"

#include <QApplication>
#include <QLoggingCategory>

#include <cstdio>

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
    const bool silent = silentStart(process);
    // A silent run is unattended: it never shows the window and needs no display.
    if (silent)
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
    window::QtMessages messages;
    environment::Context ctx{process, messages};
    window::Kalvia kalvia(ctx);
    kalvia.Form_Load();
    if (ctx.mode.SilentMode) {
        // The closing run ends a silent run; arriving here means it could not.
        environment::EndProgram(ctx, platform::ExitOther);
    }
    kalvia.show();
    return app.exec();
}
