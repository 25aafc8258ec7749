#include "database/closingrun.h"
#include "fixtures.h"
#include "platform/jet/jetimport.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <memory>

// Closing runs on installations whose databases are the Jet files an existing installation has.

using fixtures::rows;

namespace {

const QString kFixtures = QStringLiteral(KALVIA_SOURCE_DIR "/tests/data/jet/installation/");
const QString kTemplate = QStringLiteral("ServoView/ServoView_Source.mdb");
const QString kComponent = QStringLiteral("ServoView/ServoView.mdb");

QByteArray fixture(const QString& name)
{
    QFile f(kFixtures + name);
    if (!f.open(QIODevice::ReadOnly))
        ADD_FAILURE() << "missing fixture " << name.toStdString();
    return f.readAll();
}

class JetRun : public ::testing::Test {
protected:
    JetRun()
    {
        inst.writeIni(QStringLiteral("parameter/qelconfiguration.ini"), QStringLiteral("[Common]\nNameM1=Filler\n"));
        inst.writeIni(QStringLiteral("parameter/Program.ini"), QStringLiteral("[Project]\nVWStudio=false\n"));
        inst.writeIni(QStringLiteral("ServoView/ServoView.cfg"),
                      QStringLiteral("[Project]\nForMachine1=true\nDataBaseAdditionalFields=\n"));
        inst.context.project.ProgramIniPath = inst.path(QStringLiteral("parameter/Program.ini"));
        inst.context.project.ExistingMachines = {QString(), QStringLiteral("Filler")};
        state->NumberOfServos[1] = 2;
        state->Servo[1][1] = 21;
        state->Servo[1][2] = 22;
    }
    database::ClosingRunOutcome run() { return database::WorkOnMDB(inst.context, *state); }
    QStringList component(const QString& sql) const { return rows(platform::Database(inst.path(kComponent)), sql); }
    QStringList files() const { return QDir(inst.path(QStringLiteral("ServoView"))).entryList(QDir::Files | QDir::Hidden); }

    fixtures::SilentInstallation inst;
    std::unique_ptr<environment::EditingState> state = std::make_unique<environment::EditingState>();
};

} // namespace

TEST_F(JetRun, JetDatabasesAreConvertedKeptAsJetAndGiveTheSameRegeneratedTable)
{
    for (const char* previous : {"Comp.mdb", "CompOld.mdb"}) {
        SCOPED_TRACE(previous);
        for (const QString& f : files())
            if (f.endsWith(QStringLiteral(".mdb")) || f.endsWith(QStringLiteral(".jet")))
                QFile::remove(inst.path(QStringLiteral("ServoView/") + f));
        const QByteArray templates = fixture(QStringLiteral("Comp_Source.mdb"));
        const QByteArray tuned = fixture(QLatin1String(previous));
        inst.write(kTemplate, templates);
        inst.write(kComponent, tuned);

        const database::ClosingRunOutcome outcome = run();
        EXPECT_EQ(inst.reports(), QStringList{});
        EXPECT_EQ(platform::databaseFormat(inst.path(kTemplate)), platform::DatabaseFormat::Sqlite);
        EXPECT_EQ(platform::databaseFormat(inst.path(kComponent)), platform::DatabaseFormat::Sqlite);
        EXPECT_EQ(inst.read(kTemplate + QStringLiteral(".jet")), templates);
        EXPECT_EQ(inst.read(kComponent + QStringLiteral(".jet")), tuned);
        EXPECT_EQ(files(), (QStringList{QStringLiteral("ServoView.cfg"), QStringLiteral("ServoView.mdb"),
                                        QStringLiteral("ServoView.mdb.jet"), QStringLiteral("ServoView_Source.mdb"),
                                        QStringLiteral("ServoView_Source.mdb.jet")}));
        // Text through the code page, the bit number in the text (placeholders stay where there is
        // none), and the tuned limits: the one
        // without bit number is not taken over, the one in the other naming form is.
        EXPECT_EQ(component(QStringLiteral("SELECT var_name, offset_or_bitno, text, abs_min, abs_max, min, max, pass "
                                           "FROM PRESET_DEFS ORDER BY rowid")),
                  (QStringList{
                      QStringLiteral("Filler.Servo21.Speed|~|Speed servo ###Servo on Filler|0|3000|0|3000|1"),
                      QStringLiteral("Filler.Servo21.Status|4|Bit 5 of servo 21|0.1|0.95|0.5|0.9|7"),
                      QStringLiteral("Filler.Drive21.Torque|~|Torque|0|100|0|100|1"),
                      QStringLiteral("Filler.Drive21.Brake|7|Bremse 8 (Öl, Maß)|0.05|0.5|0.15|0.45|4"),
                      QStringLiteral("Filler.Servo22.Speed|~|Speed servo ###Servo on Filler|0|3000|0|3000|1"),
                      QStringLiteral("Filler.Servo22.Status|4|Bit 5 of servo 22|0.2|0.7|0.3|0.6|5"),
                      QStringLiteral("Filler.Drive22.Torque|~|Torque|0|100|0|100|1"),
                      QStringLiteral("Filler.Drive22.Brake|7|Bremse 8 (Öl, Maß)|0|1|0|1|3"),
                  }));
        EXPECT_EQ(outcome.limitsTakenOver, 3);
        // The columns keep their Jet types and sizes.
        const platform::TableDef def = platform::Database(inst.path(kComponent)).tableDef(QStringLiteral("PRESET_DEFS"));
        ASSERT_EQ(def.fields.size(), 15u);
        EXPECT_EQ(def.fields[5], (platform::FieldDef{QStringLiteral("var_name"), platform::dbText, 255}));
        EXPECT_EQ(def.fields[10], (platform::FieldDef{QStringLiteral("abs_min"), platform::dbDouble, 8}));
    }
}

TEST_F(JetRun, AJetComponentDatabaseWithoutPresetDefsGivesTheTemplateValues)
{
    inst.write(kTemplate, fixture(QStringLiteral("Comp_Source.mdb")));
    inst.write(kComponent, fixture(QStringLiteral("NoPresetDefs.mdb")));
    EXPECT_EQ(run().limitsTakenOver, 0);
    EXPECT_EQ(component(QStringLiteral("SELECT count(*), sum(pass) FROM PRESET_DEFS")), QStringList{QStringLiteral("8|14")});
    EXPECT_EQ(inst.read(kComponent + QStringLiteral(".jet")), fixture(QStringLiteral("NoPresetDefs.mdb")));
}

TEST_F(JetRun, BadFilesAreRefusedNamingThemAndLeftUntouched)
{
    const QByteArray jet = fixture(QStringLiteral("Comp.mdb"));
    QByteArray claims(8192, '\x5a');
    claims.replace(0, 20, QByteArray("\x00\x01\x00\x00Standard Jet DB\x00", 20));
    claims[0x14] = 1;
    QByteArray ace = jet;
    ace.replace(4, 15, "Standard ACE DB");
    const struct {
        const char* why;
        QByteArray bytes;
    } bad[] = {{"empty", QByteArray()},
               {"truncated", jet.left(3000)},
               {"claims to be Jet", claims},
               {"ACE", ace}};
    const QByteArray templates = fixture(QStringLiteral("Comp_Source.mdb"));
    for (const auto& b : bad) {
        SCOPED_TRACE(b.why);
        // As the template: nothing is generated and the component database stays as it is.
        for (const QString& f : files())
            if (f != QStringLiteral("ServoView.cfg"))
                QFile::remove(inst.path(QStringLiteral("ServoView/") + f));
        QFile::remove(inst.path(QStringLiteral("QELcfglog.txt")));
        inst.write(kTemplate, b.bytes);
        inst.write(kComponent, jet);
        run();
        EXPECT_EQ(inst.read(kTemplate), b.bytes);
        EXPECT_EQ(inst.read(kComponent), jet);
        QStringList log = inst.reports();
        ASSERT_FALSE(log.isEmpty());
        EXPECT_TRUE(log[0].contains(inst.path(kTemplate))) << log[0].toStdString();
        EXPECT_EQ(files(), (QStringList{QStringLiteral("ServoView.cfg"), QStringLiteral("ServoView.mdb"),
                                        QStringLiteral("ServoView_Source.mdb")}));

        // As the component database: reported; the template is regenerated, the bad file is not
        // replaced.
        QFile::remove(inst.path(QStringLiteral("QELcfglog.txt")));
        inst.write(kTemplate, templates);
        inst.write(kComponent, b.bytes);
        run();
        EXPECT_EQ(inst.read(kComponent), b.bytes);
        log = inst.reports();
        ASSERT_FALSE(log.isEmpty());
        EXPECT_TRUE(log[0].contains(inst.path(kComponent))) << log[0].toStdString();
        EXPECT_EQ(rows(platform::Database(inst.path(kTemplate)), QStringLiteral("SELECT count(*) FROM PRESET_DEFS")),
                  QStringList{QStringLiteral("8")});
    }
}
