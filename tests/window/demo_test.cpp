#include "support/installation.h"
#include "window/kalvia.h"

#include <QComboBox>
#include <QDirIterator>
#include <QFile>
#include <QTabBar>
#include <QTest>

#include <gtest/gtest.h>

// The demo installation as committed: its pictures give the choices the demo is meant to show,
// and its project passes the check at OK as it stands.
TEST(DemoInstallation, OffersItsPicturesAndPassesTheCheckAsShipped)
{
    support::Installation inst;
    const QString demo = QStringLiteral(KALVIA_SOURCE_DIR "/demo/installation");
    for (QDirIterator it(demo, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
        const QString file = it.next();
        QFile source(file);
        ASSERT_TRUE(source.open(QIODevice::ReadOnly));
        inst.write(file.mid(demo.size() + 1), source.readAll());
    }
    window::Kalvia w(inst.context);
    w.Form_Load();
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));

    ASSERT_EQ(w.TabStripMachine->count(), 2);
    EXPECT_EQ(w.TabStripMachine->tabText(0), QStringLiteral("Filler"));
    QStringList names;
    for (int i = 0; i < w.ComboServo[1]->count(); ++i)
        names << w.ComboServo[1]->itemText(i);
    EXPECT_EQ(names, QStringList({"1", "3", "5", "7-1", "7-2", "12-1", "12-2", "15", "20"}));
    EXPECT_EQ(w.ComboNrServos->count(), 8); // servo 25 has a picture at another resolution only
    const char* shown[] = {"3", "7-2", "12-1", "5"};
    for (int s = 1; s <= 4; ++s)
        EXPECT_EQ(w.ComboServo[s]->currentText(), QLatin1String(shown[s - 1]));

    w.ComboServo[2]->setFocus(Qt::MouseFocusReason);
    EXPECT_TRUE(w.lastServoPicture().endsWith(QStringLiteral("/ServoTool/Servo_7_2_1024.gif")));
    w.grab().save(QStringLiteral(KALVIA_TEST_OUTPUT_DIR "/kalvia-demo.png"));

    EXPECT_TRUE(w.SyntaxCheck());
    EXPECT_TRUE(inst.messages.boxes.empty());
}
