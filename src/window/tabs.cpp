#include "window/kalvia.h"

#include "environment/errors.h"

#include "window/colours.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QSignalBlocker>
#include <QTabBar>

#include <algorithm>

namespace window {

using environment::Handler;
using environment::kMaxSlots;

void Kalvia::onTabChanged()
{
    if (m_settingUp)
        return;
    TabStripMachine_Click();
}

void Kalvia::setComboText(QComboBox* combo, const QString& text)
{
    const int entry = combo->findText(text);
    combo->setCurrentIndex(entry);
    if (entry < 0)
        combo->setEditText(text);
}

void Kalvia::enableRow(int s)
{
    const int m = m_state.CurrentMachine;
    ComboServo[s]->setEnabled(true);
    setBackColor(ComboServo[s], kWhite);
    // Setting a value runs the box's handler, which stores what was just read.
    Check2ndDiagPage[s]->setChecked(m_state.Diag2Servo[m][s]);
    Check2ndDiagPage[s]->setEnabled(true);
    setBackColor(Check2ndDiagPage[s], kLightOrange);
    CheckZusatz[s]->setChecked(m_state.ExtServo[m][s]);
    CheckZusatz[s]->setEnabled(true);
    setBackColor(CheckZusatz[s], kLightBlue);
    setComboText(ComboServo[s], ServoNachText(m, s));
}

void Kalvia::disableRow(int s)
{
    setComboText(ComboServo[s], QString());
    ComboServo[s]->setEnabled(false);
    setBackColor(ComboServo[s], buttonFace());
    Check2ndDiagPage[s]->setEnabled(false);
    setBackColor(Check2ndDiagPage[s], buttonFace());
    CheckZusatz[s]->setEnabled(false);
    setBackColor(CheckZusatz[s], buttonFace());
}

void Kalvia::TabStripMachine_Click()
{
    Handler h(m_ctx, QStringLiteral("TabStripMachine_Click"));
    if (m_help.HelpMode)
        return;
    const int tab = TabStripMachine->currentIndex();
    if (tab < 0)
        return; // no tab, no machine to show
    int m = 0;
    if (!h([&] {
            m = environment::checkIndex(m_state.TabToMachine[environment::checkIndex(tab + 1, 1, environment::kMaxMachines)],
                                        1, environment::kMaxMachines);
            m_state.CurrentMachine = static_cast<qint16>(m);
        }))
        return;

    h([&] {
        ComboNrServos->clear();
        for (int i = 1; i <= m_state.PicTypeCount[m]; ++i)
            ComboNrServos->addItem(QString::number(i));
        setComboText(ComboNrServos, QString::number(m_state.NumberOfServos[m]));
    });

    // Every row gets the machine's list, also rows beyond its number of servo types.
    QStringList names;
    for (int i = 1; i <= m_state.PicCount[m]; ++i)
        names << m_state.Pictures[m][i].Name;
    for (int s = 1; s <= kMaxSlots; ++s) {
        h([&] {
            ComboServo[s]->clear();
            ComboServo[s]->addItems(names);
        });
    }

    // A count outside 0..50 (from the project file) shows the rows that exist.
    const int shown = std::clamp<int>(m_state.NumberOfServos[m], 0, kMaxSlots);
    for (int s = 1; s <= shown; ++s)
        h([&] { enableRow(s); });
    for (int s = shown + 1; s <= kMaxSlots; ++s) {
        h([&] {
            disableRow(s);
            // The machine's own flags of a slot beyond its count stay as they are: emptying the
            // display is no edit.
            const QSignalBlocker diag(Check2ndDiagPage[s]);
            const QSignalBlocker ext(CheckZusatz[s]);
            Check2ndDiagPage[s]->setChecked(false);
            CheckZusatz[s]->setChecked(false);
        });
    }

    // The enlarged picture is emptied; it keeps its size, so its label stays there to click.
    h([&] { ServoIm->clear(); });
    h([&] { PictureServo->clear(); });
}

} // namespace window
