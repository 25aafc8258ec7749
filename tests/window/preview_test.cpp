#include "editedwindow.h"

#include "window/preview.h"

#include <QFrame>
#include <QPushButton>

using platform::Answer;

TEST(PreviewPlace, PictureFillsTheSideItIsRelativelyLongerInAndIsCentred)
{
    // Twips; the small preview is 5895 x 2625 inside its border.
    const struct {
        const char* tag;
        int W, H;
        QRect expected;
    } cases[] = {
        {"wide", 6000, 1500, QRect(0, 576, 5895, 1474)},
        {"tall", 1500, 6000, QRect(2620, 0, 656, 2625)},
        {"same-shape", 11790, 5250, QRect(0, 0, 5895, 2625)},
        {"small-is-enlarged", 300, 300, QRect(1635, 0, 2625, 2625)},
        {"halves-to-even", 1002, 2625, QRect(2446, 0, 1002, 2625)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(window::fitIntoPreview(c.W, c.H, 5895, 2625), c.expected) << c.tag;
}

using Preview = editing::EditedWindow;

TEST_F(Preview, WideAndTallPicturesAreDrawnInTheirPlace)
{
    const QColor back = w->ServoPic->palette().color(w->ServoPic->backgroundRole());
    const QColor red(255, 0, 0);
    const QColor blue(0, 0, 255);

    w->ShowServoPicture(picture("Servo_12_2_1024.gif")); // 400 x 100
    EXPECT_EQ(w->PictureServo->size(), QSize(404, 104));
    for (const QPoint p : {QPoint(0, 38), QPoint(392, 38), QPoint(0, 135), QPoint(392, 135)})
        EXPECT_EQ(previewAt(p.x(), p.y()), red) << p.x() << "," << p.y();
    EXPECT_EQ(previewAt(196, 37), back);
    EXPECT_EQ(previewAt(196, 136), back);

    w->ShowServoPicture(picture("Servo_12_1_1024.gif")); // 100 x 400
    EXPECT_EQ(w->PictureServo->size(), QSize(104, 404));
    for (const QPoint p : {QPoint(175, 0), QPoint(218, 0), QPoint(175, 174), QPoint(218, 174)})
        EXPECT_EQ(previewAt(p.x(), p.y()), blue) << p.x() << "," << p.y();
    EXPECT_EQ(previewAt(174, 87), back);
    EXPECT_EQ(previewAt(219, 87), back);
    EXPECT_EQ(previewAt(100, 87), back); // nothing left of the wide picture
}

TEST_F(Preview, SamePathIsDrawnOnceUntilThePreviewIsCleared)
{
    const QString path = picture("Servo_5_1024.gif");
    w->ShowServoPicture(path);
    EXPECT_EQ(previewAt(196, 87), QColor(0, 255, 0));
    inst.write(QStringLiteral("ServoTool/Servo_5_1024.gif"), editing::testPicture("wide-red.gif"));
    w->ShowServoPicture(path);
    EXPECT_EQ(previewAt(196, 87), QColor(0, 255, 0));
    EXPECT_EQ(w->PictureServo->size(), QSize(204, 94));

    w->ShowServoPicture(QString());
    EXPECT_EQ(previewAt(196, 87), w->ServoPic->palette().color(w->ServoPic->backgroundRole()));
    EXPECT_TRUE(w->lastServoPicture().isEmpty());
    EXPECT_FALSE(w->PictureServo->pixmap().isNull()); // the enlarged view keeps its picture
    w->ShowServoPicture(path);
    EXPECT_EQ(previewAt(196, 87), QColor(255, 0, 0));
}

TEST_F(Preview, EnlargingHidesTheRowsOptionsAndButtonsAndShrinkingShowsThemAgain)
{
    showActive();
    w->ShowServoPicture(picture("Servo_12_2_1024.gif"));
    const QList<QWidget*> normalOnly{w->ServoPic, w->FrameInputs, w->FrameBobbinChange,
                                     w->CommandQuest, w->CommandOK, w->CommandCancel};
    QTest::mouseClick(w->LabelServoPic, Qt::LeftButton);
    EXPECT_TRUE(w->PictureServo->isVisible());
    EXPECT_EQ(w->PictureServo->pos(), QPoint(8, 10));
    for (QWidget* c : normalOnly)
        EXPECT_FALSE(c->isVisible()) << c->objectName().toStdString();
    EXPECT_TRUE(w->TabStripMachine->isVisible());

    QTest::mouseClick(w->PictureServo, Qt::LeftButton, {}, QPoint(300, 60));
    EXPECT_FALSE(w->PictureServo->isVisible());
    for (QWidget* c : normalOnly)
        EXPECT_TRUE(c->isVisible()) << c->objectName().toStdString();

    // A tab switch empties the enlarged view and leaves the small preview's drawing.
    clickTab(1);
    EXPECT_TRUE(w->PictureServo->pixmap().isNull());
    EXPECT_EQ(previewAt(196, 87), QColor(255, 0, 0));
}

TEST_F(Preview, PictureThatCannotBeReadIsReportedByItsCallerAndLeavesThePreviewCleared)
{
    inst.write(QStringLiteral("ServoTool/Servo_7_1024.gif"), "GIF89a, but no picture");
    QFile::remove(picture("Servo_12_2_1024.gif"));
    showActive();
    const QColor back = w->ServoPic->palette().color(w->ServoPic->backgroundRole());
    w->ShowServoPicture(picture("Servo_3_1024.gif"));

    inst.messages.expect(Answer::Yes);
    w->ComboServo[3]->setFocus(Qt::MouseFocusReason); // slot 3 holds 7
    EXPECT_TRUE(w->lastServoPicture().isEmpty());
    EXPECT_EQ(previewAt(196, 87), back);

    QTest::keyClick(w->ComboServo[3], Qt::Key_Down); // 12-1 is there
    EXPECT_EQ(w->lastServoPicture(), picture("Servo_12_1_1024.gif"));
    inst.messages.expect(Answer::Yes);
    QTest::keyClick(w->ComboServo[3], Qt::Key_Down); // 12-2 is gone
    EXPECT_TRUE(w->lastServoPicture().isEmpty());
    EXPECT_EQ(previewAt(218, 87), back);

    const QByteArray log = inst.read(QStringLiteral("QELcfglog.txt"));
    EXPECT_TRUE(log.contains("/ ComboServo_GotFocus (Nr. 481) :Invalid picture: ")) << log.toStdString();
    EXPECT_TRUE(log.contains("/ ComboServo_Click (Nr. 53) :File not found: ")) << log.toStdString();
    EXPECT_EQ(inst.messages.boxes.size(), 2u);
}
