#include "database/takeover.h"
#include "fixtures.h"

#include <QFile>

#include <gtest/gtest.h>

using platform::Answer;

namespace {

const QString kTuned = u"'M1', 'M1.S3.Status', 3, 10"_s; // the one tuned record of every previous table

// A generated table of M1.S3.Status at offsets 3 and 4, and a previous database beside it.
class Takeover : public ::testing::Test {
protected:
    Takeover()
    {
        db.emplace(fixtures::makeDatabase(
            inst.path("generated.mdb"),
            {u"CREATE TABLE PRESET_DEFS (%1)"_s.arg(fixtures::kTemplateColumns),
             "INSERT INTO PRESET_DEFS (ID, part, machine_type, var_name, offset_or_bitno, min) VALUES "
             "(1, 1, 'M1', 'M1.S3.Status', 3, 0), (2, 1, 'M1', 'M1.S3.Status', 4, 0)"}));
        inst.context.project.AdditionalFields = {QString(), "part"};
        inst.context.project.AdditionalFieldsCount = 1;
    }
    // The takeover into the generated table's records, which are then written back.
    int takeOver()
    {
        database::ComponentDatabase component;
        component.open(previousPath());
        std::optional<database::PreviousTable> table(database::readPreviousTable(component));
        database::GeneratedRecords generated;
        platform::Statement all(*db, "SELECT * FROM PRESET_DEFS ORDER BY rowid");
        for (std::vector<QVariant>& row : database::readRows(all, &generated.columns)) {
            generated.cells.insert(generated.cells.end(), row.begin(), row.end());
            ++generated.rows;
        }
        database::TakeoverLists lists;
        const int n = database::TakeoverMachineCopyMDBData(inst.context, *db, table, generated, lists);
        EXPECT_FALSE(table.has_value());
        db->execute("DELETE FROM PRESET_DEFS");
        environment::Handler h(inst.context, "CreateRecordSets");
        database::writeGeneratedRecords(h, *db, generated);
        return n;
    }
    QString previousPath() const { return inst.path("ServoView/ServoView.mdb"); }
    QStringList mins() const { return rows(*db, "SELECT min FROM PRESET_DEFS ORDER BY rowid"); }

    fixtures::SilentInstallation inst;
    std::optional<platform::Database> db;
};

} // namespace

// Extra columns may hold data the takeover loses: warned (silent: in the service log) unless fields are configured.
TEST_F(Takeover, ExtraColumnsWarnOnlyWithoutAdditionalFields)
{
    const struct { const char* why; const char* columns; qint16 additional; bool silent, warned; } cases[] = {
        {"15 columns, none", "", 0, false, false}, {"16, additional fields", ", Extra LONG", 1, false, false},
        {"16, none, silent", ", Extra LONG", 0, true, true}, {"16, none, answered Yes", ", Extra LONG", 0, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        QFile::remove(inst.path("ZeltoServicePack.log"));
        inst.messages.boxes.clear();
        inst.context.mode.SilentMode = c.silent;
        inst.context.project.AdditionalFieldsCount = c.additional;
        if (c.warned && !c.silent)
            inst.messages.expect(Answer::Yes);
        fixtures::makePrevious(previousPath(), {kTuned}, c.columns);
        EXPECT_EQ(takeOver(), 1);
        EXPECT_EQ(mins(), (QStringList{"10", "0"}));
        const QString log = QString::fromLatin1(inst.read("ZeltoServicePack.log"));
        EXPECT_EQ(!log.isEmpty() || !inst.messages.boxes.empty(), c.warned);
        EXPECT_EQ(log.isEmpty(), !c.silent || !c.warned);
        EXPECT_TRUE(log.isEmpty() || log.startsWith("! Fault ServoView_Config: WARNING!Machinecopy contains data in fields "
                                                    "that won't be taken over!Configurationfile \"SERVOVIEW.CFG\""))
            << log.toStdString();
    }
}

TEST_F(Takeover, NoToTheWarningEndsWithoutTakingOver)
{
    inst.context.mode.SilentMode = false;
    inst.context.project.AdditionalFieldsCount = 0;
    inst.messages.expect(Answer::No);
    inst.messages.expect(Answer::Ok); // the fatal error
    fixtures::makePrevious(previousPath(), {kTuned}, ", Extra LONG");
    EXPECT_EQ(support::endCode([&] { takeOver(); }), 2);
    EXPECT_TRUE(inst.messages.boxes.at(0).noIsDefault);
    const QStringList log = inst.reports();
    ASSERT_EQ(log.size(), 2);
    EXPECT_EQ(log[0], "ServoView_Config :Database-Error - Contact Administrator! Configurationprogram \"SERVOVIEW\" "
                      "terminated. Please check Configuration in \"SERVOVIEW.CFG\" Restart " +
                          inst.programFolder().toUpper() + "/ServoView_Config.EXE!");
    EXPECT_TRUE(log[1].contains("(Nr. 9999) :Database-Error - Contact Administrator!"));
    EXPECT_EQ(mins(), (QStringList{"0", "0"}));
}
