#include "window/kalvia.h"

#include "environment/errors.h"

#include "platform/messages.h"
#include "platform/process.h"
#include "window/colours.h"
#include "window/numbers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTabBar>

#include <algorithm>

namespace window {

using environment::checkIndex;
using environment::Handler;
using environment::kMaxMachines;
using environment::kMaxSlots;

namespace {

// A message of the window: one OK button and the program's default title.
void tellUser(environment::Context& ctx, const QString& text)
{
    platform::MessageBox box;
    box.text = text;
    box.title = ctx.process.exeName();
    box.buttons = platform::Buttons::Ok;
    box.icon = platform::Icon::Exclamation;
    ctx.messages.show(box);
}

} // namespace

bool Kalvia::machineShown() const
{
    return m_state.CurrentMachine >= 1 && m_state.CurrentMachine <= kMaxMachines;
}

QString Kalvia::ServoNachText(int machine, int slot)
{
    Handler h(m_ctx, QStringLiteral("ServoNachText"));
    QString text;
    h([&] {
        const int m = checkIndex(machine, 1, kMaxMachines);
        const int s = checkIndex(slot, 1, kMaxSlots);
        for (int i = 1; i <= m_state.PicCount[m]; ++i) {
            const environment::Picture& entry = m_state.Pictures[m][i];
            if (entry.ServoNo == m_state.Servo[m][s] && entry.Variant == m_state.ServoPicNo[m][s]) {
                text = entry.Name;
                return;
            }
        }
    });
    return text;
}

qint16 Kalvia::TextNachServoPos(int machine, const QString& text)
{
    Handler h(m_ctx, QStringLiteral("TextNachServoPos"));
    qint16 number = 0;
    qint16 variant = 1;
    const qsizetype dash = text.indexOf(QLatin1Char('-'));
    if (dash >= 0) {
        h([&] { number = leadingInteger(text.left(dash)); });
        h([&] { variant = leadingInteger(text.mid(dash + 1)); });
    } else {
        h([&] { number = leadingInteger(text); });
    }
    qint16 position = 0;
    h([&] {
        const int m = checkIndex(machine, 1, kMaxMachines);
        // "12" finds "12" and "12-1"; "12-3" finds "12-3", and "12" when servo 12 has one picture.
        const QString plain = QString::number(number);
        const QString withVariant = plain + QLatin1Char('-') + QString::number(variant);
        for (int i = 1; i <= m_state.PicCount[m]; ++i) {
            const QString& name = m_state.Pictures[m][i].Name;
            if (name == plain || name == withVariant) {
                position = static_cast<qint16>(i);
                return;
            }
        }
    });
    return position;
}

void Kalvia::ComboNrServos_Click()
{
    Handler h(m_ctx, QStringLiteral("ComboNrServos_Click"));
    if (m_help.HelpMode) {
        h([&] { texts::ShowHelpInfo(m_ctx, m_help, *control(QStringLiteral("ComboNrServos"))); });
        return;
    }
    if (!machineShown())
        return;
    const int m = m_state.CurrentMachine;
    const QString text = ComboNrServos->currentText();
    const auto showStored = [&] { setComboText(ComboNrServos, QString::number(m_state.NumberOfServos[m])); };
    qint16 n = 0;
    if (!text.trimmed().isEmpty() && !h([&] { n = wholeInteger(text); })) {
        // Not a number: after the report the field shows the stored number again; nothing changes.
        h(showStored);
        return;
    }
    // A count the slots cannot hold is refused, unless it is the one the project file gave.
    if ((n < 0 || n > kMaxSlots) && n != m_state.NumberOfServos[m]) {
        h([&] {
            tellUser(m_ctx, QStringLiteral("Anzahl Servos '%1' ist nicht möglich: erlaubt sind 0 bis %2.")
                                .arg(text.trimmed())
                                .arg(kMaxSlots));
        });
        h(showStored);
        return;
    }
    if (n != m_state.NumberOfServos[m])
        m_state.StoredServoCount[m].clear();
    m_state.NumberOfServos[m] = n;
    const int shown = std::clamp<int>(n, 0, kMaxSlots);
    for (int s = 1; s <= kMaxSlots; ++s) {
        if (s <= shown)
            h([&] { enableRow(s); });
        else
            h([&] { disableRow(s); });
    }
}

void Kalvia::ComboNrServos_LostFocus()
{
    // A typed number takes effect when the field is left.
    ComboNrServos_Click();
}

void Kalvia::ComboNrServos_GotFocus()
{
    texts::ShowHelpInfo(m_ctx, m_help, *control(QStringLiteral("ComboNrServos")));
}

void Kalvia::ComboServo_GotFocus(int index)
{
    Handler h(m_ctx, QStringLiteral("ComboServo_GotFocus"));
    if (m_help.HelpMode) {
        h([&] { texts::ShowHelpInfo(m_ctx, m_help, *control(QStringLiteral("ComboServo"), index)); });
        return;
    }
    if (!machineShown())
        return;
    const int m = m_state.CurrentMachine;
    qint16 position = 0;
    h([&] { position = TextNachServoPos(m, ComboServo[checkIndex(index, 1, kMaxSlots)]->currentText()); });
    if (position < 1)
        h([&] { ShowServoPicture(QString()); });
    else
        h([&] { ShowServoPicture(m_state.Pictures[m][position].Path); });
}

void Kalvia::ComboServo_Click(int index)
{
    Handler h(m_ctx, QStringLiteral("ComboServo_Click"));
    if (m_help.HelpMode) {
        h([&] { texts::ShowHelpInfo(m_ctx, m_help, *control(QStringLiteral("ComboServo"), index)); });
        return;
    }
    if (!machineShown())
        return;
    const int m = m_state.CurrentMachine;
    // Picking shows the picture; the choice is stored when the focus leaves the combo.
    h([&] {
        const int position = ComboServo[checkIndex(index, 1, kMaxSlots)]->currentIndex();
        if (position >= 0)
            ShowServoPicture(m_state.Pictures[m][checkIndex(position + 1, 1, m_state.PicCount[m])].Path);
    });
}

void Kalvia::ComboServo_LostFocus(int index)
{
    Handler h(m_ctx, QStringLiteral("ComboServo_LostFocus"));
    if (m_help.HelpMode || !machineShown())
        return;
    const int m = m_state.CurrentMachine;
    QComboBox* combo = nullptr;
    if (!h([&] { combo = ComboServo[checkIndex(index, 1, kMaxSlots)]; }))
        return;
    h([&] { ShowServoPicture(QString()); });
    const QString text = combo->currentText();
    qint16 position = 0;
    h([&] { position = TextNachServoPos(m, text); });
    if (position == 0) {
        h([&] { setBackColor(combo, kRed); });
        h([&] { tellUser(m_ctx, QStringLiteral("Servobild '") + text + QStringLiteral("' gibt es nicht")); });
        h([&] { setBackColor(combo, kWhite); });
        return; // the choice stays as it was, the text as typed
    }
    // The slot takes the servo and variant of the picture the text denotes, and shows its name.
    h([&] {
        const environment::Picture& entry = m_state.Pictures[m][position];
        m_state.Servo[m][index] = entry.ServoNo;
        m_state.ServoPicNo[m][index] = entry.Variant;
        setComboText(combo, entry.Name);
    });
}

void Kalvia::Check2ndDiagPage_Click(int index)
{
    if (m_help.HelpMode) {
        texts::CheckBoxHelpInfo(m_ctx, m_help, *control(QStringLiteral("Check2ndDiagPage"), index));
        return;
    }
    if (machineShown())
        m_state.Diag2Servo[m_state.CurrentMachine][checkIndex(index, 1, kMaxSlots)] =
            Check2ndDiagPage[index]->checkState() == Qt::Checked;
}

void Kalvia::CheckZusatz_Click(int index)
{
    if (m_help.HelpMode) {
        texts::CheckBoxHelpInfo(m_ctx, m_help, *control(QStringLiteral("CheckZusatz"), index));
        return;
    }
    if (machineShown())
        m_state.ExtServo[m_state.CurrentMachine][checkIndex(index, 1, kMaxSlots)] =
            CheckZusatz[index]->checkState() == Qt::Checked;
}

// The legend boxes explain the two columns of check boxes and always show ticked.
void Kalvia::Check2ndDiagPageKomm_Click()
{
    Check2ndDiagPageKomm->setChecked(true);
}

void Kalvia::CheckZusatzKomm_Click()
{
    CheckZusatzKomm->setChecked(true);
}

// The project options are read when the configuration is written; a click only serves help mode.
void Kalvia::MitFehler_Click()
{
    texts::CheckBoxHelpInfo(m_ctx, m_help, *control(QStringLiteral("MitFehler")));
}

void Kalvia::MitVorauswahl_Click()
{
    texts::CheckBoxHelpInfo(m_ctx, m_help, *control(QStringLiteral("MitVorauswahl")));
}

void Kalvia::FrameBobbinChange_Click()
{
    texts::ShowHelpInfo(m_ctx, m_help, *control(QStringLiteral("FrameBobbinChange")));
}

// Help mode: controls show their help text instead of acting; no machine can be selected meanwhile.
void Kalvia::CommandQuest_Click()
{
    if (m_help.HelpMode) {
        m_help.HelpMode = false;
        setBackColor(CommandQuest, buttonFace());
        TabStripMachine->setEnabled(true);
    } else {
        m_help.HelpMode = true;
        setBackColor(CommandQuest, kGreen);
        TabStripMachine->setEnabled(false);
    }
}

} // namespace window
