#include "database/lookups.h"
#include "fixtures.h"

#include <gtest/gtest.h>

// Also: a match beyond the 16-bit position is reported as an overflow and changes nothing.
TEST(ReplaceSearchItem, ReplacesTheFirstOccurrenceInAnyLetterCase)
{
    const QString a32766(32766, 'a');
    const struct { QString source, search, replacement, expected; } cases[] = {
        {"Servo###SERVO_x", "###Servo", "12", "Servo12_x"}, {"no placeholder", "###Servo", "7", "no placeholder"},
        {"###machine_###Machine_###MACHINE", "###machine", "M1", "M1_###Machine_###MACHINE"},
        {"", "###Servo", "7", ""}, {"", "", "7", ""}, {"abc", "", "X", "Xabc"},
        {"##x###text", "###text", "5", "##x5"}, {"###", "###text", "5", "###"},
        // Upper-casing letter by letter keeps positions where a capital is longer (ß → SS).
        {"Maß_###servo_ß", "###Servo", "3", "Maß_3_ß"}, {"über###Var_name", "###var_NAME", "Speed", "überSpeed"},
        {"ÄBC", "äb", "x", "xC"},
        {a32766 + "###Servo", "###servo", "1", a32766 + "1"},
        {a32766 + "a###Servo", "###Servo", "1", a32766 + "a###Servo"},
    };
    fixtures::SilentInstallation inst;
    for (const auto& c : cases)
        EXPECT_EQ(database::ReplaceSearchItem(inst.context, c.source, c.search, c.replacement), c.expected)
            << c.source.left(40).toStdString();
    EXPECT_EQ(inst.reports(), QStringList{"Fehler in ServoView / ServoView_Config / ReplaceSearchItem (Nr. 6) :Overflow"});
}

namespace {

// A component database with a table (PRESET_DEFS of ID and var_name) of the given var_name values, open for the run.
class Renames : public ::testing::Test {
protected:
    QString path() const { return inst.path("ServoView/ServoView.mdb"); }
    void makeComponent(const QStringList& names, const QString& table = u"PRESET_DEFS (ID LONG, var_name TEXT(100))"_s)
    {
        component.close();
        platform::Database db = fixtures::makeDatabase(path(), {"CREATE TABLE " + table});
        for (int i = 0; i < names.size(); ++i) {
            platform::Statement insert(db, "INSERT INTO PRESET_DEFS (ID, var_name) VALUES (?1, ?2)");
            insert.bind(1, i + 1);
            insert.bind(2, names[i]);
            insert.execute();
        }
        component.open(path());
    }
    void rename(int mode, const QString& vw32, const QString& studio)
    {
        naming.VWStudioMode = qint16(mode);
        database::VarNameInQuelleErsetzen(inst.context, component, naming, vw32, studio);
    }
    QStringList names() const { return fixtures::lookupNames(component, path()); }

    fixtures::SilentInstallation inst;
    database::NamingState naming;
    database::ComponentDatabase component;
};

} // namespace

TEST_F(Renames, RecordsInTheOtherFormGetTheWantedName)
{
    const QStringList mixed = {"M.S7.Speed", "m_s7_speed", "M.S7.SPEED", "M_S8_Speed"};
    // mode 1: the Studio form wanted.
    const struct { QStringList before; int mode; QString vw32, studio; QStringList after; } cases[] = {
        // The other form's names (any letter case) are renamed; a record that already has the
        // wanted form keeps even its letter case.
        {mixed, 1, "M.S7.Speed", "M_S7_Speed", {"M_S7_Speed", "m_s7_speed", "M_S7_Speed", "M_S8_Speed"}},
        {mixed, 0, "M.S7.Speed", "M_S7_Speed", {"M.S7.Speed", "M.S7.Speed", "M.S7.SPEED", "M_S8_Speed"}},
        // Equal forms rewrite the name in the given letter case.
        {{"SPEED", "Speed", "speed2"}, 0, "Speed", "Speed", {"Speed", "Speed", "speed2"}},
        // Double quotes and statement text are names like any other.
        {{"A\"B\"))", "x"}, 1, "a\"b\"))", "'; DROP TABLE PRESET_DEFS; --\"", {"'; DROP TABLE PRESET_DEFS; --\"", "x"}},
    };
    for (const auto& c : cases) {
        makeComponent(c.before);
        rename(c.mode, c.vw32, c.studio);
        EXPECT_EQ(names(), c.after);
    }
    EXPECT_TRUE(inst.reports().isEmpty());
}

TEST_F(Renames, LaterRenamesSeeTheNamesEarlierOnesGave)
{
    makeComponent({"a", "B", "c", "A"});
    rename(1, "A", "b");  // both "a" and "A" join "B"
    rename(1, "b", "C2"); // all three move on
    rename(1, "a", "x");  // no record is named "a" any more
    rename(1, "C", "d");
    EXPECT_EQ(names(), (QStringList{"C2", "C2", "d", "C2"}));
}

TEST_F(Renames, TableWithoutVarNameIsReportedOnceForTheRun)
{
    makeComponent({}, "PRESET_DEFS (ID LONG, name TEXT(10))");
    for (int i = 0; i < 5; ++i)
        rename(1, u"a%1"_s.arg(i), "b");
    const QStringList reports = inst.reports();
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports[0].startsWith("Fehler in ServoView / SQLite / VarNameInQuelleErsetzen (Nr. 3001)"))
        << reports[0].toStdString();
}

TEST_F(Renames, RenamesAndTheCategoryColumnNeverChangeTheFile)
{
    makeComponent({"old"}, "PRESET_DEFS (ID LONG, var_name TEXT(100), Categorie LONG)");
    const QByteArray before = inst.read("ServoView/ServoView.mdb");
    rename(1, "old", "new");
    database::CategorieNachCategoryID(inst.context, component);
    EXPECT_EQ(names(), QStringList{"new"});
    component.close();
    EXPECT_EQ(inst.read("ServoView/ServoView.mdb"), before);
}

// A missing table, and a table that has category_id already, are reported; the old column stays.
TEST_F(Renames, CategorieColumnIsRenamedInAnyLetterCase)
{
    // The table created, the columns of PRESET_DEFS afterwards and what the only report contains.
    const struct { const char *table, *after, *report; } cases[] = {
        {"PRESET_DEFS (ID LONG, Categorie LONG)", "ID,category_id", nullptr},
        {"PRESET_DEFS (ID LONG, CATEGORIE LONG, x LONG)", "ID,category_id,x", nullptr},
        {"PRESET_DEFS (ID LONG, category_id LONG)", "ID,category_id", nullptr},
        {"PRESET_DEFS (ID LONG, categorie LONG, category_id LONG)", "ID,categorie,category_id", "CategorieNachCategoryID"},
        {"PRESET_DEFS (ID LONG, categories LONG)", "ID,categories", nullptr},
        {"other (CATEGORIE LONG)", nullptr, "CategorieNachCategoryID (Nr. 3265) :Item not found in this collection."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.table);
        inst.clearReports();
        makeComponent({}, c.table);
        database::CategorieNachCategoryID(inst.context, component);
        EXPECT_EQ(rows(component.database(), "SELECT group_concat(name) FROM pragma_table_info('PRESET_DEFS')"),
                  QStringList{c.after ? c.after : "~"});
        const QStringList reports = inst.reports();
        EXPECT_EQ(reports.size(), c.report ? 1 : 0);
        EXPECT_TRUE(!c.report || reports.value(0).contains(c.report)) << reports.value(0).toStdString();
    }
}

TEST(Values, WholeNumbersConvertAsTheRunTimeDoes)
{
    const struct { QVariant value; int expected; /* or the error number, negated */ } cases[] = {
        {qint64(4), 4},         {2.5, 2},              {3.5, 4},          {-2.5, -2},           {u" 7 "_s, 7},
        {qint64(32767), 32767}, {qint64(32768), -6},   {32767.5, -6},     {QVariant(), -94},    {u"abc"_s, -13},
        {QString(), -13},       {QByteArray("1"), -13},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value.toString().toStdString());
        int got = 0;
        try {
            got = database::toWholeNumber(c.value);
        } catch (const environment::RunTimeError& e) {
            got = -e.number;
        }
        EXPECT_EQ(got, c.expected);
    }
}
