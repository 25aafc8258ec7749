#include "support/installation.h"
#include "window/numbers.h"
#include "window/picturelist.h"

#include <gtest/gtest.h>

using platform::Answer;

namespace {

// Machine m's list after building it from the given (empty) files: "servo variant name file" per entry.
QStringList listed(support::Installation& inst, const QStringList& files, int m = 1, bool withType = false,
                   const QString& resolution = QStringLiteral("1024"), qint16* typeCount = nullptr)
{
    for (const QString& f : files)
        inst.write(QStringLiteral("ServoTool/") + f, {});
    inst.context.project.ExistingMachines = {QString(), QStringLiteral("Filler"), QStringLiteral("Capper")};
    environment::EditingState state;
    state.Resolution = resolution;
    state.WithMachineType = withType;
    environment::Handler h(inst.context, QStringLiteral("SetupUserInterFace"));
    window::buildPictureList(inst.context, state, h, m);
    if (typeCount)
        *typeCount = state.PicTypeCount[m];
    QStringList entries;
    for (int i = 1; i <= state.PicCount[m]; ++i) {
        const environment::Picture& p = state.Pictures[m][i];
        entries << QStringLiteral("%1 %2 %3 %4").arg(p.ServoNo).arg(p.Variant).arg(p.Name, QFileInfo(p.Path).fileName());
    }
    return entries;
}

} // namespace

TEST(PictureList, FilesBecomeEntriesNamedPerMachine)
{
    const struct {
        const char* tag;
        QStringList files;
        int machine;
        bool withType;
        const char* resolution;
        int types;
        QStringList entries;
    } cases[] = {
        {"single-picture-named-by-its-number", {"Servo_7_1024.gif"}, 1, false, "1024", 1, {"7 1 7 Servo_7_1024.gif"}},
        {"variants-named-number-variant-in-servo-order",
         {"Servo_20_1024.gif", "Servo_12_2_1024.gif", "Servo_12_1_1024.gif", "Servo_1_2_1024.gif"}, 1, false, "1024", 3,
         {"1 2 1 Servo_1_2_1024.gif", "12 1 12-1 Servo_12_1_1024.gif", "12 2 12-2 Servo_12_2_1024.gif",
          "20 1 20 Servo_20_1024.gif"}},
        {"files-of-a-number-in-name-order", {"Servo_4_2_1024.gif", "Servo_4_10_1024.gif", "Servo_4_1_1024.gif"}, 1, false,
         "1024", 1, {"4 10 4-10 Servo_4_10_1024.gif", "4 1 4-1 Servo_4_1_1024.gif", "4 2 4-2 Servo_4_2_1024.gif"}},
        {"other-resolution-counted-not-listed", {"Servo_3_800.gif", "Servo_4_800.gif", "Servo_4_1024.gif"}, 1, false,
         "1024", 2, {"4 1 4 Servo_4_1024.gif"}},
        {"resolution-matches-letter-case", {"Servo_3_hd.gif", "Servo_3_HD_x.gif"}, 1, false, "HD", 1,
         {"3 1 3 Servo_3_HD_x.gif"}},
        {"file-name-letter-case-ignored", {"SERVO_8_1024.GIF"}, 1, false, "1024", 1, {"8 1 8 SERVO_8_1024.GIF"}},
        {"variant-read-from-its-leading-digits", {"Servo_6_2b_1024.gif", "Servo_6_x_1024.gif"}, 1, false, "1024", 1,
         {"6 2 6-2 Servo_6_2b_1024.gif", "6 0 6-0 Servo_6_x_1024.gif"}},
        {"no-servo-number", {"Servo_51_1024.gif", "Servo_0_1024.gif", "Servo_x_1024.gif", "Servo_7_1024.png"}, 1, false,
         "1024", 0, {}},
        {"per-machine-type", {"Servo_Capper_3_1024.gif", "Servo_3_1024.gif", "Servo_Filler_5_1024.gif"}, 2, true, "1024",
         1, {"3 1 3 Servo_Capper_3_1024.gif"}},
        {"counted-per-machine", {"Servo_Filler_5_1024.gif", "Servo_Capper_5_1024.gif", "Servo_Capper_5_2_1024.gif"}, 1,
         true, "1024", 1, {"5 1 5 Servo_Filler_5_1024.gif"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tag);
        support::Installation inst;
        qint16 types = -1;
        EXPECT_EQ(listed(inst, c.files, c.machine, c.withType, QString::fromLatin1(c.resolution), &types), c.entries);
        EXPECT_EQ(types, c.types);
        EXPECT_TRUE(inst.messages.boxes.empty());
    }
}

TEST(PictureList, PicturesBeyondTwoHundredAreReportedOnceAndLeftOut)
{
    support::Installation inst;
    QStringList files;
    for (int t = 1; t <= 50; ++t) {
        for (int v = 1; v <= 5; ++v)
            files << QStringLiteral("Servo_%1_%2_1024.gif").arg(t).arg(v);
    }
    inst.messages.expect(Answer::Yes);
    qint16 types = 0;
    const QStringList entries = listed(inst, files, 1, false, QStringLiteral("1024"), &types);
    EXPECT_EQ(entries.size(), 200);
    EXPECT_EQ(entries.last(), QStringLiteral("40 5 40-5 Servo_40_5_1024.gif"));
    EXPECT_EQ(types, 50);
    EXPECT_EQ(inst.messages.boxes.size(), 1u);
    EXPECT_TRUE(inst.read(QStringLiteral("QELcfglog.txt"))
                    .contains("/ SetupUserInterFace (Nr. 9) :Subscript out of range: more than 200 servo pictures for "
                              "machine Filler; 50 not listed, starting with Servo_41_1_1024.gif"));
}

TEST(ServoTexts, NumbersReadFromTexts)
{
    const struct {
        const char* text;
        int leading; // -999: overflow
        int whole;   // -999: overflow, -13: not a number
    } cases[] = {
        {"12", 12, 12},     {" 1 2", 12, -13}, {"7-1", 7, -13},   {"2b", 2, -13},      {"x", 0, -13},
        {"", 0, -13},       {"-3", -3, -3},    {" +4 ", 4, 4},    {"2.5", 2, 2},       {"3.5", 4, 4},
        {".5", 0, 0},       {"1e2", 100, 100}, {"1e", 1, -13},    {"32767", 32767, 32767},
        {"32768", -999, -999}, {"-", 0, -13},
    };
    const auto outcome = [](const std::function<qint16()>& f) {
        try {
            return static_cast<int>(f());
        } catch (const environment::RunTimeError& e) {
            return e.number == environment::ErrOverflow ? -999 : -e.number;
        }
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const QString text = QString::fromLatin1(c.text);
        EXPECT_EQ(outcome([&] { return window::leadingInteger(text); }), c.leading);
        EXPECT_EQ(outcome([&] { return window::wholeInteger(text); }), c.whole);
    }
}
