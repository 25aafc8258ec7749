#include "environment/cancel.h"

#include "environment/errors.h"
#include "environment/paths.h"
#include "platform/messages.h"
#include "platform/process.h"

namespace environment {

bool ConfirmCancel(Context& ctx)
{
    const QString quote = QStringLiteral("\"");
    QString message = QStringLiteral("Cancel edits?") + kLfCr + QStringLiteral("Remark:") + kLfCr +
                      QStringLiteral("Until now no changes have been taken over ");
    if (ctx.mode.IntegratedMode) {
        message += kLfCr + quote + GetOCXName(ctx) + quote + QStringLiteral(" has to be configured again in ") +
                   quote + QStringLiteral("standalone-mode") + quote + QStringLiteral(" via ") + kLfCr + quote +
                   ctx.process.exeFile() + quote;
    }
    if (ctx.mode.SilentMode) {
        WriteServiceLog(ctx, message);
        return true;
    }
    platform::MessageBox box;
    box.text = message;
    box.title = QStringLiteral("Cancel?");
    box.buttons = platform::Buttons::YesNo;
    box.icon = platform::Icon::Exclamation;
    box.noIsDefault = true;
    if (ctx.messages.show(box) == platform::Answer::Yes) {
        LogError(ctx, QStringLiteral("Konfigurations-EXE wurde abgebrochen:     ") + GetOCXName(ctx));
        return true;
    }
    return false;
}

} // namespace environment
