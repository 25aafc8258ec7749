#include "window/kalvia.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>

namespace window {

namespace {

// Layout positions are in twips; 15 twips make one logical pixel.
constexpr int px(int twips)
{
    return twips / 15;
}

QRect twipsRect(int left, int top, int width, int height)
{
    return {px(left), px(top), px(width), px(height)};
}

} // namespace

void Kalvia::buildLayout()
{
    using texts::ControlKind;
    setWindowTitle(QStringLiteral("Base QELCFG-Erweiterung"));
    setFixedSize(px(11880), px(8595));

    Header = new QLabel(QStringLiteral("Servo - Konfiguration Servos"), this);
    Header->setGeometry(twipsRect(30, 30, 11775, 360));
    registerControl(QStringLiteral("Header"), -1, {}, 0, ControlKind::Label, Header);

    TabStripMachine = new QTabBar(this);
    TabStripMachine->setGeometry(twipsRect(-30, 390, 11880, 420));
    TabStripMachine->addTab(QStringLiteral("Tab1"));
    registerControl(QStringLiteral("TabStripMachine"), -1, QStringLiteral("NoTTT"), 0, ControlKind::TabStrip,
                    TabStripMachine);

    MitFehler = new QCheckBox(QStringLiteral("Mit Fehlerausgabe"), this);
    MitFehler->setGeometry(twipsRect(6030 + 120, 5820 + 150, 5325, 375));
    registerControl(QStringLiteral("MitFehler"), -1, QStringLiteral("NoTTT"), 15, ControlKind::CheckBox, MitFehler);

    MitVorauswahl = new QCheckBox(QStringLiteral("Mit Vorauswahl"), this);
    MitVorauswahl->setGeometry(twipsRect(6030 + 120, 5820 + 600, 5325, 390));
    registerControl(QStringLiteral("MitVorauswahl"), -1, {}, 17, ControlKind::CheckBox, MitVorauswahl);

    CommandQuest = new QPushButton(QStringLiteral("?"), this);
    CommandQuest->setGeometry(twipsRect(7350, 7710, 975, 855));
    registerControl(QStringLiteral("CommandQuest"), -1, {}, 0, ControlKind::CommandButton, CommandQuest);

    CommandOK = new QPushButton(QStringLiteral("OK"), this);
    CommandOK->setGeometry(twipsRect(8400, 7710, 1695, 855));
    CommandOK->setEnabled(false);
    registerControl(QStringLiteral("CommandOK"), -1, {}, 1, ControlKind::CommandButton, CommandOK);
    connect(CommandOK, &QPushButton::clicked, this, &Kalvia::CommandOK_Click);

    CommandCancel = new QPushButton(QStringLiteral("Cancel"), this);
    CommandCancel->setGeometry(twipsRect(10170, 7710, 1695, 855));
    registerControl(QStringLiteral("CommandCancel"), -1, {}, 2, ControlKind::CommandButton, CommandCancel);
    connect(CommandCancel, &QPushButton::clicked, this, &Kalvia::CommandCancel_Click);
}

} // namespace window
