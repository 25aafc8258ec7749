#include "editedwindow.h"

#include "environment/errors.h"

using support::endCode;
using platform::Answer;

TEST(Events, FailingHandlerIsReportedUnderItsName)
{
    support::Installation inst;
    window::Kalvia w(inst.context);
    QObject::connect(&w, &window::Kalvia::eventDelivered, &w, [](const QString& handler, int) {
        if (handler == u"CheckZusatz_Click"_s)
            environment::raiseSubscript();
    });
    w.CheckZusatz[6]->setEnabled(true);
    inst.messages.expect(Answer::Yes); // resume
    w.CheckZusatz[6]->setChecked(true);
    EXPECT_TRUE(w.CheckZusatz[6]->isChecked());
    EXPECT_TRUE(inst.messages.boxes.at(0).text.contains(u"Subscript out of range"_s));
    EXPECT_TRUE(inst.read(u"QELcfglog.txt"_s).contains("/ CheckZusatz_Click (Nr. 9) :Subscript out of range"));
}

TEST(Lifecycle, CancelEndsTheProgramUnlessRefused)
{
    // The answer is to the question, or resuming after its failure.
    const struct { bool fails; Answer answer; int code; const char* logged; } cases[] = {
        {false, Answer::No, -1, ""}, {false, Answer::Yes, 1, "Konfigurations-EXE wurde abgebrochen:     ServoView"},
        {true, Answer::Yes, 2, "/ CommandCancel_Click (Nr. 53) :File not found"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        support::Installation inst;
        window::Kalvia w(inst.context);
        if (c.fails)
            inst.messages.expectFailure();
        inst.messages.expect(c.answer);
        EXPECT_EQ(endCode([&] { w.CommandCancel_Click(); }), c.code);
        EXPECT_TRUE(inst.messages.allAnswered());
        EXPECT_EQ(inst.exists(u"QELcfglog.txt"_s), *c.logged != 0);
        EXPECT_TRUE(inst.read(u"QELcfglog.txt"_s).contains(c.logged));
    }
}

TEST(Lifecycle, CloseNeedsAConfirmation)
{
    support::Installation inst;
    window::Kalvia w(inst.context);
    w.show();
    inst.messages.expect(Answer::No);
    EXPECT_FALSE(w.close());
    inst.messages.expectFailure(); // a failure while asking refuses the close as well
    inst.messages.expect(Answer::Yes);
    EXPECT_FALSE(w.close());
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(inst.read(u"QELcfglog.txt"_s).contains("/ Form_QueryUnload (Nr. 53)"));
    inst.messages.expect(Answer::Yes);
    EXPECT_TRUE(w.close());
    EXPECT_FALSE(w.isVisible());
}
