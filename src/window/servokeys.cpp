#include "window/servokeys.h"

#include "environment/editrecord.h"
#include "environment/ini.h"
#include "environment/paths.h"
#include "environment/projectsettings.h"
#include "platform/files.h"
#include "platform/inistore.h"
#include "window/kalvia.h"

#include <QCheckBox>

namespace window {

using environment::Handler;
using environment::kMaxMachines;
using environment::kMaxSlots;
using environment::LoadIniBoolean;
using environment::LoadIniInteger;
using environment::SaveIni;

namespace {

QString machineSection(int m)
{
    return QStringLiteral("Machine%1").arg(m);
}

QString slotKey(const char* name, int s)
{
    return QString::fromLatin1(name) + QString::number(s);
}

// A slot number the tables have no room for: reported once, as its access would fail.
bool slotFits(Handler& h, int s)
{
    if (s <= kMaxSlots)
        return true;
    h.report(environment::runTimeError(environment::ErrSubscript));
    return false;
}

} // namespace

void readMachineKeys(environment::Context& ctx, environment::EditingState& state, Handler& h, int m,
                     const QString& iniFile)
{
    const QString section = machineSection(m);
    if (!h([&] {
            state.NumberOfServos[environment::checkIndex(m, 1, kMaxMachines)] =
                LoadIniInteger(ctx, section, QStringLiteral("NumberOfServos"), iniFile);
        }))
        return; // a machine without a place in the tables gets no data
    h([&] {
        const QString text = environment::LoadIniString(ctx, section, QStringLiteral("NumberOfServos"), iniFile);
        bool number = false;
        const qint64 value = text.trimmed().toLongLong(&number);
        if (number && value != qint16(value))
            state.StoredServoCount[m] = text;
    });
    const int count = state.NumberOfServos[m];
    for (int s = 1; s <= count; ++s) {
        if (!slotFits(h, s))
            continue;
        const auto integer = [&](const char* key) {
            return LoadIniInteger(ctx, section, slotKey(key, s), iniFile);
        };
        const auto boolean = [&](const char* key) {
            return LoadIniBoolean(ctx, section, slotKey(key, s), iniFile);
        };
        h([&] { state.Servo[m][s] = integer("Servo"); });
        h([&] { state.Diag2Servo[m][s] = boolean("Diag2Servo"); });
        h([&] { state.ExtServo[m][s] = boolean("ExtServo"); });
        h([&] { state.ServoPicNo[m][s] = integer("ServoPic"); });
        if (state.ServoPicNo[m][s] < 1)
            state.ServoPicNo[m][s] = 1;
    }
}

void writeMachineKeys(environment::Context& ctx, const environment::EditingState& state, Handler& h, int m,
                      const QString& iniFile)
{
    const QString section = machineSection(m);
    if (!h([&] {
            const int at = environment::checkIndex(m, 1, kMaxMachines);
            SaveIni(ctx,
                    state.StoredServoCount[at].isEmpty() ? QVariant(state.NumberOfServos[at])
                                                          : QVariant(state.StoredServoCount[at]),
                    section, QStringLiteral("NumberOfServos"), iniFile);
        }))
        return; // a machine without a place in the tables has no slots to write either
    const int count = state.NumberOfServos[m];
    for (int s = 1; s <= count; ++s) {
        if (!slotFits(h, s))
            continue;
        h([&] { SaveIni(ctx, state.Servo[m][s], section, slotKey("Servo", s), iniFile); });
        h([&] { SaveIni(ctx, state.Diag2Servo[m][s], section, slotKey("Diag2Servo", s), iniFile); });
        h([&] { SaveIni(ctx, state.ExtServo[m][s], section, slotKey("ExtServo", s), iniFile); });
        h([&] { SaveIni(ctx, state.ServoPicNo[m][s], section, slotKey("ServoPic", s), iniFile); });
    }
}

int Kalvia::WriteInputs()
{
    Handler h(m_ctx, QStringLiteral("WriteInputs"));
    QString file;
    h([&] { file = environment::GetProgramIniPath(m_ctx, environment::ProgramIni::Write); });
    if (file.isEmpty()) {
        // Without the installation's project INI file there is nowhere to write the configuration:
        // say so, write nothing anywhere, and let the run end as after a write.
        h.report(environment::runTimeError(
            environment::ErrFileNotFound,
                platform::joinPath(environment::installationRoot(m_ctx), QStringLiteral("parameter/Program.ini")) +
                QStringLiteral(" - the servo configuration was not saved")));
        return 1;
    }

    // The keys are gathered and written to the file in one replacement at the end, so the file
    // holds either the whole configuration or, when the program ends on the way, the old one.
    platform::IniWriteBatch batch(file);
    const QString project = QStringLiteral("Project");
    h([&] {
        const int withType = (m_state.WithMachineType || m_ctx.mode.IntegratedMode) ? 1 : 0;
        SaveIni(m_ctx, withType, project, QStringLiteral("ServoWithMachineType"), file);
    });
    int upper = 0;
    h([&] { upper = environment::machineUpperIndex(m_ctx); });
    for (int m = 1; m <= upper; ++m)
        writeMachineKeys(m_ctx, m_state, h, m, file);
    h([&] {
        SaveIni(m_ctx, MitFehler->checkState() == Qt::Checked ? QStringLiteral("true") : QStringLiteral("false"),
                project, QStringLiteral("ServoWithFault"), file);
    });
    h([&] {
        SaveIni(m_ctx, MitVorauswahl->checkState() == Qt::Checked ? QStringLiteral("true") : QStringLiteral("false"),
                project, QStringLiteral("ServoWithMenu"), file);
    });
    h([&] {
        if (!batch.commit())
            environment::raise(environment::ErrFileAccess, file);
    });
    const int result = 1;
    h([&] { environment::WriteEditInfo(m_ctx); });
    return result;
}

} // namespace window
