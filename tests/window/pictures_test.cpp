#include "editedwindow.h"

#include "window/picturelist.h"
#include "window/preview.h"

using platform::Answer;
using Preview = editing::EditedWindow;

TEST(PreviewPlace, PictureIsCentredAndFillsItsLongerSide)
{
    // Twips; the small preview is 5895 x 2625 inside its border.
    const struct { const char* tag; int W, H; QRect expected; } cases[] = {
        {"wide", 6000, 1500, QRect(0, 576, 5895, 1474)}, {"tall", 1500, 6000, QRect(2620, 0, 656, 2625)},
        {"same-shape", 11790, 5250, QRect(0, 0, 5895, 2625)}, {"small-is-enlarged", 300, 300, QRect(1635, 0, 2625, 2625)},
        {"halves-to-even", 1002, 2625, QRect(2446, 0, 1002, 2625)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(window::fitIntoPreview(c.W, c.H, 5895, 2625), c.expected) << c.tag;
}

TEST_F(Preview, UnreadablePictureIsReported)
{
    inst.write(u"ServoTool/Servo_7_1024.gif"_s, "GIF89a, but no picture");
    QFile::remove(picture("Servo_12_2_1024.gif"));
    const QColor back = w->ServoPic->palette().color(w->ServoPic->backgroundRole());
    w->ShowServoPicture(picture("Servo_3_1024.gif"));

    inst.messages.expect(Answer::Yes);
    w->ComboServo[3]->setFocus(Qt::MouseFocusReason); // slot 3 holds 7
    EXPECT_TRUE(w->lastServoPicture().isEmpty());
    EXPECT_EQ(previewAt(196, 87), back);
    QTest::keyClick(w->ComboServo[3], Qt::Key_Down); // 12-1 is there
    EXPECT_EQ(w->lastServoPicture(), picture("Servo_12_1_1024.gif"));
    EXPECT_EQ(previewAt(196, 87), QColor(0, 0, 255));
    inst.messages.expect(Answer::Yes);
    QTest::keyClick(w->ComboServo[3], Qt::Key_Down); // 12-2 is gone
    EXPECT_TRUE(w->lastServoPicture().isEmpty());
    EXPECT_EQ(previewAt(218, 87), back);

    const QByteArray log = inst.read(u"QELcfglog.txt"_s);
    EXPECT_TRUE(log.contains("/ ComboServo_GotFocus (Nr. 481) :Invalid picture: ")) << log.toStdString();
    EXPECT_TRUE(log.contains("/ ComboServo_Click (Nr. 53) :File not found: ")) << log.toStdString();
    EXPECT_EQ(inst.messages.boxes.size(), 2u);
}

namespace {

// Machine m's list after building it from the given (empty) files: "servo variant name file" per
// entry, then how many servo numbers have a picture at any resolution.
QStringList listed(support::Installation& inst, const QStringList& files, int m, bool withType, const char* resolution)
{
    for (const QString& f : files)
        inst.write(u"ServoTool/"_s + f, {});
    inst.context.project.ExistingMachines = {QString(), "Filler", "Capper"};
    environment::EditingState state;
    state.Resolution = resolution;
    state.WithMachineType = withType;
    environment::Handler h(inst.context, u"SetupUserInterFace"_s);
    window::buildPictureList(inst.context, state, h, m);
    QStringList entries;
    for (int i = 1; i <= state.PicCount[m]; ++i) {
        const environment::Picture& p = state.Pictures[m][i];
        entries << u"%1 %2 %3 %4"_s.arg(p.ServoNo).arg(p.Variant).arg(p.Name, QFileInfo(p.Path).fileName());
    }
    return entries << u"types %1"_s.arg(state.PicTypeCount[m]);
}

} // namespace

TEST(PictureList, FilesBecomeEntriesNamedPerMachine)
{
    const struct { const char* tag; QStringList files, entries; const char* resolution = "1024"; int machine = 1;
                   bool withType = false; } cases[] = {
        {"single-picture-named-by-its-number", {"Servo_7_1024.gif"}, {"7 1 7 Servo_7_1024.gif", "types 1"}},
        {"variants-named-number-variant-in-servo-order",
         {"Servo_20_1024.gif", "Servo_12_2_1024.gif", "Servo_12_1_1024.gif", "Servo_1_2_1024.gif"},
         {"1 2 1 Servo_1_2_1024.gif", "12 1 12-1 Servo_12_1_1024.gif", "12 2 12-2 Servo_12_2_1024.gif",
          "20 1 20 Servo_20_1024.gif", "types 3"}},
        {"files-of-a-number-in-name-order", {"Servo_4_2_1024.gif", "Servo_4_10_1024.gif", "Servo_4_1_1024.gif"},
         {"4 10 4-10 Servo_4_10_1024.gif", "4 1 4-1 Servo_4_1_1024.gif", "4 2 4-2 Servo_4_2_1024.gif", "types 1"}},
        {"other-resolution-counted-not-listed", {"Servo_3_800.gif", "Servo_4_800.gif", "Servo_4_1024.gif"},
         {"4 1 4 Servo_4_1024.gif", "types 2"}},
        {"resolution-letter-case", {"Servo_3_hd.gif", "Servo_3_HD_x.gif"}, {"3 1 3 Servo_3_HD_x.gif", "types 1"}, "HD"},
        {"file-name-letter-case-ignored", {"SERVO_8_1024.GIF"}, {"8 1 8 SERVO_8_1024.GIF", "types 1"}},
        {"variant-read-from-its-leading-digits", {"Servo_6_2b_1024.gif", "Servo_6_x_1024.gif"},
         {"6 2 6-2 Servo_6_2b_1024.gif", "6 0 6-0 Servo_6_x_1024.gif", "types 1"}},
        {"no-servo-number", {"Servo_51_1024.gif", "Servo_0_1024.gif", "Servo_x_1024.gif", "Servo_7_1024.png"}, {"types 0"}},
        {"per-machine-type", {"Servo_Capper_3_1024.gif", "Servo_3_1024.gif", "Servo_Filler_5_1024.gif"},
         {"3 1 3 Servo_Capper_3_1024.gif", "types 1"}, "1024", 2, true},
        {"counted-per-machine", {"Servo_Filler_5_1024.gif", "Servo_Capper_5_1024.gif", "Servo_Capper_5_2_1024.gif"},
         {"5 1 5 Servo_Filler_5_1024.gif", "types 1"}, "1024", 1, true},
    };
    for (const auto& c : cases) {
        support::Installation inst;
        EXPECT_EQ(listed(inst, c.files, c.machine, c.withType, c.resolution), c.entries) << c.tag;
    }
}

TEST(PictureList, PicturesBeyondTwoHundredAreLeftOut)
{
    support::Installation inst;
    QStringList files;
    for (int t = 1; t <= 50; ++t)
        for (int v = 1; v <= 5; ++v)
            files << u"Servo_%1_%2_1024.gif"_s.arg(t).arg(v);
    inst.messages.expect(Answer::Yes);
    const QStringList entries = listed(inst, files, 1, false, "1024");
    EXPECT_EQ(entries.size(), 201);
    EXPECT_EQ(entries.mid(199), QStringList({"40 5 40-5 Servo_40_5_1024.gif", "types 50"}));
    EXPECT_TRUE(inst.messages.allAnswered());
    EXPECT_TRUE(inst.read(u"QELcfglog.txt"_s)
                    .contains("/ SetupUserInterFace (Nr. 9) :Subscript out of range: more than 200 servo pictures for "
                              "machine Filler; 50 not listed, starting with Servo_41_1_1024.gif"));
}
