#include "database/generation.h"
#include "fixtures.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <numeric>
#include <optional>

namespace {

const QString kReportPrefix = u"Fehler in ServoView / ServoView_Config / CreateRecordSets "_s;

class Generation : public ::testing::Test {
protected:
    Generation()
    {
        inst.context.project.ExistingMachines = {QString(), "M1", "M2"};
        for (int p = 1; p <= database::kMaxParts; ++p) {
            naming.VarNamePatterns[0][p] = u"###machine.S###Servo.###Var_Name"_s;
            naming.VarNamePatterns[1][p] = u"###machine_S###Servo_###Var_Name"_s;
        }
    }
    QString componentPath() const { return inst.path("ServoView/ServoView.mdb"); }

    // Source_PRESET_DEFS of the given columns and rows (an INSERT's tail), and an empty PRESET_DEFS like it.
    void makeTemplates(const QString& inserts, const QString& columns = fixtures::kTemplateColumns)
    {
        db.reset();
        db.emplace(fixtures::makeDatabase(inst.path("ServoView/ServoView_Source.mdb"),
                                          {u"CREATE TABLE Source_PRESET_DEFS (%1)"_s.arg(columns),
                                           "INSERT INTO Source_PRESET_DEFS " + inserts,
                                           u"CREATE TABLE PRESET_DEFS (%1)"_s.arg(columns)}));
    }
    // A component database whose PRESET_DEFS has the given (ID, var_name) rows.
    void makeComponent(const QString& values)
    {
        component.close();
        fixtures::makeDatabase(componentPath(), {"CREATE TABLE PRESET_DEFS (ID LONG, var_name TEXT(50))",
                                                 "INSERT INTO PRESET_DEFS VALUES " + values});
    }
    void setSlots(int machine, const QList<int>& servos)
    {
        state->NumberOfServos[machine] = qint16(servos.size());
        for (int s = 0; s < servos.size() && s < environment::kMaxSlots; ++s)
            state->Servo[machine][s + 1] = qint16(servos[s]);
    }
    // CreateRecordSets for the served machines, its records written to PRESET_DEFS.
    void generate(const QList<int>& served = {1, 2})
    {
        QString cfg = u"[Project]\n"_s;
        for (int m : served)
            cfg += u"ForMachine%1=true\n"_s.arg(m);
        inst.writeIni("ServoView/ServoView.cfg", cfg);
        component.open(componentPath());
        const database::GeneratedRecords records = database::CreateRecordSets(inst.context, *db, *state, naming, component);
        environment::Handler h(inst.context, "CreateRecordSets");
        // One transaction, as the closing run writes them.
        platform::Transaction tx(*db);
        database::writeGeneratedRecords(h, *db, records);
        tx.commit();
    }
    QStringList generated(const QString& columns) const { return rows(*db, "SELECT " + columns + " FROM PRESET_DEFS"); }
    QStringList componentNames() const { return fixtures::lookupNames(component, componentPath()); }

    fixtures::SilentInstallation inst;
    std::unique_ptr<environment::EditingState> state = std::make_unique<environment::EditingState>();
    database::NamingState naming;
    std::optional<platform::Database> db;
    database::ComponentDatabase component;
};

} // namespace

// Also: equal template texts still differ by bit number, slot and machine (names are made once per machine).
TEST_F(Generation, RecordsComeMachineBySlotByTemplateNumberedWithoutGaps)
{
    makeTemplates("(ID, part, offset_or_bitno, var_name, page_name) VALUES (30, 1, 6, 'Bit###text', 'S###Servo "
                  "###machine'), (10, 1, 4, 'Bit###text', 'S###Servo ###machine'), (20, 1, NULL, 'b', '###machine')");
    setSlots(1, {4, 9});
    setSlots(2, {4});
    generate();
    EXPECT_EQ(generated("ID, var_name, page_name"),
              (QStringList{"1|M1.S4.Bit5|S4 M1", "2|M1.S4.b|M1", "3|M1.S4.Bit7|S4 M1", "4|M1.S9.Bit5|S9 M1", "5|M1.S9.b|M1",
                           "6|M1.S9.Bit7|S9 M1", "7|M2.S4.Bit5|S4 M2", "8|M2.S4.b|M2", "9|M2.S4.Bit7|S4 M2"}));
    EXPECT_TRUE(inst.reports().isEmpty());
}

TEST_F(Generation, VariableNameComesFromThePatternOfThePart)
{
    const struct { const char *pattern0, *pattern1; int mode; const char *templateName, *expected; } cases[] = {
        {"###machine.Servo###Servo.###Var_Name", "###machine_Servo###Servo_###Var_Name", 1, "Speed", "M1_Servo7_Speed"},
        {"###machine.Servo###Servo.###Var_Name", "###machine_Servo###Servo_###Var_Name", 0, "Speed", "M1.Servo7.Speed"},
        {"x", "###MACHINE_SERVO###SERVO_###VAR_NAME_###Parameter", 1, "Speed", "M1_SERVO7_Speed_7"},
        {"x", "###Var_Name", 1, "###machine###Machine###MACHINE", "M1M1###MACHINE"}, // replaced twice
        {"", "", 1, "Speed", ""},                                                    // no pattern: no name
    };
    setSlots(1, {7});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        naming.VarNamePatterns[0][2] = c.pattern0;
        naming.VarNamePatterns[1][2] = c.pattern1;
        naming.VWStudioMode = qint16(c.mode);
        makeTemplates(u"(ID, part, var_name) VALUES (1, 2, '%1')"_s.arg(c.templateName));
        generate({1});
        EXPECT_EQ(generated("var_name"), QStringList{c.expected});
    }
    EXPECT_TRUE(inst.reports().isEmpty());
}

TEST_F(Generation, TextPlaceholdersUseTheBitNumberAlreadyInTheRecord)
{
    naming.VarNamePatterns[1][1] = u"###Var_Name"_s;
    naming.VWStudioMode = 1;
    // machine_type comes before offset_or_bitno and so never sees the bit number.
    makeTemplates("(ID, part, machine_type, offset_or_bitno, var_name, text, page_name) VALUES (1, 1, '###text "
                  "###machine', 4, 'b###TEXT_###servo', 'Bit ###text', 'S###Servo P###parameter ###machine'), "
                  "(2, 1, '###text', NULL, 'b###text', 'Bit ###text', 'S###Servo P###parameter'), "
                  "(3, 1, 'x', '', 'b###text', 'Bit ###text', '###machine-###machine-###machine')");
    setSlots(1, {7});
    generate({1});
    EXPECT_EQ(generated("machine_type, var_name, text, page_name"),
              (QStringList{"###text M1|b5_7|Bit 5|S7 P7 M1", "###text|b###text|Bit ###text|S###Servo P###parameter",
                           "x|b###text|Bit ###text|M1-###machine-###machine"}));
    EXPECT_TRUE(inst.reports().isEmpty());
}

TEST_F(Generation, CategoryMovesWithTheSlotExcept360)
{
    makeTemplates("(ID, part, category_id) VALUES (1, 1, 100), (2, 1, 360), (3, 1, NULL)");
    setSlots(1, QList<int>(50, 1));
    generate({1});
    const QStringList all = generated("category_id");
    ASSERT_EQ(all.size(), 150);
    for (const auto& [s, expected] : {std::pair{10, "100 360 ~"}, std::pair{11, "310 360 ~"}, std::pair{30, "310 360 ~"},
                                      std::pair{31, "370 360 ~"}, std::pair{50, "370 360 ~"}})
        EXPECT_EQ(all.mid((s - 1) * 3, 3).join(' '), expected) << s;
}

TEST_F(Generation, PartAfterVarNameIsReportedForBothSystems)
{
    makeTemplates("VALUES (1, NULL, 'Speed', 2)", "ID COUNTER, offset_or_bitno SHORT, var_name TEXT(50), part SHORT");
    setSlots(1, {3});
    generate({1});
    EXPECT_EQ(inst.reports(), QStringList(2, kReportPrefix + "(Nr. 94) :Invalid use of Null"));
    EXPECT_EQ(generated("ID, offset_or_bitno, var_name, part"), QStringList{"1|~||2"});
}

TEST_F(Generation, MachinesAboveFiveAndSlotsAboveFiftyAreReportedOnce)
{
    inst.context.project.ExistingMachines = {QString(), "M1", "M2", "M3", "M4", "M5", "M6"};
    makeTemplates("(ID, part, var_name) VALUES (1, 1, 'a')");
    QList<int> servos(50);
    std::iota(servos.begin(), servos.end(), 1);
    setSlots(1, servos);
    state->NumberOfServos[1] = 300;
    generate({1, 2, 3, 4, 5, 6});
    EXPECT_EQ(inst.reports(), QStringList(2, kReportPrefix + "(Nr. 9) :Subscript out of range"));
    EXPECT_EQ(generated("count(*), max(ID), max(var_name)"), QStringList{"50|50|M1.S9.a"});
}

// Without machines or target table (both reported) or templates: nothing generated, no component name renamed.
TEST_F(Generation, NothingIsGeneratedOrRenamedWithoutMachinesTargetOrTemplates)
{
    const std::function<void()> breakIt[] = {
        [&] { inst.context.project.ExistingMachines.clear(); },
        [&] { db->deleteTableDef(database::kDefsTable); },
        [&] { db->execute("DELETE FROM Source_PRESET_DEFS"); },
    };
    naming.VWStudioMode = 1;
    setSlots(1, {4});
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        inst.clearReports();
        inst.context.project.ExistingMachines = {QString(), "M1"};
        makeTemplates("(ID, part, var_name) VALUES (1, 1, 'a')");
        makeComponent("(1, 'M1.S4.a')");
        breakIt[i]();
        generate();
        EXPECT_EQ(inst.reports().size(), i < 2 ? 1 : 0);
        EXPECT_TRUE(i == 1 || generated("ID").isEmpty()); // 1: no table to look at
        EXPECT_EQ(componentNames(), QStringList{"M1.S4.a"});
    }
}

TEST_F(Generation, ComponentNamesAreBroughtToTheWantedSystem)
{
    naming.VarNamePatterns[0][1] = u"###machine.###Var_Name"_s;
    naming.VarNamePatterns[1][1] = u"###machine_###Var_Name"_s;
    naming.VWStudioMode = 1;
    // The name looked up carries the bit number, as the record does.
    makeTemplates("(ID, part, offset_or_bitno, var_name) VALUES (1, 1, 0, 'a'), (2, 1, 0, 'b'), (3, 1, 4, 'Bit###text')");
    setSlots(1, {4});
    makeComponent("(1, 'm1.a'), (2, 'M1_b'), (3, 'M1.Bit5'), (4, 'M2.a')");
    generate({1});
    EXPECT_EQ(componentNames(), (QStringList{"M1_a", "M1_b", "M1_Bit5", "M2.a"}));
    EXPECT_EQ(generated("var_name"), (QStringList{"M1_a", "M1_b", "M1_Bit5"}));
}

TEST_F(Generation, RecordNumberStopsAtTheSixteenBitLimitWithOneReport)
{
    // 656 templates in 50 slots would need 32800 numbers.
    QStringList values;
    for (int t = 1; t <= 656; ++t)
        values << u"(%1, 1)"_s.arg(t);
    makeTemplates("(ID, part) VALUES " + values.join(','), "ID COUNTER, part SHORT");
    setSlots(1, QList<int>(50, 1));
    generate({1});
    EXPECT_EQ(inst.reports(), QStringList{kReportPrefix + "(Nr. 6) :Overflow"});
    EXPECT_EQ(generated("count(*), count(DISTINCT ID), max(ID)"), QStringList{"32767|32767|32767"});
}
