#include "database/componentdb.h"
#include "database/generation.h"
#include "database/records.h"
#include "environment/projectsettings.h"
#include "fixtures.h"

#include <QFile>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

using database::ComponentDatabase;
using fixtures::rows;

namespace {

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

    QString templatePath() const { return inst.path(QStringLiteral("ServoView/ServoView_Source.mdb")); }
    QString componentPath() const { return inst.path(QStringLiteral("ServoView/ServoView.mdb")); }

    // The template table with the given columns and rows (INSERT statements), and PRESET_DEFS
    // rebuilt from it.
    void makeTemplates(const QStringList& inserts, const QString& columns = fixtures::kTemplateColumns)
    {
        QStringList sql{QStringLiteral("CREATE TABLE Source_PRESET_DEFS (%1)").arg(columns)};
        for (const QString& values : inserts)
            sql << QStringLiteral("INSERT INTO Source_PRESET_DEFS ") + values;
        sql << QStringLiteral("CREATE TABLE PRESET_DEFS (%1)").arg(columns);
        db.emplace(fixtures::makeDatabase(templatePath(), sql));
    }
    // Slots of a machine with their servo numbers.
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
        createRecordSets();
    }
    void createRecordSets()
    {
        component.open(componentPath());
        platform::Transaction tx(*db);
        const database::GeneratedRecords records = database::CreateRecordSets(inst.context, *db, *state, naming, component);
        environment::Handler h(inst.context, QStringLiteral("CreateRecordSets"));
        database::writeGeneratedRecords(h, *db, records);
        tx.commit();
    }
    // The component database's variable names as the renames left them.
    QStringList componentNames() const
    {
        QStringList names;
        platform::Statement st(platform::Database(componentPath()),
                               QStringLiteral("SELECT rowid, var_name FROM PRESET_DEFS ORDER BY rowid"));
        while (st.step()) {
            const QString* renamed = component.currentName(st.value(0).toLongLong());
            names << (renamed ? *renamed : st.value(1).toString());
        }
        return names;
    }
    QStringList generated(const QString& columns) const
    {
        return rows(*db, QStringLiteral("SELECT %1 FROM PRESET_DEFS ORDER BY rowid").arg(columns));
    }

    fixtures::SilentInstallation inst;
    std::unique_ptr<environment::EditingState> state = std::make_unique<environment::EditingState>();
    database::NamingState naming;
    std::optional<platform::Database> db;
    ComponentDatabase component;
};

const QString kAbcTemplates = QStringLiteral("(ID, part, var_name, page_name) VALUES "
                                             "(30, 1, 'c', '###machine'), (10, 1, 'a', '###machine'), "
                                             "(20, 1, 'b', '###machine')");

} // namespace

TEST_F(Generation, RecordsComeMachineBySlotByTemplateNumberedWithoutGaps)
{
    makeTemplates({kAbcTemplates});
    setSlots(1, {4, 9});
    setSlots(2, {12});
    generate();
    EXPECT_EQ(generated(QStringLiteral("ID, var_name, page_name")),
              (QStringList{QStringLiteral("1|M1.S4.a|M1"), QStringLiteral("2|M1.S4.b|M1"), QStringLiteral("3|M1.S4.c|M1"),
                           QStringLiteral("4|M1.S9.a|M1"), QStringLiteral("5|M1.S9.b|M1"), QStringLiteral("6|M1.S9.c|M1"),
                           QStringLiteral("7|M2.S12.a|M2"), QStringLiteral("8|M2.S12.b|M2"),
                           QStringLiteral("9|M2.S12.c|M2")}));
    EXPECT_TRUE(inst.reports().isEmpty());
}

TEST_F(Generation, MachinesNotServedOrWithoutSlotsGetNoRecords)
{
    struct Row {
        bool served;
        int slotCount;
    };
    const Row cases[] = {{false, 1}, {true, -1}, {true, 0}};
    for (const Row& c : cases) {
        SCOPED_TRACE(c.slotCount);
        makeTemplates({kAbcTemplates});
        setSlots(1, {4});
        state->NumberOfServos[2] = qint16(c.slotCount);
        state->Servo[2][1] = 5;
        generate(c.served ? QList<int>{1, 2} : QList<int>{1});
        EXPECT_EQ(generated(QStringLiteral("count(*), min(var_name), max(var_name)")),
                  QStringList{QStringLiteral("3|M1.S4.a|M1.S4.c")});
        db.reset();
        QFile::remove(templatePath());
    }
    EXPECT_TRUE(inst.reports().isEmpty());
}

TEST_F(Generation, VariableNameComesFromThePatternOfThePartInTheWantedSystem)
{
    struct Row {
        const char* pattern0;
        const char* pattern1;
        int mode;
        const char* templateName;
        const char* expected;
    };
    const Row cases[] = {
        {"###machine.Servo###Servo.###Var_Name", "###machine_Servo###Servo_###Var_Name", 1, "Speed", "M1_Servo7_Speed"},
        {"###machine.Servo###Servo.###Var_Name", "###machine_Servo###Servo_###Var_Name", 0, "Speed", "M1.Servo7.Speed"},
        {"x", "###MACHINE_SERVO###SERVO_###VAR_NAME_###Parameter", 1, "Speed", "M1_SERVO7_Speed_7"},
        // "###machine" is replaced twice; a third stays.
        {"x", "###Var_Name", 1, "###machine###Machine###MACHINE", "M1M1###MACHINE"},
        // A part without a pattern gives an empty name.
        {"", "", 1, "Speed", ""},
    };
    for (const Row& c : cases) {
        SCOPED_TRACE(c.expected);
        naming.VarNamePatterns[0][2] = QString::fromUtf8(c.pattern0);
        naming.VarNamePatterns[1][2] = QString::fromUtf8(c.pattern1);
        naming.VWStudioMode = qint16(c.mode);
        makeTemplates({QStringLiteral("(ID, part, var_name) VALUES (1, 2, '%1')").arg(QString::fromUtf8(c.templateName))});
        setSlots(1, {7});
        generate({1});
        EXPECT_EQ(generated(QStringLiteral("var_name")), QStringList{QString::fromUtf8(c.expected)});
        db.reset();
        QFile::remove(templatePath());
    }
    EXPECT_TRUE(inst.reports().isEmpty());
}

TEST_F(Generation, TextPlaceholdersDependOnTheBitNumberAlreadyInTheRecord)
{
    naming.VarNamePatterns[1][1] = QStringLiteral("###Var_Name");
    naming.VWStudioMode = 1;
    // machine_type comes before offset_or_bitno and so never sees the bit number.
    makeTemplates({QStringLiteral(
        "(ID, part, machine_type, offset_or_bitno, var_name, text, page_name) VALUES "
        "(1, 1, '###text ###machine', 4, 'b###TEXT_###servo', 'Bit ###text', 'S###Servo P###parameter ###machine'), "
        "(2, 1, '###text', NULL, 'b###text', 'Bit ###text', 'S###Servo P###parameter'), "
        "(3, 1, 'x', '', 'b###text', 'Bit ###text', '###machine-###machine-###machine')")});
    setSlots(1, {7});
    generate({1});
    EXPECT_EQ(generated(QStringLiteral("machine_type, var_name, text, page_name")),
              (QStringList{QStringLiteral("###text M1|b5_7|Bit 5|S7 P7 M1"),
                           QStringLiteral("###text|b###text|Bit ###text|S###Servo P###parameter"),
                           QStringLiteral("x|b###text|Bit ###text|M1-###machine-###machine")}));
    EXPECT_TRUE(inst.reports().isEmpty());
}

TEST_F(Generation, EqualTemplateTextsComeOutEqualOnlyWhereTheirNumbersAre)
{
    // Consecutive records with the same texts: the bit number differs from record to record,
    // the servo number from slot to slot, the machine name from machine to machine.
    makeTemplates({QStringLiteral("(ID, part, offset_or_bitno, text, page_name) VALUES "
                                  "(1, 1, 4, 'Bit ###text', 'S###Servo ###machine'), "
                                  "(2, 1, 6, 'Bit ###text', 'S###Servo ###machine')")});
    setSlots(1, {7, 9});
    setSlots(2, {7});
    generate();
    EXPECT_EQ(generated(QStringLiteral("text, page_name")),
              (QStringList{QStringLiteral("Bit 5|S7 M1"), QStringLiteral("Bit 7|S7 M1"), QStringLiteral("Bit 5|S9 M1"),
                           QStringLiteral("Bit 7|S9 M1"), QStringLiteral("Bit 5|S7 M2"), QStringLiteral("Bit 7|S7 M2")}));
}

TEST_F(Generation, CategoryMovesWithTheSlotExceptCategory360)
{
    makeTemplates({QStringLiteral("(ID, part, category_id) VALUES (1, 1, 100), (2, 1, 360), (3, 1, NULL)")});
    QList<int> servos;
    for (int s = 1; s <= 50; ++s)
        servos << s;
    setSlots(1, servos);
    generate({1});
    const QStringList all = generated(QStringLiteral("category_id"));
    ASSERT_EQ(all.size(), 150);
    const auto slot = [&](int s) { return all.mid((s - 1) * 3, 3).join(QLatin1Char(' ')); };
    EXPECT_EQ(slot(5), QStringLiteral("100 360 ~"));
    EXPECT_EQ(slot(10), QStringLiteral("100 360 ~"));
    EXPECT_EQ(slot(11), QStringLiteral("310 360 ~"));
    EXPECT_EQ(slot(30), QStringLiteral("310 360 ~"));
    EXPECT_EQ(slot(31), QStringLiteral("370 360 ~"));
    EXPECT_EQ(slot(50), QStringLiteral("370 360 ~"));
}

TEST_F(Generation, FirstColumnOtherThanIdStaysEmptyAndIdKeepsTheTemplatesValue)
{
    makeTemplates({QStringLiteral("VALUES ('n', 42, 1, 'v'), ('m', 43, 1, 'w')")},
                  QStringLiteral("name TEXT(10), ID LONG, part SHORT, var_name TEXT(50)"));
    setSlots(1, {3});
    generate({1});
    EXPECT_EQ(generated(QStringLiteral("name, ID, var_name")),
              (QStringList{QStringLiteral("~|42|M1.S3.v"), QStringLiteral("~|43|M1.S3.w")}));
}

TEST_F(Generation, AutoNumberTemplateColumnGivesPlainNumbersFromTheRunningCounter)
{
    makeTemplates({QStringLiteral("(part, var_name) VALUES (1, 'a'), (1, 'b')")},
                  QStringLiteral("ID INTEGER PRIMARY KEY AUTOINCREMENT, part SHORT, var_name TEXT(50)"));
    EXPECT_EQ(db->tableDef(database::kDefsTable).fields.front(), (platform::FieldDef{QStringLiteral("ID"), 4, 4}));
    setSlots(1, {3, 4});
    generate({1});
    EXPECT_EQ(generated(QStringLiteral("ID")), (QStringList{QStringLiteral("1"), QStringLiteral("2"),
                                                            QStringLiteral("3"), QStringLiteral("4")}));
}

TEST_F(Generation, PartAfterVarNameIsReportedForBothSystems)
{
    makeTemplates({QStringLiteral("VALUES (1, NULL, 'Speed', 2)")},
                  QStringLiteral("ID COUNTER, offset_or_bitno SHORT, var_name TEXT(50), part SHORT"));
    setSlots(1, {3});
    generate({1});
    const QString line = QStringLiteral("Fehler in ServoView / ServoView_Config / CreateRecordSets (Nr. 94) :Invalid "
                                        "use of Null");
    EXPECT_EQ(inst.reports(), (QStringList{line, line}));
    // The record is still written, with the name that could be formed (none).
    EXPECT_EQ(generated(QStringLiteral("ID, offset_or_bitno, var_name, part")), QStringList{QStringLiteral("1|~||2")});
}

TEST_F(Generation, MachinesAboveFiveAndSlotsAboveFiftyAreReportedOnceEach)
{
    inst.context.project.ExistingMachines = {QString(), QStringLiteral("M1"), QStringLiteral("M2"), QStringLiteral("M3"),
                                             QStringLiteral("M4"), QStringLiteral("M5"), QStringLiteral("M6")};
    makeTemplates({QStringLiteral("(ID, part, var_name) VALUES (1, 1, 'a')")});
    QList<int> servos;
    for (int s = 1; s <= 50; ++s)
        servos << s;
    setSlots(1, servos);
    state->NumberOfServos[1] = 300; // reported once, not for each slot beyond 50
    generate({1, 2, 3, 4, 5, 6});
    const QString line = QStringLiteral("Fehler in ServoView / ServoView_Config / CreateRecordSets (Nr. 9) :Subscript "
                                        "out of range");
    EXPECT_EQ(inst.reports(), (QStringList{line, line}));
    EXPECT_EQ(generated(QStringLiteral("count(*), max(ID), max(var_name)")), QStringList{QStringLiteral("50|50|M1.S9.a")});
}

TEST_F(Generation, NothingIsGeneratedWithoutMachineListTargetOrTemplates)
{
    struct Row {
        const char* what;
        int reports;
    };
    const Row cases[] = {{"no machine list", 1}, {"no target", 1}, {"no templates", 0}, {"no template table", 1}};
    for (const Row& c : cases) {
        SCOPED_TRACE(c.what);
        inst.write(QStringLiteral("QELcfglog.txt"), {});
        inst.context.project.ExistingMachines = {QString(), QStringLiteral("M1")};
        makeTemplates({QStringLiteral("(ID, part, var_name) VALUES (1, 1, 'a')")});
        fixtures::makeDatabase(componentPath(), {QStringLiteral("CREATE TABLE PRESET_DEFS (ID LONG, var_name TEXT(50))"),
                                                 QStringLiteral("INSERT INTO PRESET_DEFS VALUES (1, 'M1.S4.a')")});
        setSlots(1, {4});
        naming.VWStudioMode = 1;
        const QString what = QString::fromUtf8(c.what);
        if (what == QLatin1String("no machine list"))
            inst.context.project.ExistingMachines.clear();
        else if (what == QLatin1String("no target"))
            db->deleteTableDef(database::kDefsTable);
        else if (what == QLatin1String("no templates"))
            db->execute(QStringLiteral("DELETE FROM Source_PRESET_DEFS"));
        else
            db->deleteTableDef(database::kTemplateTable);
        generate();
        EXPECT_EQ(inst.reports().size(), c.reports);
        if (db->hasTableDef(database::kDefsTable)) {
            EXPECT_TRUE(generated(QStringLiteral("ID")).isEmpty());
        }
        // Nothing generated, nothing renamed.
        EXPECT_EQ(rows(platform::Database(componentPath()), QStringLiteral("SELECT var_name FROM PRESET_DEFS")),
                  QStringList{QStringLiteral("M1.S4.a")});
        db.reset();
        QFile::remove(templatePath());
        QFile::remove(componentPath());
    }
}

TEST_F(Generation, ComponentNamesAreBroughtToTheWantedSystemOnTheWay)
{
    makeTemplates({kAbcTemplates});
    setSlots(1, {4});
    fixtures::makeDatabase(componentPath(),
                           {QStringLiteral("CREATE TABLE PRESET_DEFS (ID LONG, var_name TEXT(50), min DOUBLE)"),
                            QStringLiteral("INSERT INTO PRESET_DEFS VALUES (1, 'm1.s4.a', 10), (2, 'M1_S4_b', 20), "
                                           "(3, 'M1.S4.c', 30), (4, 'M2.S4.a', 40)")});
    naming.VWStudioMode = 1;
    generate({1});
    EXPECT_EQ(componentNames(), (QStringList{QStringLiteral("M1_S4_a"), QStringLiteral("M1_S4_b"),
                                             QStringLiteral("M1_S4_c"), QStringLiteral("M2.S4.a")}));
    EXPECT_EQ(generated(QStringLiteral("var_name")), (QStringList{QStringLiteral("M1_S4_a"), QStringLiteral("M1_S4_b"),
                                                                  QStringLiteral("M1_S4_c")}));
}

TEST_F(Generation, RecordNumberStopsAtTheSixteenBitLimitWithOneReport)
{
    // 656 templates in 50 slots would need 32800 numbers.
    QStringList values;
    for (int t = 1; t <= 656; ++t)
        values << QStringLiteral("(%1, 1)").arg(t);
    makeTemplates({QStringLiteral("(ID, part) VALUES ") + values.join(QLatin1Char(','))},
                  QStringLiteral("ID COUNTER, part SHORT"));
    QList<int> servos(50, 1);
    setSlots(1, servos);
    generate({1});
    EXPECT_EQ(inst.reports(),
              QStringList{QStringLiteral("Fehler in ServoView / ServoView_Config / CreateRecordSets (Nr. 6) :Overflow")});
    EXPECT_EQ(generated(QStringLiteral("count(*), count(DISTINCT ID), max(ID)")),
              QStringList{QStringLiteral("32767|32767|32767")});
}

TEST_F(Generation, BitNumberIsInTheNameLookedUpForRenaming)
{
    naming.VarNamePatterns[0][1] = QStringLiteral("###machine.###Var_Name");
    naming.VarNamePatterns[1][1] = QStringLiteral("###machine_###Var_Name");
    naming.VWStudioMode = 1;
    makeTemplates({QStringLiteral("(ID, part, offset_or_bitno, var_name) VALUES (1, 1, 4, 'Bit###text')")});
    setSlots(1, {7});
    fixtures::makeDatabase(componentPath(), {QStringLiteral("CREATE TABLE PRESET_DEFS (ID LONG, var_name TEXT(50))"),
                                             QStringLiteral("INSERT INTO PRESET_DEFS VALUES (1, 'M1.Bit5')")});
    generate({1});
    EXPECT_EQ(generated(QStringLiteral("var_name")), QStringList{QStringLiteral("M1_Bit5")});
    // The previous record is found under the name the new record carries.
    EXPECT_EQ(componentNames(), QStringList{QStringLiteral("M1_Bit5")});
}

namespace {

// The demo installation's INI files in a temporary installation.
class DemoGeneration : public Generation {
protected:
    DemoGeneration()
    {
        const QString demo = QStringLiteral(KALVIA_SOURCE_DIR "/demo/installation/");
        for (const char* file : {"parameter/Program.ini", "parameter/qelconfiguration.ini", "ServoView/ServoView.cfg"}) {
            QFile in(demo + QLatin1String(file));
            EXPECT_TRUE(in.open(QIODevice::ReadOnly)) << file;
            inst.write(QLatin1String(file), in.readAll());
        }
    }
};

} // namespace

TEST_F(DemoGeneration, DemoInstallationGetsOneSetPerConfiguredSlotOfItsServedMachines)
{
    environment::GetExistingMachines(inst.context, inst.path(QStringLiteral("parameter/qelconfiguration.ini")));
    ASSERT_EQ(inst.context.project.ExistingMachines,
              (QStringList{QString(), QStringLiteral("Filler"), QStringLiteral("Capper"), QStringLiteral("Labeller")}));
    // The editing state the window reads from the demo's Program.ini.
    setSlots(1, {3, 7, 12, 5});
    setSlots(2, {3, 12});
    // Labeller has slots here, but the .cfg does not serve it (ForMachine3=false).
    setSlots(3, {1});
    naming.VWStudioMode = 0;
    makeTemplates({QStringLiteral("(ID, part, var_name, text) VALUES (1, 1, 'Speed', 'Speed of ###Servo'), "
                                  "(2, 1, 'Torque', 'Torque')")});
    fixtures::makeDatabase(componentPath(), {QStringLiteral("CREATE TABLE PRESET_DEFS (ID LONG, var_name TEXT(50))"),
                                             QStringLiteral("INSERT INTO PRESET_DEFS VALUES (1, 'Capper_S12_Torque')")});
    createRecordSets();
    EXPECT_EQ(generated(QStringLiteral("ID, var_name")),
              (QStringList{QStringLiteral("1|Filler.S3.Speed"), QStringLiteral("2|Filler.S3.Torque"),
                           QStringLiteral("3|Filler.S7.Speed"), QStringLiteral("4|Filler.S7.Torque"),
                           QStringLiteral("5|Filler.S12.Speed"), QStringLiteral("6|Filler.S12.Torque"),
                           QStringLiteral("7|Filler.S5.Speed"), QStringLiteral("8|Filler.S5.Torque"),
                           QStringLiteral("9|Capper.S3.Speed"), QStringLiteral("10|Capper.S3.Torque"),
                           QStringLiteral("11|Capper.S12.Speed"), QStringLiteral("12|Capper.S12.Torque")}));
    EXPECT_EQ(componentNames(), QStringList{QStringLiteral("Capper.S12.Torque")});
    EXPECT_TRUE(inst.reports().isEmpty());
}

TEST_F(DemoGeneration, ServedMachinesComeFromTheForMachineKeysInAnyLetterCase)
{
    inst.writeIni(QStringLiteral("ServoView/ServoView.cfg"),
                  QStringLiteral("[Project]\nForMachine1=TRUE\nForMachine3=yes\nforMACHINE4=True\nForMachine5=false\n"));
    inst.context.project.ExistingMachines = {QString(), QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"),
                                             QStringLiteral("D"), QStringLiteral("E")};
    for (int m = 1; m <= 5; ++m)
        setSlots(m, {m});
    makeTemplates({QStringLiteral("(ID, part, var_name) VALUES (1, 1, 'v')")});
    createRecordSets();
    EXPECT_EQ(generated(QStringLiteral("var_name")), (QStringList{QStringLiteral("A.S1.v"), QStringLiteral("D.S4.v")}));
}
