#include "window/kalvia.h"

#include "environment/errors.h"

#include "platform/messages.h"
#include "platform/process.h"
#include "window/colours.h"

#include <QComboBox>
#include <QTabBar>

#include <algorithm>

namespace window {

using environment::checkIndex;
using environment::Handler;
using environment::kMaxSlots;

bool Kalvia::SyntaxCheck()
{
    if (m_ctx.mode.SilentMode)
        return true;
    Handler h(m_ctx, QStringLiteral("SyntaxCheck"));
    bool anyFailed = false;
    int tabs = 0;
    h([&] { tabs = TabStripMachine->count(); });
    for (int t = 1; t <= tabs; ++t) {
        // Selecting the tab shows its machine, unless it is shown already.
        h([&] { TabStripMachine->setCurrentIndex(t - 1); });
        int m = 0;
        if (!h([&] { m = checkIndex(m_state.TabToMachine[checkIndex(t, 1, environment::kMaxMachines)], 1,
                                    environment::kMaxMachines); }))
            continue;
        bool failed = false;
        std::array<QColor, kMaxSlots + 1> saved{};
        std::array<bool, kMaxSlots + 1> faulty{};
        for (int i = 1; i <= kMaxSlots; ++i)
            saved[i] = backColor(ComboServo[i]);

        const int count = std::min<int>(m_state.NumberOfServos[m], kMaxSlots);
        // Every configured slot names a picture of the machine's list ...
        for (int i = 1; i <= count; ++i) {
            if (TextNachServoPos(m, ComboServo[i]->currentText()) < 1)
                faulty[i] = failed = true;
        }
        // ... and no servo number sits in two slots, whatever their picture variants.
        for (int i = 1; i < count; ++i) {
            for (int j = i + 1; j <= count; ++j) {
                if (m_state.Servo[m][i] == m_state.Servo[m][j])
                    faulty[i] = faulty[j] = failed = true;
            }
        }
        if (!failed)
            continue;
        anyFailed = true;
        for (int i = 1; i <= kMaxSlots; ++i) {
            if (faulty[i])
                h([&] { setBackColor(ComboServo[i], kRed); });
        }
        h([&] {
            platform::MessageBox box;
            box.text = QStringLiteral("Falscher Servotyp oder doppelte Belegung");
            box.title = m_ctx.process.exeName();
            box.buttons = platform::Buttons::Ok;
            box.icon = platform::Icon::Exclamation;
            m_ctx.messages.show(box);
        });
        for (int i = 1; i <= kMaxSlots; ++i)
            h([&] { setBackColor(ComboServo[i], saved[i]); });
    }
    return !anyFailed;
}

} // namespace window
