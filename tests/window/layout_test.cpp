#include "support/installation.h"
#include "window/buttonart.h"
#include "window/colours.h"
#include "window/kalvia.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>

#include <gtest/gtest.h>

#include <map>
#include <set>

using texts::ControlKind;

namespace {

QRect twips(int left, int top, int width, int height)
{
    return {left / 15, top / 15, width / 15, height / 15};
}

QString label(const texts::Control& c)
{
    return c.index >= 0 ? QStringLiteral("%1(%2)").arg(c.name).arg(c.index) : c.name;
}

// "Name(from)" .. "Name(to)", as label() writes array members.
std::set<QString> members(const char* name, int from, int to)
{
    std::set<QString> names;
    for (int i = from; i <= to; ++i)
        names.insert(QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(i));
    return names;
}

std::set<QString> operator+(std::set<QString> a, const std::set<QString>& b)
{
    a.insert(b.begin(), b.end());
    return a;
}

class Layout : public ::testing::Test {
protected:
    const texts::Control& entry(const QString& name, int index = -1)
    {
        const texts::Control* c = w.control(name, index);
        if (!c)
            throw std::runtime_error("no control " + name.toStdString());
        return *c;
    }

    support::Installation inst;
    window::Kalvia w{inst.context};
};

} // namespace

TEST_F(Layout, StartsWithEveryRowDisabledOkDisabledAndLegendTicked)
{
    w.show();
    for (int s = 1; s <= 50; ++s) {
        SCOPED_TRACE(s);
        EXPECT_FALSE(w.ComboServo[s]->isEnabled());
        EXPECT_FALSE(w.Check2ndDiagPage[s]->isEnabled());
        EXPECT_FALSE(w.CheckZusatz[s]->isEnabled());
        EXPECT_FALSE(w.Check2ndDiagPage[s]->isChecked());
        EXPECT_FALSE(w.CheckZusatz[s]->isChecked());
        EXPECT_TRUE(w.ComboServo[s]->currentText().isEmpty());
        EXPECT_EQ(w.LabelBez[s]->text(), QString::number(s));
    }
    EXPECT_FALSE(w.CommandOK->isEnabled());
    EXPECT_TRUE(w.CommandCancel->isEnabled());
    EXPECT_TRUE(w.CheckZusatzKomm->isChecked());
    EXPECT_TRUE(w.Check2ndDiagPageKomm->isChecked());
    EXPECT_FALSE(w.MitFehler->isChecked());
    EXPECT_FALSE(w.MitVorauswahl->isChecked());
    EXPECT_FALSE(w.PictureServo->isVisible());
    EXPECT_FALSE(w.Label1->isVisible());
    EXPECT_FALSE(w.Label2->isVisible());
    EXPECT_EQ(w.TabStripMachine->count(), 1);
    EXPECT_EQ(w.size(), QSize(792, 573));
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Base QELCFG-Erweiterung"));
    // The three buttons are pictures without a caption.
    for (QPushButton* b : {w.CommandQuest, w.CommandOK, w.CommandCancel}) {
        EXPECT_TRUE(b->text().isEmpty());
        EXPECT_FALSE(b->icon().isNull());
    }
}

TEST_F(Layout, SlotCellsSitInTheirRowAndColumn)
{
    // slot, then Left/Top in twips of LabelBez, ComboServo, Check2ndDiagPage, CheckZusatz
    const struct {
        int slot;
        QPoint label, combo, diag, extra;
    } cells[] = {
        {1, {330, 435}, {600, 345}, {330, 705}, {870, 705}},
        {4, {3645, 435}, {3915, 345}, {3645, 705}, {4185, 705}}, // column 3 of the first row: no exception
        {14, {3615, 1065}, {3915, 975}, {3645, 1335}, {4185, 1335}},
        {37, {6975, 2325}, {7245, 2235}, {6975, 2595}, {7515, 2595}},
        {44, {3615, 2955}, {3915, 2865}, {3645, 3225}, {4185, 3225}},
        {50, {10305, 2955}, {10605, 2865}, {10305, 3225}, {10845, 3225}},
    };
    for (const auto& c : cells) {
        SCOPED_TRACE(c.slot);
        EXPECT_EQ(w.LabelBez[c.slot]->geometry(), twips(c.label.x(), c.label.y(), 270, 225));
        EXPECT_EQ(w.ComboServo[c.slot]->geometry(), twips(c.combo.x(), c.combo.y(), 750, 360));
        EXPECT_EQ(w.Check2ndDiagPage[c.slot]->geometry(), twips(c.diag.x(), c.diag.y(), 480, 240));
        EXPECT_EQ(w.CheckZusatz[c.slot]->geometry(), twips(c.extra.x(), c.extra.y(), 480, 240));
    }
    for (int s = 1; s <= 50; ++s) {
        for (QWidget* cell : std::initializer_list<QWidget*>{w.LabelBez[s], w.ComboServo[s], w.Check2ndDiagPage[s],
                                                              w.CheckZusatz[s]}) {
            EXPECT_EQ(cell->parentWidget(), w.FrameInputs) << s;
        }
    }
    // No two controls of the grid overlap.
    std::vector<QWidget*> grid;
    for (int s = 1; s <= 50; ++s)
        grid.insert(grid.end(), {w.LabelBez[s], w.ComboServo[s], w.Check2ndDiagPage[s], w.CheckZusatz[s]});
    for (size_t i = 0; i < grid.size(); ++i)
        for (size_t j = i + 1; j < grid.size(); ++j)
            EXPECT_FALSE(grid[i]->geometry().intersects(grid[j]->geometry()))
                << grid[i]->objectName().toStdString() << " " << grid[j]->objectName().toStdString();
}

TEST_F(Layout, ControlsOutsideTheGridSitInTheirContainers)
{
    const struct {
        const char* name;
        int index;
        QWidget* container;
        QRect geometry;
    } table[] = {
        {"TabStripMachine", -1, &w, twips(-30, 390, 11880, 7260)},
        // Inside a picture box positions count from inside its 2-pixel border.
        {"LabelServoPic", -1, w.ServoPic, twips(0, 0, 1815, 255).translated(2, 2)},
        {"ServoIm", -1, w.ServoPic, twips(0, 0, 5895, 2625).translated(2, 2)},
        {"LabelPictureServo", -1, w.PictureServo, twips(30, 90, 1815, 255).translated(2, 2)},
        {"LabelSeite", 0, w.FrameSeitenAnzahl, twips(120, 195, 3000, 300)},
        {"ComboNrServos", -1, w.FrameSeitenAnzahl, twips(4830, 150, 615, 420)},
        {"MitVorauswahl", -1, w.FrameBobbinChange, twips(120, 600, 5325, 390)},
        {"Check2ndDiagPageKomm", -1, w.FrameInputs, twips(285, 3615, 5100, 270)},
        {"CommandQuest", -1, &w, twips(7350, 7710, 975, 855)},
        {"PictureServo", -1, &w, twips(10650, 7035, 11175, 7215)},
        {"Label2", -1, &w, twips(885, 8160, 780, 270)},
        {"LabelBez", 0, &w, twips(0, 1890, 270, 225)},
        {"LabelBez", 52, &w, twips(0, 630, 270, 225)},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(std::string(row.name) + "(" + std::to_string(row.index) + ")");
        const texts::Control& c = entry(QString::fromLatin1(row.name), row.index);
        EXPECT_EQ(c.widget->parentWidget(), row.container);
        EXPECT_EQ(c.widget->geometry(), row.geometry);
    }
    EXPECT_EQ(w.LabelBez[55]->text(), QStringLiteral("37"));
    EXPECT_EQ(w.LabelBez[53], nullptr);
    // The slot labels on the window lie beneath the tab strip and the slot frame, out of sight.
    w.show();
    for (int i : {0, 51, 52, 54, 55, 56}) {
        QWidget* seen = w.childAt(w.LabelBez[i]->geometry().center());
        EXPECT_TRUE(seen == w.TabStripMachine || seen == w.FrameInputs) << i;
    }
}

TEST_F(Layout, GridLinesFrameTheCells)
{
    const struct {
        QFrame* line;
        QPoint from, to; // twips
        int width;       // pixels
    } lines[] = {
        {w.LineW[5], {270, 330}, {11430, 330}, 2}, {w.LineW[3], {285, 2850}, {11445, 2850}, 1},
        {w.LineS[10], {11445, 330}, {11445, 3480}, 2}, {w.LineS[1], {1395, 330}, {1395, 3480}, 1},
    };
    for (const auto& l : lines) {
        SCOPED_TRACE(l.line->objectName().toStdString());
        const QRect g = l.line->geometry();
        const bool horizontal = l.from.y() == l.to.y();
        EXPECT_EQ(horizontal ? g.height() : g.width(), l.width);
        EXPECT_TRUE(g.contains(QPoint(l.from.x() / 15, l.from.y() / 15)));
        EXPECT_TRUE(g.contains(QPoint(l.to.x() / 15, l.to.y() / 15)));
        EXPECT_EQ(l.line->parentWidget(), w.FrameInputs);
    }
    // Every grid line runs between two rows or columns of cells, never through a control.
    for (int s = 1; s <= 50; ++s)
        for (QFrame* line : w.LineW)
            EXPECT_FALSE(line->geometry().intersects(w.ComboServo[s]->geometry())) << s;
}

TEST_F(Layout, RegistryCountsControlsPerKindAndArray)
{
    const texts::ControlRegistry& all = w.controls();
    EXPECT_EQ(all.size(), 244u);

    std::map<ControlKind, int> perKind;
    std::map<QString, std::set<int>> perArray;
    std::set<QString> single;
    std::set<QWidget*> widgets;
    for (const texts::Control& c : all) {
        ++perKind[c.kind];
        EXPECT_TRUE(widgets.insert(c.widget).second) << label(c).toStdString();
        EXPECT_EQ(c.widget->objectName(), label(c));
        EXPECT_EQ(c.widget->window(), &w);
        if (c.isArrayMember()) {
            EXPECT_TRUE(perArray[c.name].insert(c.index).second) << label(c).toStdString();
        } else {
            EXPECT_TRUE(single.insert(c.name).second) << label(c).toStdString();
        }
    }
    EXPECT_EQ(perKind[ControlKind::Label], 62);
    EXPECT_EQ(perKind[ControlKind::CommandButton], 3);
    EXPECT_EQ(perKind[ControlKind::CheckBox], 104);
    EXPECT_EQ(perKind[ControlKind::ComboBox], 51);
    EXPECT_EQ(perKind[ControlKind::Frame], 3);
    EXPECT_EQ(perKind[ControlKind::PictureBox], 2);
    EXPECT_EQ(perKind[ControlKind::Image], 1);
    EXPECT_EQ(perKind[ControlKind::Line], 17);
    EXPECT_EQ(perKind[ControlKind::TabStrip], 1);

    std::set<int> slotNumbers;
    for (int s = 1; s <= 50; ++s)
        slotNumbers.insert(s);
    std::set<int> labels = slotNumbers;
    labels.insert({0, 51, 52, 54, 55, 56});
    EXPECT_EQ(perArray[QStringLiteral("LabelBez")], labels);
    EXPECT_EQ(perArray[QStringLiteral("ComboServo")], slotNumbers);
    EXPECT_EQ(perArray[QStringLiteral("Check2ndDiagPage")], slotNumbers);
    EXPECT_EQ(perArray[QStringLiteral("CheckZusatz")], slotNumbers);
    EXPECT_EQ(perArray[QStringLiteral("LineW")], (std::set<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(perArray[QStringLiteral("LineS")], (std::set<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    // An array of one member is still an array: its key carries the index.
    EXPECT_EQ(perArray[QStringLiteral("LabelSeite")], std::set<int>{0});
    EXPECT_EQ(perArray.size(), 7u);
    // No control outside an array shares its name with an array.
    for (const QString& name : single)
        EXPECT_EQ(perArray.count(name), 0u) << name.toStdString();

    // Design order: the header first, the slot grid array by array, the lines, the stray labels last.
    EXPECT_EQ(label(all.front()), QStringLiteral("Header"));
    EXPECT_EQ(label(all[21]), QStringLiteral("LabelBez(1)"));
    EXPECT_EQ(label(all[71]), QStringLiteral("ComboServo(1)"));
    EXPECT_EQ(label(all[221]), QStringLiteral("LineW(0)"));
    EXPECT_EQ(label(all.back()), QStringLiteral("LabelBez(56)"));
}

TEST_F(Layout, TagsAndHelpNumbers)
{
    std::set<QString> tagged;
    std::map<int, std::set<QString>> byHelp;
    for (const texts::Control& c : w.controls()) {
        EXPECT_TRUE(c.tag.isEmpty() || c.tag == QStringLiteral("NoTTT")) << label(c).toStdString();
        if (!c.tag.isEmpty())
            tagged.insert(label(c));
        EXPECT_GE(c.helpNumber, 0);
        EXPECT_LE(c.helpNumber, 100);
        if (c.kind == ControlKind::Line) {
            EXPECT_EQ(c.helpNumber, 0) << label(c).toStdString();
        }
        byHelp[c.helpNumber].insert(label(c));
    }

    EXPECT_EQ(tagged, (std::set<QString>{QStringLiteral("TabStripMachine"), QStringLiteral("FrameInputs"),
                                         QStringLiteral("CheckZusatzKomm"), QStringLiteral("Check2ndDiagPageKomm"),
                                         QStringLiteral("LabelServoPic"), QStringLiteral("LabelSeite(0)"),
                                         QStringLiteral("FrameBobbinChange"), QStringLiteral("MitFehler"),
                                         QStringLiteral("LabelPictureServo")} +
                       members("Check2ndDiagPage", 1, 50) + members("CheckZusatz", 1, 50) + members("LineW", 0, 5) +
                       members("LineS", 0, 10)));

    EXPECT_EQ(byHelp[12], (std::set<QString>{QStringLiteral("ComboNrServos"), QStringLiteral("Label1")}));
    EXPECT_EQ(byHelp[13], members("ComboServo", 1, 50) + std::set<QString>{QStringLiteral("Label2")});
    EXPECT_EQ(byHelp[14], (members("Check2ndDiagPage", 1, 50) +
                           std::set<QString>{QStringLiteral("CheckZusatzKomm"), QStringLiteral("Check2ndDiagPageKomm")}));
    EXPECT_EQ(byHelp[15], (std::set<QString>{QStringLiteral("FrameBobbinChange"), QStringLiteral("MitFehler")}));
    EXPECT_EQ(byHelp[16], (std::set<QString>{QStringLiteral("LabelServoPic"), QStringLiteral("ServoIm")}));
    EXPECT_EQ(byHelp[18], members("CheckZusatz", 1, 50));
    // 0, then 1 OK, 2 Cancel, 11 LabelSeite(0), 17 MitVorauswahl and the shared numbers above.
    EXPECT_EQ(byHelp.size(), 11u);
}

TEST_F(Layout, TabOrderFollowsTheDesign)
{
    std::vector<QWidget*> expected{w.CommandCancel, w.CommandOK, w.CommandQuest, w.TabStripMachine, w.MitFehler,
                                   w.Check2ndDiagPageKomm, w.MitVorauswahl};
    for (int s = 1; s <= 50; ++s) {
        expected.push_back(w.ComboServo[s]);
        expected.push_back(w.Check2ndDiagPage[s]);
    }
    expected.push_back(w.ComboNrServos);
    expected.push_back(w.CheckZusatz[1]);
    for (int s = 50; s >= 2; --s)
        expected.push_back(w.CheckZusatz[s]);
    expected.push_back(w.CheckZusatzKomm);

    std::set<QWidget*> registered;
    for (const texts::Control& c : w.controls())
        registered.insert(c.widget);
    // Walk the whole focus chain once, starting after the window itself.
    std::vector<QWidget*> chain;
    for (QWidget* next = w.nextInFocusChain(); next != &w; next = next->nextInFocusChain())
        if (registered.count(next) && next->focusPolicy() != Qt::NoFocus)
            chain.push_back(next);
    ASSERT_EQ(chain.size(), expected.size());
    for (size_t i = 0; i < chain.size(); ++i)
        EXPECT_EQ(chain[i], expected[i]) << i << ": " << chain[i]->objectName().toStdString();

    // Labels, lines, frames, picture boxes and the image take no focus.
    for (const texts::Control& c : w.controls()) {
        const bool focusable = c.kind == ControlKind::CommandButton || c.kind == ControlKind::CheckBox ||
                               c.kind == ControlKind::ComboBox || c.kind == ControlKind::TabStrip;
        EXPECT_EQ(c.widget->focusPolicy() != Qt::NoFocus, focusable) << label(c).toStdString();
    }
}

TEST_F(Layout, FontsAndColours)
{
    const QString family = w.font().family();
    EXPECT_DOUBLE_EQ(w.font().pointSizeF(), 8.25);
    EXPECT_FALSE(w.font().bold());
    const struct {
        QWidget* widget;
        qreal points;
        bool bold;
    } fonts[] = {
        {w.Header, 13.5, true},         {w.TabStripMachine, 12, true}, {w.CheckZusatzKomm, 9.75, false},
        {w.LabelSeite[0], 12, true},    {w.ComboServo[37], 9.75, true}, {w.CheckZusatz[50], 8.25, true},
        {w.LabelBez[37], 8.25, false},  {w.LabelServoPic, 8.25, false},
    };
    for (const auto& f : fonts) {
        SCOPED_TRACE(f.widget->objectName().toStdString());
        EXPECT_EQ(f.widget->font().family(), family);
        EXPECT_DOUBLE_EQ(f.widget->font().pointSizeF(), f.points);
        EXPECT_EQ(f.widget->font().bold(), f.bold);
    }

    using window::backColor;
    for (int s = 1; s <= 50; ++s) {
        SCOPED_TRACE(s);
        EXPECT_EQ(backColor(w.Check2ndDiagPage[s]), window::kLightOrange);
        EXPECT_EQ(backColor(w.CheckZusatz[s]), window::kLightBlue);
        EXPECT_EQ(backColor(w.ComboServo[s]), window::kWhite);
        // The rows start disabled and show their colours all the same.
        QCheckBox* box = w.Check2ndDiagPage[s];
        EXPECT_EQ(box->palette().color(QPalette::Disabled, box->backgroundRole()), window::kLightOrange);
    }
    EXPECT_EQ(backColor(w.Check2ndDiagPageKomm), window::kLightOrange);
    EXPECT_EQ(backColor(w.CheckZusatzKomm), window::kLightBlue);
    EXPECT_EQ(backColor(w.ComboNrServos), window::kWhite);
    EXPECT_EQ(backColor(w.PictureServo), window::kGrey);
    EXPECT_EQ(w.LabelServoPic->palette().color(QPalette::WindowText), window::kRed);
    EXPECT_EQ(w.LabelPictureServo->palette().color(QPalette::WindowText), window::kRed);
}

TEST(ButtonArt, PicturesHaveTheirSizeColourAndTransparentCorners)
{
    const struct {
        QPixmap picture;
        QSize size;
        QColor ink; // the colour most of the drawing is in
    } pictures[] = {
        {window::questionPicture(), {41, 45}, Qt::black},
        {window::okPicture(), {44, 36}, QColor(0, 160, 0)},
        {window::cancelPicture(), {37, 39}, QColor(220, 0, 0)},
    };
    for (const auto& p : pictures) {
        SCOPED_TRACE(p.size.width());
        EXPECT_EQ(p.picture.size(), p.size);
        const QImage image = p.picture.toImage().convertToFormat(QImage::Format_ARGB32);
        int opaque = 0, ink = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c.alpha() == 255) {
                    ++opaque;
                    ink += c.rgb() == p.ink.rgb();
                }
            }
        EXPECT_GT(opaque, 60);
        EXPECT_GT(ink * 10, opaque * 8); // the solid parts are in the ink colour; the rest is edge smoothing
        EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0);
        EXPECT_EQ(image.pixelColor(image.width() - 1, image.height() - 1).alpha(), 0);
    }
    // The arrow of the help picture reaches into its lower left corner, the question mark sits up right.
    const QImage quest = window::questionPicture().toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(quest.pixelColor(4, 40).alpha(), 255);
    EXPECT_EQ(quest.pixelColor(35, 42).alpha(), 0);
    EXPECT_EQ(quest.pixelColor(26, 32).alpha(), 255);
}

TEST_F(Layout, ScreenshotShowsTheColouredCellsAndTheGrid)
{
    w.show();
    const QImage shot = w.grab().toImage();
    const QString path = QStringLiteral(KALVIA_TEST_OUTPUT_DIR "/kalvia-layout.png");
    ASSERT_TRUE(shot.save(path)) << path.toStdString();
    EXPECT_EQ(shot.size(), QSize(792, 573));

    const auto at = [&](QWidget* widget, QPoint inside) { return shot.pixelColor(widget->mapTo(&w, inside)); };
    // The right end of each check box, beside its tick box, shows the box's background.
    EXPECT_EQ(at(w.Check2ndDiagPage[37], {30, 8}), QColor(255, 192, 128));
    EXPECT_EQ(at(w.CheckZusatz[14], {30, 8}), QColor(128, 128, 255));
    EXPECT_EQ(at(w.CheckZusatzKomm, {335, 2}), QColor(128, 128, 255));
    // A grid line between two cells, in the window-text colour.
    EXPECT_EQ(at(w.LineS[5], {0, 50}), w.palette().color(QPalette::WindowText));
    EXPECT_EQ(at(w.LineW[2], {300, 0}), w.palette().color(QPalette::WindowText));
    // The red hint in the preview box.
    bool red = false;
    for (int x = 0; x < w.LabelServoPic->width() && !red; ++x)
        for (int y = 0; y < w.LabelServoPic->height() && !red; ++y) {
            const QColor c = at(w.LabelServoPic, {x, y});
            red = c.red() > 200 && c.green() < 80 && c.blue() < 80;
        }
    EXPECT_TRUE(red);
}
