#include "database/componentdb.h"
#include "database/generation.h"
#include "database/records.h"
#include "fixtures.h"

#include <QFile>

#include <functional>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

using fixtures::rows;

namespace {

const QString kReportPrefix = QStringLiteral("Fehler in ServoView / ServoView_Config / CreateRecordSets ");

class Generation : public ::testing::Test {
protected:
    Generation()
    {
        inst.context.project.ExistingMachines = {QString(), QStringLiteral("M1"), QStringLiteral("M2")};
        for (int p = 1; p <= database::kMaxParts; ++p) {
            naming.VarNamePatterns[0][p] = QStringLiteral("###machine.S###Servo.###Var_Name");
            naming.VarNamePatterns[1][p] = QStringLiteral("###machine_S###Servo_###Var_Name");
        }
    }
    QString componentPath() const { return inst.path(QStringLiteral("ServoView/ServoView.mdb")); }

    // The template table with the given columns and rows (INSERT statements), and an empty
    // PRESET_DEFS of the same columns.
    void makeTemplates(const QString& inserts, const QString& columns = fixtures::kTemplateColumns)
    {
        db.reset();
        QFile::remove(inst.path(QStringLiteral("ServoView/ServoView_Source.mdb")));
        db.emplace(fixtures::makeDatabase(inst.path(QStringLiteral("ServoView/ServoView_Source.mdb")),
                                          {QStringLiteral("CREATE TABLE Source_PRESET_DEFS (%1)").arg(columns),
                                           QStringLiteral("INSERT INTO Source_PRESET_DEFS ") + inserts,
                                           QStringLiteral("CREATE TABLE PRESET_DEFS (%1)").arg(columns)}));
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
        QString cfg = QStringLiteral("[Project]\n");
        for (int m : served)
            cfg += QStringLiteral("ForMachine%1=true\n").arg(m);
        inst.writeIni(QStringLiteral("ServoView/ServoView.cfg"), cfg);
        component.open(componentPath());
        const database::GeneratedRecords records = database::CreateRecordSets(inst.context, *db, *state, naming, component);
        environment::Handler h(inst.context, QStringLiteral("CreateRecordSets"));
        database::writeGeneratedRecords(h, *db, records);
    }
    QStringList generated(const QString& columns) const
    {
        return rows(*db, QStringLiteral("SELECT %1 FROM PRESET_DEFS ORDER BY rowid").arg(columns));
    }
    QStringList componentNames() const { return fixtures::lookupNames(component, componentPath()); }

    fixtures::SilentInstallation inst;
    std::unique_ptr<environment::EditingState> state = std::make_unique<environment::EditingState>();
    database::NamingState naming;
    std::optional<platform::Database> db;
    database::ComponentDatabase component;
};

const QString kAbcTemplates = QStringLiteral("(ID, part, var_name, page_name) VALUES "
                                             "(30, 1, 'c', '###machine'), (10, 1, 'a', '###machine'), "
                                             "(20, 1, 'b', '###machine')");

} // namespace

TEST_F(Generation, RecordsComeMachineBySlotByTemplateNumberedWithoutGaps)
{
    makeTemplates(kAbcTemplates);
    setSlots(1, {4, 9});
    setSlots(2, {12});
    generate();
    EXPECT_EQ(generated(QStringLiteral("ID, var_name, page_name")),
              (QStringList{"1|M1.S4.a|M1", "2|M1.S4.b|M1", "3|M1.S4.c|M1", "4|M1.S9.a|M1", "5|M1.S9.b|M1",
                           "6|M1.S9.c|M1", "7|M2.S12.a|M2", "8|M2.S12.b|M2", "9|M2.S12.c|M2"}));
    EXPECT_TRUE(inst.reports().isEmpty());
}

TEST_F(Generation, VariableNameComesFromThePatternOfThePart)
{
    const struct {
        const char* pattern0;
        const char* pattern1;
        int mode;
        const char* templateName;
        const char* expected;
    } cases[] = {
        {"###machine.Servo###Servo.###Var_Name", "###machine_Servo###Servo_###Var_Name", 1, "Speed", "M1_Servo7_Speed"},
        {"###machine.Servo###Servo.###Var_Name", "###machine_Servo###Servo_###Var_Name", 0, "Speed", "M1.Servo7.Speed"},
        {"x", "###MACHINE_SERVO###SERVO_###VAR_NAME_###Parameter", 1, "Speed", "M1_SERVO7_Speed_7"},
        {"x", "###Var_Name", 1, "###machine###Machine###MACHINE", "M1M1###MACHINE"}, // replaced twice
        {"", "", 1, "Speed", ""},                                                    // no pattern: no name
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        naming.VarNamePatterns[0][2] = QString::fromUtf8(c.pattern0);
        naming.VarNamePatterns[1][2] = QString::fromUtf8(c.pattern1);
        naming.VWStudioMode = qint16(c.mode);
        makeTemplates(QStringLiteral("(ID, part, var_name) VALUES (1, 2, '%1')").arg(QString::fromUtf8(c.templateName)));
        setSlots(1, {7});
        generate({1});
        EXPECT_EQ(generated(QStringLiteral("var_name")), QStringList{QString::fromUtf8(c.expected)});
    }
    EXPECT_TRUE(inst.reports().isEmpty());
}

TEST_F(Generation, TextPlaceholdersUseTheBitNumberAlreadyInTheRecord)
{
    naming.VarNamePatterns[1][1] = QStringLiteral("###Var_Name");
    naming.VWStudioMode = 1;
    // machine_type comes before offset_or_bitno and so never sees the bit number.
    makeTemplates(QStringLiteral(
        "(ID, part, machine_type, offset_or_bitno, var_name, text, page_name) VALUES "
        "(1, 1, '###text ###machine', 4, 'b###TEXT_###servo', 'Bit ###text', 'S###Servo P###parameter ###machine'), "
        "(2, 1, '###text', NULL, 'b###text', 'Bit ###text', 'S###Servo P###parameter'), "
        "(3, 1, 'x', '', 'b###text', 'Bit ###text', '###machine-###machine-###machine')"));
    setSlots(1, {7});
    generate({1});
    EXPECT_EQ(generated(QStringLiteral("machine_type, var_name, text, page_name")),
              (QStringList{"###text M1|b5_7|Bit 5|S7 P7 M1", "###text|b###text|Bit ###text|S###Servo P###parameter",
                           "x|b###text|Bit ###text|M1-###machine-###machine"}));
    EXPECT_TRUE(inst.reports().isEmpty());
}

TEST_F(Generation, EqualTemplateTextsDifferByBitSlotAndMachine)
{
    makeTemplates(QStringLiteral("(ID, part, offset_or_bitno, var_name, page_name) VALUES "
                                 "(1, 1, 4, 'Bit###text', 'S###Servo ###machine'), "
                                 "(2, 1, 6, 'Bit###text', 'S###Servo ###machine')"));
    setSlots(1, {7, 9});
    setSlots(2, {7});
    generate();
    EXPECT_EQ(generated(QStringLiteral("var_name, page_name")),
              (QStringList{"M1.S7.Bit5|S7 M1", "M1.S7.Bit7|S7 M1", "M1.S9.Bit5|S9 M1", "M1.S9.Bit7|S9 M1",
                           "M2.S7.Bit5|S7 M2", "M2.S7.Bit7|S7 M2"}));
}

TEST_F(Generation, CategoryMovesWithTheSlotExcept360)
{
    makeTemplates(QStringLiteral("(ID, part, category_id) VALUES (1, 1, 100), (2, 1, 360), (3, 1, NULL)"));
    QList<int> servos(50, 1);
    setSlots(1, servos);
    generate({1});
    const QStringList all = generated(QStringLiteral("category_id"));
    ASSERT_EQ(all.size(), 150);
    const auto slot = [&](int s) { return all.mid((s - 1) * 3, 3).join(QLatin1Char(' ')); };
    for (const auto& [s, expected] : {std::pair{10, "100 360 ~"}, std::pair{11, "310 360 ~"}, std::pair{30, "310 360 ~"},
                                      std::pair{31, "370 360 ~"}, std::pair{50, "370 360 ~"}})
        EXPECT_EQ(slot(s), QLatin1String(expected)) << s;
}

TEST_F(Generation, PartAfterVarNameIsReportedForBothSystems)
{
    makeTemplates(QStringLiteral("VALUES (1, NULL, 'Speed', 2)"),
                  QStringLiteral("ID COUNTER, offset_or_bitno SHORT, var_name TEXT(50), part SHORT"));
    setSlots(1, {3});
    generate({1});
    const QString line = kReportPrefix + QStringLiteral("(Nr. 94) :Invalid use of Null");
    EXPECT_EQ(inst.reports(), (QStringList{line, line}));
    EXPECT_EQ(generated(QStringLiteral("ID, offset_or_bitno, var_name, part")), QStringList{"1|~||2"});
}

TEST_F(Generation, MachinesAboveFiveAndSlotsAboveFiftyAreReportedOnce)
{
    inst.context.project.ExistingMachines = {QString(), "M1", "M2", "M3", "M4", "M5", "M6"};
    makeTemplates(QStringLiteral("(ID, part, var_name) VALUES (1, 1, 'a')"));
    QList<int> servos;
    for (int s = 1; s <= 50; ++s)
        servos << s;
    setSlots(1, servos);
    state->NumberOfServos[1] = 300;
    generate({1, 2, 3, 4, 5, 6});
    const QString line = kReportPrefix + QStringLiteral("(Nr. 9) :Subscript out of range");
    EXPECT_EQ(inst.reports(), (QStringList{line, line}));
    EXPECT_EQ(generated(QStringLiteral("count(*), max(ID), max(var_name)")), QStringList{"50|50|M1.S9.a"});
}

TEST_F(Generation, NothingIsGeneratedOrRenamedWithoutMachinesTargetOrTemplates)
{
    const std::function<void()> breakIt[] = {
        [&] { inst.context.project.ExistingMachines.clear(); },            // reported
        [&] { db->deleteTableDef(database::kDefsTable); },                  // reported
        [&] { db->execute(QStringLiteral("DELETE FROM Source_PRESET_DEFS")); }, // not reported
    };
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        inst.write(QStringLiteral("QELcfglog.txt"), {});
        inst.context.project.ExistingMachines = {QString(), QStringLiteral("M1")};
        makeTemplates(QStringLiteral("(ID, part, var_name) VALUES (1, 1, 'a')"));
        component.close();
        QFile::remove(componentPath());
        fixtures::makeDatabase(componentPath(), {QStringLiteral("CREATE TABLE PRESET_DEFS (ID LONG, var_name TEXT(50))"),
                                                 QStringLiteral("INSERT INTO PRESET_DEFS VALUES (1, 'M1.S4.a')")});
        setSlots(1, {4});
        naming.VWStudioMode = 1;
        breakIt[i]();
        generate();
        EXPECT_EQ(inst.reports().size(), i < 2 ? 1 : 0);
        if (i != 1) {
            EXPECT_TRUE(generated(QStringLiteral("ID")).isEmpty());
        }
        EXPECT_EQ(componentNames(), QStringList{QStringLiteral("M1.S4.a")});
    }
}

TEST_F(Generation, ComponentNamesAreBroughtToTheWantedSystem)
{
    naming.VarNamePatterns[0][1] = QStringLiteral("###machine.###Var_Name");
    naming.VarNamePatterns[1][1] = QStringLiteral("###machine_###Var_Name");
    naming.VWStudioMode = 1;
    // The name looked up carries the bit number, as the record does.
    makeTemplates(QStringLiteral("(ID, part, offset_or_bitno, var_name) VALUES (1, 1, 0, 'a'), (2, 1, 0, 'b'), "
                                 "(3, 1, 4, 'Bit###text')"));
    setSlots(1, {4});
    fixtures::makeDatabase(componentPath(),
                           {QStringLiteral("CREATE TABLE PRESET_DEFS (ID LONG, var_name TEXT(50))"),
                            QStringLiteral("INSERT INTO PRESET_DEFS VALUES (1, 'm1.a'), (2, 'M1_b'), (3, 'M1.Bit5'), "
                                           "(4, 'M2.a')")});
    generate({1});
    EXPECT_EQ(componentNames(), (QStringList{"M1_a", "M1_b", "M1_Bit5", "M2.a"}));
    EXPECT_EQ(generated(QStringLiteral("var_name")), (QStringList{"M1_a", "M1_b", "M1_Bit5"}));
}

TEST_F(Generation, RecordNumberStopsAtTheSixteenBitLimitWithOneReport)
{
    // 656 templates in 50 slots would need 32800 numbers.
    QStringList values;
    for (int t = 1; t <= 656; ++t)
        values << QStringLiteral("(%1, 1)").arg(t);
    makeTemplates(QStringLiteral("(ID, part) VALUES ") + values.join(QLatin1Char(',')), QStringLiteral("ID COUNTER, part SHORT"));
    setSlots(1, QList<int>(50, 1));
    generate({1});
    EXPECT_EQ(inst.reports(), QStringList{kReportPrefix + QStringLiteral("(Nr. 6) :Overflow")});
    EXPECT_EQ(generated(QStringLiteral("count(*), count(DISTINCT ID), max(ID)")), QStringList{"32767|32767|32767"});
}
