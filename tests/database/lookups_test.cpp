#include "database/componentdb.h"
#include "database/lookups.h"
#include "database/records.h"
#include "fixtures.h"

#include <gtest/gtest.h>


using database::ComponentDatabase;
using database::NamingState;
using database::ReplaceSearchItem;
using fixtures::rows;

namespace {

QString s(const char* text)
{
    return QString::fromUtf8(text);
}

} // namespace

TEST(ReplaceSearchItem, ReplacesTheFirstOccurrenceFoundInAnyLetterCase)
{
    struct Row {
        const char* source;
        const char* search;
        const char* replacement;
        const char* expected;
    };
    const Row rows[] = {
        {"Servo###SERVO_x", "###Servo", "12", "Servo12_x"},
        {"###machine_###Machine_###MACHINE", "###machine", "M1", "M1_###Machine_###MACHINE"},
        {"no placeholder", "###Servo", "7", "no placeholder"},
        {"", "###Servo", "7", ""},
        {"", "", "7", ""},
        {"abc", "", "X", "Xabc"},
        {"##x###text", "###text", "5", "##x5"},
        {"Bit ###TEXT!", "###text", "", "Bit !"},
        {"###", "###text", "5", "###"},
        // Upper-casing letter by letter keeps positions where a capital is longer (ß → SS).
        {"Maß_###servo_ß", "###Servo", "3", "Maß_3_ß"},
        {"über###Var_name", "###var_NAME", "Speed", "überSpeed"},
        {"ÄBC", "äb", "x", "xC"},
    };
    support::Installation inst;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.source);
        EXPECT_EQ(ReplaceSearchItem(inst.context, s(r.source), s(r.search), s(r.replacement)), s(r.expected));
    }
    EXPECT_TRUE(inst.messages.boxes.empty());
}

TEST(ReplaceSearchItem, MatchBeyondTheSixteenBitPositionIsReportedAndChangesNothing)
{
    fixtures::SilentInstallation inst;
    const QString fits = QString(32766, QLatin1Char('a')) + QStringLiteral("###Servo");
    EXPECT_EQ(ReplaceSearchItem(inst.context, fits, QStringLiteral("###servo"), QStringLiteral("1")),
              QString(32766, QLatin1Char('a')) + QStringLiteral("1"));
    EXPECT_TRUE(inst.reports().isEmpty());

    const QString beyond = QString(32767, QLatin1Char('a')) + QStringLiteral("###Servo");
    EXPECT_EQ(ReplaceSearchItem(inst.context, beyond, QStringLiteral("###Servo"), QStringLiteral("1")), beyond);
    EXPECT_EQ(inst.reports(), QStringList{QStringLiteral("Fehler in ServoView / ServoView_Config / "
                                                         "ReplaceSearchItem (Nr. 6) :Overflow")});
}

namespace {

// A component database with a PRESET_DEFS of the given var_name values (ID 1, 2, ...).
class Renames : public ::testing::Test {
protected:
    QString path() const { return inst.path(QStringLiteral("ServoView/ServoView.mdb")); }

    void makeComponent(const QStringList& names, const QString& columns = QStringLiteral(
                                                      "ID LONG, machine_type TEXT(50), var_name TEXT(100), min DOUBLE"))
    {
        platform::Database db = fixtures::makeDatabase(
            path(), {QStringLiteral("CREATE TABLE PRESET_DEFS (%1)").arg(columns)});
        if (names.isEmpty())
            return;
        platform::Statement insert(db, QStringLiteral("INSERT INTO PRESET_DEFS (ID, var_name) VALUES (?1, ?2)"));
        for (int i = 0; i < names.size(); ++i) {
            insert.bind(1, i + 1);
            insert.bind(2, names[i]);
            insert.execute();
        }
    }
    QStringList storedNames() const
    {
        return rows(platform::Database(path()), QStringLiteral("SELECT var_name FROM PRESET_DEFS ORDER BY ID"));
    }
    // The names of the records (in rowid order) as the run's renames left them.
    QStringList lookupNames(const ComponentDatabase& component) const
    {
        QStringList names;
        platform::Statement st(platform::Database(path()), QStringLiteral("SELECT rowid, var_name FROM PRESET_DEFS ORDER BY rowid"));
        while (st.step()) {
            const QString* renamed = component.currentName(st.value(0).toLongLong());
            names << (renamed ? *renamed : st.value(1).toString());
        }
        return names;
    }
    void rename(ComponentDatabase& component, int mode, const QString& vw32, const QString& studio)
    {
        naming.VWStudioMode = qint16(mode);
        database::VarNameInQuelleErsetzen(inst.context, component, naming, vw32, studio);
    }

    fixtures::SilentInstallation inst;
    NamingState naming;
};

} // namespace

TEST_F(Renames, RecordsInTheOtherFormGetTheWantedNameInBothDirections)
{
    const QStringList before = {QStringLiteral("M1.Servo7.Speed"), QStringLiteral("m1_servo7_speed"),
                                QStringLiteral("M1.SERVO7.SPEED"), QStringLiteral("M1_Servo8_Speed")};
    struct Row {
        int mode;
        QStringList after;
    };
    const Row cases[] = {
        // Studio form wanted: the VisiWin 32 names (any letter case) are renamed; the record that
        // already has the Studio form keeps even its letter case.
        {1, {QStringLiteral("M1_Servo7_Speed"), QStringLiteral("m1_servo7_speed"), QStringLiteral("M1_Servo7_Speed"),
             QStringLiteral("M1_Servo8_Speed")}},
        {0, {QStringLiteral("M1.Servo7.Speed"), QStringLiteral("M1.Servo7.Speed"), QStringLiteral("M1.SERVO7.SPEED"),
             QStringLiteral("M1_Servo8_Speed")}},
    };
    for (const Row& c : cases) {
        SCOPED_TRACE(c.mode);
        makeComponent(before);
        platform::Database(path()).execute(QStringLiteral("DELETE FROM PRESET_DEFS WHERE ID > 4"));
        ComponentDatabase component;
        component.open(path());
        rename(component, c.mode, QStringLiteral("M1.Servo7.Speed"), QStringLiteral("M1_Servo7_Speed"));
        EXPECT_EQ(lookupNames(component), c.after);
        component.close();
        platform::Database(path()).execute(QStringLiteral("DROP TABLE PRESET_DEFS"));
    }
    EXPECT_TRUE(inst.reports().isEmpty());
}

TEST_F(Renames, NamesWithDoubleQuotesAreMatchedLikeAnyOther)
{
    makeComponent({QStringLiteral("A\"B"), QStringLiteral("a\"b\"))"), QStringLiteral("x")});
    ComponentDatabase component;
    component.open(path());
    rename(component, 1, QStringLiteral("A\"b"), QStringLiteral("New\"Name"));
    rename(component, 1, QStringLiteral("a\"B\"))"), QStringLiteral("'; DROP TABLE PRESET_DEFS; --"));
    EXPECT_EQ(lookupNames(component), (QStringList{QStringLiteral("New\"Name"), QStringLiteral("'; DROP TABLE PRESET_DEFS; --"),
                                          QStringLiteral("x")}));
    EXPECT_TRUE(inst.reports().isEmpty());
}

TEST_F(Renames, EqualFormsRewriteTheNameInTheGivenLetterCase)
{
    makeComponent({QStringLiteral("SPEED"), QStringLiteral("Speed"), QStringLiteral("speed2")});
    ComponentDatabase component;
    component.open(path());
    rename(component, 0, QStringLiteral("Speed"), QStringLiteral("Speed"));
    EXPECT_EQ(lookupNames(component), (QStringList{QStringLiteral("Speed"), QStringLiteral("Speed"), QStringLiteral("speed2")}));
}

TEST_F(Renames, LaterRenamesSeeTheNamesEarlierOnesGave)
{
    makeComponent({QStringLiteral("a"), QStringLiteral("B"), QStringLiteral("c"), QStringLiteral("A")});
    ComponentDatabase component;
    component.open(path());
    rename(component, 1, QStringLiteral("A"), QStringLiteral("b"));  // both "a" and "A" join "B"
    rename(component, 1, QStringLiteral("b"), QStringLiteral("C2")); // all three move on
    rename(component, 1, QStringLiteral("a"), QStringLiteral("x"));  // no record is named "a" any more
    rename(component, 1, QStringLiteral("c2"), QStringLiteral("C2"));
    EXPECT_EQ(lookupNames(component),
              (QStringList{QStringLiteral("C2"), QStringLiteral("C2"), QStringLiteral("c"), QStringLiteral("C2")}));
    rename(component, 1, QStringLiteral("C"), QStringLiteral("d"));
    EXPECT_EQ(lookupNames(component),
              (QStringList{QStringLiteral("C2"), QStringLiteral("C2"), QStringLiteral("d"), QStringLiteral("C2")}));
}

TEST_F(Renames, WithoutComponentDatabaseNothingHappensAndNothingIsReported)
{
    ComponentDatabase component;
    component.open(path()); // no file there
    EXPECT_FALSE(component.isOpen());
    rename(component, 1, QStringLiteral("a"), QStringLiteral("b"));
    database::CategorieNachCategoryID(inst.context, component);
    EXPECT_FALSE(inst.exists(QStringLiteral("ServoView/ServoView.mdb")));
    EXPECT_TRUE(inst.reports().isEmpty());
}

TEST_F(Renames, AComponentTableWithoutVarNameIsReportedOnceForTheWholeRun)
{
    makeComponent({}, QStringLiteral("ID LONG, name TEXT(10)"));
    ComponentDatabase component;
    component.open(path());
    for (int i = 0; i < 5; ++i)
        rename(component, 1, QStringLiteral("a%1").arg(i), QStringLiteral("b"));
    const QStringList reports = inst.reports();
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports[0].startsWith(QStringLiteral("Fehler in ServoView / SQLite / VarNameInQuelleErsetzen (Nr. 3001)")))
        << reports[0].toStdString();
}

TEST_F(Renames, RenamesAndTheCategoryColumnNeverChangeTheFile)
{
    makeComponent({QStringLiteral("old")}, QStringLiteral("ID LONG, var_name TEXT(100), Categorie LONG"));
    const QByteArray before = inst.read(QStringLiteral("ServoView/ServoView.mdb"));
    {
        ComponentDatabase component;
        component.open(path());
        rename(component, 1, QStringLiteral("old"), QStringLiteral("new"));
        database::CategorieNachCategoryID(inst.context, component);
        EXPECT_EQ(lookupNames(component), QStringList{QStringLiteral("new")});
    }
    EXPECT_EQ(inst.read(QStringLiteral("ServoView/ServoView.mdb")), before);
    EXPECT_EQ(storedNames(), QStringList{QStringLiteral("old")});
}

TEST_F(Renames, CategorieColumnIsRenamedInAnyLetterCaseOnce)
{
    struct Row {
        const char* columns;
        const char* after;
        int reports;
    };
    const Row cases[] = {
        {"ID LONG, Categorie LONG", "ID,category_id", 0},
        {"ID LONG, CATEGORIE LONG, x LONG", "ID,category_id,x", 0},
        {"ID LONG, category_id LONG", "ID,category_id", 0},
        // The new name is taken: reported, and the old column stays.
        {"ID LONG, categorie LONG, category_id LONG", "ID,categorie,category_id", 1},
        {"ID LONG, categories LONG", "ID,categories", 0},
    };
    for (const Row& c : cases) {
        SCOPED_TRACE(c.columns);
        QFile::remove(path());
        inst.write(QStringLiteral("QELcfglog.txt"), {});
        fixtures::makeDatabase(path(), {QStringLiteral("CREATE TABLE PRESET_DEFS (%1)").arg(QLatin1String(c.columns))});
        ComponentDatabase component;
        component.open(path());
        database::CategorieNachCategoryID(inst.context, component);
        QStringList names;
        for (const platform::FieldDef& f : component.database().tableDef(QStringLiteral("PRESET_DEFS")).fields)
            names << f.name;
        EXPECT_EQ(names.join(QLatin1Char(',')), QLatin1String(c.after));
        EXPECT_EQ(inst.reports().size(), c.reports);
    }
}

TEST_F(Renames, CategorieRenameWithoutPresetDefsIsReported)
{
    fixtures::makeDatabase(path(), {QStringLiteral("CREATE TABLE other (CATEGORIE LONG)")});
    ComponentDatabase component;
    component.open(path());
    database::CategorieNachCategoryID(inst.context, component);
    EXPECT_EQ(inst.reports(), QStringList{QStringLiteral("Fehler in ServoView / SQLite / CategorieNachCategoryID "
                                                         "(Nr. 3265) :Item not found in this collection.")});
}

TEST(Values, WholeNumbersConvertAsTheRunTimeDoes)
{
    struct Row {
        QVariant value;
        int expected; // or the error number, negated
    };
    const Row cases[] = {
        {QVariant(qint64(4)), 4},           {QVariant(2.5), 2},           {QVariant(3.5), 4},
        {QVariant(-2.5), -2},               {QVariant(QStringLiteral(" 7 ")), 7},
        {QVariant(qint64(32767)), 32767},   {QVariant(qint64(32768)), -6}, {QVariant(32767.5), -6},
        {QVariant(), -94},                  {QVariant(QStringLiteral("abc")), -13},
        {QVariant(QString()), -13},         {QVariant(QByteArray("1")), -13},
    };
    for (const Row& c : cases) {
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
