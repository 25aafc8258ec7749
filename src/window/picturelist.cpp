#include "window/picturelist.h"

#include "platform/files.h"
#include "platform/process.h"
#include "window/numbers.h"

#include <QFileInfo>

#include <map>

namespace window {

using environment::kMaxPictures;
using environment::kMaxServoNumber;

namespace {

// The picture variant a file name carries: what follows the servo number, up to the resolution, read
// as a number after its first character ("_2" is variant 2); no such part is variant 1.
qint16 variantOf(const QString& fileName, const QString& prefix, const QString& resolutionMark)
{
    const qsizetype end = fileName.indexOf(resolutionMark);
    const QString rest = fileName.left(end).mid(prefix.size());
    if (rest.isEmpty())
        return 1;
    return leadingInteger(rest.mid(1));
}

} // namespace

void buildPictureList(environment::Context& ctx, environment::EditingState& state, environment::Handler& h,
                      int machine)
{
    const int m = environment::checkIndex(machine, 1, environment::kMaxMachines);
    state.PicTypeCount[m] = 0;
    state.PicCount[m] = 0;
    const QString folder = ctx.process.exeFolder();
    const QString typePart = state.WithMachineType ? ctx.project.ExistingMachines.value(m) + QLatin1Char('_') : QString();
    const QString resolutionMark = QLatin1Char('_') + state.Resolution;
    int leftOut = 0;
    QString firstLeftOut;

    for (int t = 1; t <= kMaxServoNumber; ++t) {
        const QString prefix = QStringLiteral("Servo_") + typePart + QString::number(t);
        QStringList files;
        h([&] { files = platform::listFiles(folder, prefix + QStringLiteral("_*.gif")); });
        if (files.isEmpty())
            continue;
        ++state.PicTypeCount[m];
        for (const QString& file : files) {
            const QString name = QFileInfo(file).fileName();
            if (!name.contains(resolutionMark)) // exact letter case
                continue;
            if (state.PicCount[m] >= kMaxPictures) {
                if (leftOut++ == 0)
                    firstLeftOut = name;
                continue;
            }
            environment::Picture& entry = state.Pictures[m][++state.PicCount[m]];
            entry = environment::Picture{};
            entry.Path = file;
            entry.ServoNo = static_cast<qint16>(t);
            h([&] { entry.Variant = variantOf(name, prefix, resolutionMark); });
        }
    }
    if (leftOut > 0) {
        h.report(environment::runTimeError(
            environment::ErrSubscript,
            QStringLiteral("more than %1 servo pictures for machine %2; %3 not listed, starting with %4")
                .arg(kMaxPictures)
                .arg(ctx.project.ExistingMachines.value(m))
                .arg(leftOut)
                .arg(firstLeftOut)));
    }

    // Names are counted per machine: a servo number with one picture is named by the number alone.
    std::map<qint16, int> perServo;
    for (int i = 1; i <= state.PicCount[m]; ++i)
        ++perServo[state.Pictures[m][i].ServoNo];
    for (int i = 1; i <= state.PicCount[m]; ++i) {
        environment::Picture& entry = state.Pictures[m][i];
        entry.Name = perServo[entry.ServoNo] == 1
                         ? QString::number(entry.ServoNo)
                         : QStringLiteral("%1-%2").arg(entry.ServoNo).arg(entry.Variant);
    }
}

} // namespace window
