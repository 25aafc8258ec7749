#include "database/componentdb.h"
#include "database/lookups.h"
#include "database/records.h"
#include "fixtures.h"

#include <QFile>

#include <gtest/gtest.h>

using database::ComponentDatabase;
using fixtures::rows;

TEST(ReplaceSearchItem, ReplacesTheFirstOccurrenceInAnyLetterCase)
{
    const struct {
        const char* source;
        const char* search;
        const char* replacement;
        const char* expected;
    } cases[] = {
        {"Servo###SERVO_x", "###Servo", "12", "Servo12_x"},
        {"###machine_###Machine_###MACHINE", "###machine", "M1", "M1_###Machine_###MACHINE"},
        {"no placeholder", "###Servo", "7", "no placeholder"},
        {"", "###Servo", "7", ""},
        {"", "", "7", ""},
        {"abc", "", "X", "Xabc"},
        {"##x###text", "###text", "5", "##x5"},
        {"###", "###text", "5", "###"},
        // Upper-casing letter by letter keeps positions where a capital is longer (ß → SS).
        {"Maß_###servo_ß", "###Servo", "3", "Maß_3_ß"},
        {"über###Var_name", "###var_NAME", "Speed", "überSpeed"},
        {"ÄBC", "äb", "x", "xC"},
    };
    support::Installation inst;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source);
        EXPECT_EQ(database::ReplaceSearchItem(inst.context, QString::fromUtf8(c.source), QString::fromUtf8(c.search),
                                              QString::fromUtf8(c.replacement)),
                  QString::fromUtf8(c.expected));
    }
}

TEST(ReplaceSearchItem, MatchBeyondTheSixteenBitPositionIsReported)
{
    fixtures::SilentInstallation inst;
    const QString fits = QString(32766, QLatin1Char('a')) + QStringLiteral("###Servo");
    EXPECT_EQ(database::ReplaceSearchItem(inst.context, fits, QStringLiteral("###servo"), QStringLiteral("1")),
              QString(32766, QLatin1Char('a')) + QStringLiteral("1"));
    EXPECT_TRUE(inst.reports().isEmpty());
    const QString beyond = QString(32767, QLatin1Char('a')) + QStringLiteral("###Servo");
    EXPECT_EQ(database::ReplaceSearchItem(inst.context, beyond, QStringLiteral("###Servo"), QStringLiteral("1")), beyond);
    EXPECT_EQ(inst.reports(),
              QStringList{QStringLiteral("Fehler in ServoView / ServoView_Config / ReplaceSearchItem (Nr. 6) :Overflow")});
}

namespace {

// A component database with a PRESET_DEFS of the given var_name values, open for the run.
class Renames : public ::testing::Test {
protected:
    QString path() const { return inst.path(QStringLiteral("ServoView/ServoView.mdb")); }
    void makeComponent(const QStringList& names, const QString& columns = QStringLiteral("ID LONG, var_name TEXT(100)"))
    {
        component.close();
        QFile::remove(path());
        platform::Database db = fixtures::makeDatabase(path(), {QStringLiteral("CREATE TABLE PRESET_DEFS (%1)").arg(columns)});
        for (int i = 0; i < names.size(); ++i) {
            platform::Statement insert(db, QStringLiteral("INSERT INTO PRESET_DEFS (ID, var_name) VALUES (?1, ?2)"));
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
    ComponentDatabase component;
};

} // namespace

TEST_F(Renames, RecordsInTheOtherFormGetTheWantedName)
{
    const QStringList before = {"M1.Servo7.Speed", "m1_servo7_speed", "M1.SERVO7.SPEED", "M1_Servo8_Speed"};
    // Studio form wanted: the VisiWin 32 names (any letter case) are renamed; a record that already
    // has the wanted form keeps even its letter case. And the other way round.
    makeComponent(before);
    rename(1, QStringLiteral("M1.Servo7.Speed"), QStringLiteral("M1_Servo7_Speed"));
    EXPECT_EQ(names(), (QStringList{"M1_Servo7_Speed", "m1_servo7_speed", "M1_Servo7_Speed", "M1_Servo8_Speed"}));
    makeComponent(before);
    rename(0, QStringLiteral("M1.Servo7.Speed"), QStringLiteral("M1_Servo7_Speed"));
    EXPECT_EQ(names(), (QStringList{"M1.Servo7.Speed", "M1.Servo7.Speed", "M1.SERVO7.SPEED", "M1_Servo8_Speed"}));
    // Equal forms rewrite the name in the given letter case.
    makeComponent({"SPEED", "Speed", "speed2"});
    rename(0, QStringLiteral("Speed"), QStringLiteral("Speed"));
    EXPECT_EQ(names(), (QStringList{"Speed", "Speed", "speed2"}));
    // Double quotes and statement text are names like any other.
    makeComponent({"A\"B", "a\"b\"))", "x"});
    rename(1, QStringLiteral("A\"b"), QStringLiteral("New\"Name"));
    rename(1, QStringLiteral("a\"B\"))"), QStringLiteral("'; DROP TABLE PRESET_DEFS; --"));
    EXPECT_EQ(names(), (QStringList{"New\"Name", "'; DROP TABLE PRESET_DEFS; --", "x"}));
    EXPECT_TRUE(inst.reports().isEmpty());
}

TEST_F(Renames, LaterRenamesSeeTheNamesEarlierOnesGave)
{
    makeComponent({"a", "B", "c", "A"});
    rename(1, QStringLiteral("A"), QStringLiteral("b"));  // both "a" and "A" join "B"
    rename(1, QStringLiteral("b"), QStringLiteral("C2")); // all three move on
    rename(1, QStringLiteral("a"), QStringLiteral("x"));  // no record is named "a" any more
    rename(1, QStringLiteral("C"), QStringLiteral("d"));
    EXPECT_EQ(names(), (QStringList{"C2", "C2", "d", "C2"}));
}

TEST_F(Renames, TableWithoutVarNameIsReportedOnceForTheRun)
{
    makeComponent({}, QStringLiteral("ID LONG, name TEXT(10)"));
    for (int i = 0; i < 5; ++i)
        rename(1, QStringLiteral("a%1").arg(i), QStringLiteral("b"));
    const QStringList reports = inst.reports();
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports[0].startsWith(QStringLiteral("Fehler in ServoView / SQLite / VarNameInQuelleErsetzen (Nr. 3001)")))
        << reports[0].toStdString();
}

TEST_F(Renames, RenamesAndTheCategoryColumnNeverChangeTheFile)
{
    makeComponent({"old"}, QStringLiteral("ID LONG, var_name TEXT(100), Categorie LONG"));
    const QByteArray before = inst.read(QStringLiteral("ServoView/ServoView.mdb"));
    rename(1, QStringLiteral("old"), QStringLiteral("new"));
    database::CategorieNachCategoryID(inst.context, component);
    EXPECT_EQ(names(), QStringList{"new"});
    component.close();
    EXPECT_EQ(inst.read(QStringLiteral("ServoView/ServoView.mdb")), before);
}

TEST_F(Renames, CategorieColumnIsRenamedInAnyLetterCase)
{
    const struct {
        const char* columns;
        const char* after; // empty: no PRESET_DEFS
        int reports;
    } cases[] = {
        {"ID LONG, Categorie LONG", "ID,category_id", 0},
        {"ID LONG, CATEGORIE LONG, x LONG", "ID,category_id,x", 0},
        {"ID LONG, category_id LONG", "ID,category_id", 0},
        {"ID LONG, categorie LONG, category_id LONG", "ID,categorie,category_id", 1}, // the new name is taken
        {"ID LONG, categories LONG", "ID,categories", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.columns);
        inst.write(QStringLiteral("QELcfglog.txt"), {});
        makeComponent({}, QLatin1String(c.columns));
        database::CategorieNachCategoryID(inst.context, component);
        QStringList columns;
        for (const platform::FieldDef& f : component.database().tableDef(QStringLiteral("PRESET_DEFS")).fields)
            columns << f.name;
        EXPECT_EQ(columns.join(QLatin1Char(',')), QLatin1String(c.after));
        EXPECT_EQ(inst.reports().size(), c.reports);
    }
    // Without PRESET_DEFS the rename is reported.
    inst.write(QStringLiteral("QELcfglog.txt"), {});
    component.close();
    QFile::remove(path());
    fixtures::makeDatabase(path(), {QStringLiteral("CREATE TABLE other (CATEGORIE LONG)")});
    component.open(path());
    database::CategorieNachCategoryID(inst.context, component);
    EXPECT_EQ(inst.reports(), QStringList{QStringLiteral("Fehler in ServoView / SQLite / CategorieNachCategoryID "
                                                         "(Nr. 3265) :Item not found in this collection.")});
}

TEST(Values, WholeNumbersConvertAsTheRunTimeDoes)
{
    const struct {
        QVariant value;
        int expected; // or the error number, negated
    } cases[] = {
        {QVariant(qint64(4)), 4},         {QVariant(2.5), 2},            {QVariant(3.5), 4},
        {QVariant(-2.5), -2},             {QVariant(QStringLiteral(" 7 ")), 7},
        {QVariant(qint64(32767)), 32767}, {QVariant(qint64(32768)), -6}, {QVariant(32767.5), -6},
        {QVariant(), -94},                {QVariant(QStringLiteral("abc")), -13},
        {QVariant(QString()), -13},       {QVariant(QByteArray("1")), -13},
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
