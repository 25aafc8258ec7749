#include "window/kalvia.h"

#include "database/closingrun.h"
#include "environment/cancel.h"
#include "environment/commandline.h"
#include "environment/errors.h"
#include "environment/ini.h"
#include "environment/paths.h"
#include "environment/projectsettings.h"
#include "platform/files.h"
#include "platform/process.h"
#include "texts/tooltiptexts.h"
#include "window/picturelist.h"
#include "window/servokeys.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QPushButton>
#include <QTabBar>

namespace window {

using environment::Handler;

Kalvia::Kalvia(environment::Context& ctx, QWidget* parent)
    : QWidget(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("Kalvia"));
    buildLayout();
    connect(TabStripMachine, &QTabBar::currentChanged, this, &Kalvia::onTabChanged);
}

Kalvia::~Kalvia() = default;

const texts::Control* Kalvia::control(const QString& name, int index) const
{
    for (const texts::Control& c : m_controls) {
        if (c.index == index && c.name == name)
            return &c;
    }
    return nullptr;
}

void Kalvia::registerControl(const QString& name, int index, const QString& tag, int helpNumber,
                             texts::ControlKind kind, QWidget* widget)
{
    widget->setObjectName(index >= 0 ? QStringLiteral("%1(%2)").arg(name).arg(index) : name);
    m_controls.push_back({name, index, tag, helpNumber, kind, widget});
}

void Kalvia::Form_Load()
{
    Handler h(m_ctx, QStringLiteral("Form_Load"));
    h([&] { m_ctx.mode.IntegratedMode = environment::GetStartModeIntegrated(m_ctx); });

    // Every path of the program derives from the component name, which the executable's name
    // carries before its seven-character suffix.
    if (!environment::hasComponentName(m_ctx)) {
        environment::FaultMessage(
            m_ctx, QStringLiteral("The program name \"%1\" names no component: it must be the component's name "
                                  "followed by a seven-character suffix (for example ServoView_Config).")
                       .arg(m_ctx.process.exeName()));
        environment::EndProgram(m_ctx, platform::ExitOther);
    }

    h([&] { texts::LoadToolTipTexts(m_ctx, m_controls, m_help); });
    h([&] { m_state.QelConfigIniPath = environment::GetQELConfigurationIniPath(m_ctx); });
    h([&] {
        setWindowTitle(QStringLiteral("Erweiterte Konfiguration ") +
                       environment::GetFileNameOnly(m_ctx, m_ctx.process.exeFolder()) +
                       (m_ctx.mode.IntegratedMode ? QStringLiteral(" - integriert") : QStringLiteral(" - standalone")));
    });
    h([&] { environment::GetExistingMachines(m_ctx, m_state.QelConfigIniPath); });
    h([&] { SetupUserInterFace(); });
    m_failuresAtLoad = m_ctx.failuresReported;
    if (!m_ctx.mode.SilentMode) {
        h([&] { CommandOK->setEnabled(true); });
        h([&] { CommandCancel->setEnabled(true); });
    } else {
        h([&] { CommandOK_Click(); });
    }
}

void Kalvia::SetupUserInterFace()
{
    Handler h(m_ctx, QStringLiteral("SetupUserInterFace"));
    m_settingUp = true;
    h([&] { environment::GetValidMachines(m_ctx); }); // its value plays no part here
    QString iniFile;
    h([&] { iniFile = environment::GetProgramIniPath(m_ctx, environment::ProgramIni::Read); });
    const QString project = QStringLiteral("Project");
    h([&] {
        m_state.Resolution =
            environment::LoadIniString(m_ctx, project, QStringLiteral("Resolution"), iniFile);
    });
    // The tab the strip carries in the layout.
    h([&] { TabStripMachine->removeTab(0); });
    h([&] {
        MitFehler->setChecked(
            environment::LoadIniBoolean(m_ctx, project, QStringLiteral("ServoWithFault"), iniFile));
    });
    h([&] {
        MitVorauswahl->setChecked(
            environment::LoadIniBoolean(m_ctx, project, QStringLiteral("ServoWithMenu"), iniFile));
    });
    qint16 withType = 0;
    h([&] {
        withType = environment::LoadIniInteger(m_ctx, project, QStringLiteral("ServoWithMachineType"), iniFile);
    });
    if (m_ctx.mode.IntegratedMode)
        withType = 1;
    m_state.WithMachineType = withType == 1;

    int upper = 0;
    h([&] { upper = environment::machineUpperIndex(m_ctx); });
    for (int m = 1; m <= upper; ++m) {
        bool served = false;
        h([&] {
            served = environment::LoadIniBoolean(m_ctx, project, QStringLiteral("ForMachine%1").arg(m),
                                                 environment::GetCFGPath(m_ctx));
        });
        if (!served)
            continue;
        // A machine beyond the five the tables hold gets no tab: its data would have nowhere to go.
        if (!h([&] { environment::checkIndex(m, 1, environment::kMaxMachines); }))
            continue;
        h([&] {
            TabStripMachine->addTab(m_ctx.project.ExistingMachines[m]);
            m_state.TabToMachine[environment::checkIndex(TabStripMachine->count(), 1, environment::kMaxMachines)] =
                static_cast<qint16>(m);
        });
        h([&] { buildPictureList(m_ctx, m_state, h, m); });
        readMachineKeys(m_ctx, m_state, h, m, iniFile);
    }

    h([&] {
        if (TabStripMachine->count() < 1)
            environment::raise(environment::ErrInvalidCall);
        TabStripMachine->setCurrentIndex(0);
    });
    m_settingUp = false;
    h([&] { TabStripMachine_Click(); });
}

void Kalvia::CommandOK_Click()
{
    if (m_closingRun)
        return; // a second closing run never starts while one runs
    Handler h(m_ctx, QStringLiteral("CommandOK_Click"));
    if (m_help.HelpMode) {
        h([&] { texts::ShowHelpInfo(m_ctx, m_help, *control(QStringLiteral("CommandOK"))); });
        return;
    }
    bool passed = true;
    if (!h([&] { passed = SyntaxCheck(); }))
        passed = true; // a check that cannot be called counts as passed
    if (!passed)
        return;
    m_closingRun = true;
    h([&] { CommandOK->setEnabled(false); });
    h([&] { CommandCancel->setEnabled(false); });
    h([&] { CloseMe(); });
}

void Kalvia::CloseMe()
{
    Handler h(m_ctx, QStringLiteral("CloseMe"));
    // What the editing reported (an input refused and then corrected, a run declined) is no
    // failure of this run.
    const int whileEditing = m_ctx.failuresReported - m_failuresAtLoad;
    h([&] { QCoreApplication::processEvents(); });
    h([&] { setCursor(Qt::WaitCursor); });
    database::ClosingRunOutcome outcome;
    h([&] { outcome = database::WorkOnMDB(m_ctx, m_state); });
    if (outcome.declined) {
        // Back to editing, everything as the user left it.
        unsetCursor();
        m_closingRun = false;
        CommandOK->setEnabled(true);
        CommandCancel->setEnabled(true);
        return;
    }
    if (m_ctx.mode.SilentMode && !outcome.reportPath.isEmpty()) {
        const QString line = m_ctx.process.exeName() +
                             QStringLiteral(": PRESET_DEFS regenerated, %1 lost, %2 updated, %3; report: ")
                                 .arg(database::counted(outcome.limitsLost, QStringLiteral("tuned limit"),
                                                        QStringLiteral("tuned limits")),
                                      database::counted(outcome.defaultsUpdated, QStringLiteral("default"),
                                                        QStringLiteral("defaults")),
                                      database::counted(outcome.conflicts, QStringLiteral("conflict"),
                                                        QStringLiteral("conflicts"))) +
                             outcome.reportPath;
        if (!platform::appendLine(environment::serviceLogPath(m_ctx), line))
            m_ctx.process.printError(line);
    }
    int result = 0;
    if (!h([&] { result = WriteInputs(); }) || result == 1)
        environment::EndProgram(m_ctx, m_ctx.failuresReported - whileEditing > 0 ? platform::ExitDoneWithFailures
                                                                                  : platform::ExitClosingRunDone);
}

void Kalvia::CommandCancel_Click()
{
    Handler h(m_ctx, QStringLiteral("CommandCancel_Click"));
    if (m_help.HelpMode) {
        h([&] { texts::ShowHelpInfo(m_ctx, m_help, *control(QStringLiteral("CommandCancel"))); });
        return;
    }
    bool confirmed = false;
    if (!h([&] { confirmed = environment::ConfirmCancel(m_ctx); })) {
        // The question itself failed and the user resumed: the block runs as if confirmed.
        environment::EndProgram(m_ctx, platform::ExitOther);
    }
    if (confirmed)
        environment::EndProgram(m_ctx, platform::ExitCancelled);
}

void Kalvia::Form_QueryUnload(bool& cancel, int unloadMode)
{
    Q_UNUSED(unloadMode);
    Handler h(m_ctx, QStringLiteral("Form_QueryUnload"));
    bool confirmed = false;
    if (!h([&] { confirmed = environment::ConfirmCancel(m_ctx); }))
        confirmed = false; // a failed question refuses the close
    if (!confirmed)
        cancel = true;
}

void Kalvia::Form_Activate()
{
    Handler h(m_ctx, QStringLiteral("Form_Activate"));
    // While the closing run lets events through, OK stays disabled: the run is under way.
    if (!m_closingRun)
        h([&] { CommandOK->setEnabled(true); });
}

void Kalvia::Form_Resize()
{
    Handler h(m_ctx, QStringLiteral("Form_Resize"));
}

void Kalvia::closeEvent(QCloseEvent* event)
{
    bool cancel = false;
    Form_QueryUnload(cancel, 0);
    if (cancel) {
        event->ignore();
        return;
    }
    event->accept();
    QCoreApplication::exit(platform::ExitCancelled);
}

void Kalvia::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        Form_Activate();
}

void Kalvia::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

} // namespace window
