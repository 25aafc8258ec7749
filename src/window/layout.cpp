#include "window/kalvia.h"

#include "window/buttonart.h"
#include "window/colours.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyleOptionComplex>
#include <QTabBar>
#include <QWheelEvent>
#include <qdrawutil.h>

#include <vector>

namespace window {

namespace {

using texts::ControlKind;

// Layout positions are in twips; 15 twips make one logical pixel.
constexpr int px(int twips)
{
    return twips / 15;
}

QRect twipsRect(int left, int top, int width, int height)
{
    return {px(left), px(top), px(width), px(height)};
}

// Positions inside a picture box count from inside its border (30 twips on each side).
constexpr int kPictureBorder = 2;

QRect insidePictureBox(int left, int top, int width, int height)
{
    return twipsRect(left, top, width, height).translated(kPictureBorder, kPictureBorder);
}

// The slot grid: ten columns, five rows of 630 twips.
constexpr int kColumns = 10;
constexpr int kRowHeight = 630;
constexpr std::array<int, kColumns> kLeftColumns{330, 1440, 2535, 3645, 4755, 5865, 6975, 8085, 9195, 10305};
constexpr std::array<int, kColumns> kComboColumns{600, 1710, 2805, 3915, 5025, 6135, 7245, 8355, 9465, 10605};
constexpr std::array<int, kColumns> kRightColumns{870, 1980, 3075, 4185, 5295, 6405, 7515, 8625, 9735, 10845};
// The slot labels of column 3 below the first row sit 30 twips further left.
constexpr int kColumn3LabelLeft = 3615;

// "MS Sans Serif" of the original layout: the platform's sans-serif family. That face is narrow;
// at semi-condensed width the designed captions stay inside their designed boxes.
QFont sansSerif(qreal points, bool bold)
{
    QFont font(QStringLiteral("Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setStretch(QFont::SemiCondensed);
    font.setPointSizeF(points);
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    return font;
}

void setTextColour(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

// A tab strip: the row of tabs on top of the panel that the other controls lie on.
class MachineTabStrip final : public QTabBar {
public:
    explicit MachineTabStrip(QWidget* parent) : QTabBar(parent)
    {
        setDrawBase(false);
        setExpanding(false);
        setAutoFillBackground(true);
        // Taking the focus on a click makes a servo combo's focus-leave run before the switch.
        setFocusPolicy(Qt::StrongFocus);
    }

protected:
    // The wheel never switches machines: a switch by the wheel would skip the focus-leave handler
    // of the combo being edited.
    void wheelEvent(QWheelEvent* event) override { event->ignore(); }
    void paintEvent(QPaintEvent* event) override
    {
        {
            // The panel below the row of tabs, raised like the strip of the original platform.
            QPainter painter(this);
            const int row = count() > 0 ? tabRect(0).height() : fontMetrics().height() + 10;
            qDrawShadePanel(&painter, rect().adjusted(0, row - 1, 0, 0), palette(), false, 1);
        }
        QTabBar::paintEvent(event);
    }
};

// Combo boxes with the narrow drop-down button of the original platform, so that a servo text
// such as "12-2" fits the edit field of a 50-pixel combo.
class NarrowComboStyle final : public QProxyStyle {
public:
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl part,
                         const QWidget* widget) const override
    {
        if (control != CC_ComboBox || (part != SC_ComboBoxArrow && part != SC_ComboBoxEditField))
            return QProxyStyle::subControlRect(control, option, part, widget);
        constexpr int frame = 2;
        constexpr int button = 15;
        const QRect r = option->rect.adjusted(frame, frame, -frame, -frame);
        const QRect area = part == SC_ComboBoxArrow ? QRect(r.right() - button + 1, r.top(), button, r.height())
                                                    : QRect(r.left() + 1, r.top(), r.width() - button - 1, r.height());
        return visualRect(option->direction, option->rect, area);
    }
};

QFrame* newFrame(QWidget* parent, const QRect& geometry)
{
    auto* frame = new QFrame(parent);
    frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
    frame->setGeometry(geometry);
    return frame;
}

QLabel* newLabel(QWidget* parent, const QString& caption, const QRect& geometry)
{
    auto* label = new QLabel(caption, parent);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setGeometry(geometry);
    return label;
}

QLabel* newPictureBox(QWidget* parent, const QRect& geometry)
{
    auto* box = new QLabel(parent);
    box->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    box->setLineWidth(kPictureBorder);
    box->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    box->setGeometry(geometry);
    return box;
}

QCheckBox* newCheckBox(QWidget* parent, const QString& caption, const QRect& geometry, const QFont& font)
{
    auto* box = new QCheckBox(caption, parent);
    box->setFont(font);
    box->setGeometry(geometry);
    return box;
}

QComboBox* newComboBox(QWidget* parent, const QRect& geometry, const QFont& font, QStyle* style)
{
    auto* combo = new QComboBox(parent);
    combo->setStyle(style);
    combo->setEditable(true);
    // The text typed stays what it is: nothing is added to the list, nothing is completed.
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->setCompleter(nullptr);
    combo->setFont(font);
    setBackColor(combo, kWhite);
    combo->setGeometry(geometry);
    return combo;
}

QPushButton* newPictureButton(QWidget* parent, const QPixmap& picture, const QRect& geometry)
{
    auto* button = new QPushButton(parent);
    button->setIcon(QIcon(picture));
    button->setIconSize(picture.size());
    button->setGeometry(geometry);
    return button;
}

// A line control from (x1, y1) to (x2, y2), horizontal or vertical, width in pixels, drawn in
// the window-text colour.
QFrame* newLine(QWidget* parent, int x1, int y1, int x2, int y2, int width)
{
    auto* line = new QFrame(parent);
    line->setBackgroundRole(QPalette::WindowText);
    line->setAutoFillBackground(true);
    line->setAttribute(Qt::WA_TransparentForMouseEvents);
    const int shift = width / 2;
    line->setGeometry(px(x1) - shift, px(y1) - shift, px(x2) - px(x1) + width, px(y2) - px(y1) + width);
    return line;
}

} // namespace

void Kalvia::buildLayout()
{
    const QString noTTT = QStringLiteral("NoTTT");
    setWindowTitle(QStringLiteral("Base QELCFG-Erweiterung"));
    setFixedSize(px(11880), px(8595));
    setFont(sansSerif(8.25, false));
    // Shared by every window and never deleted: a widget reads its style until its very end.
    static QStyle* const comboStyle = new NarrowComboStyle;

    Header = newLabel(this, QStringLiteral("Servo - Konfiguration Servos"), twipsRect(30, 30, 11775, 360));
    Header->setFont(sansSerif(13.5, true));
    registerControl(QStringLiteral("Header"), -1, {}, 0, ControlKind::Label, Header);

    TabStripMachine = new MachineTabStrip(this);
    TabStripMachine->setFont(sansSerif(12, true));
    TabStripMachine->setGeometry(twipsRect(-30, 390, 11880, 7260));
    TabStripMachine->addTab(QStringLiteral("Tab1"));
    registerControl(QStringLiteral("TabStripMachine"), -1, noTTT, 0, ControlKind::TabStrip, TabStripMachine);

    FrameInputs = newFrame(this, twipsRect(15, 810, 11760, 3975));
    registerControl(QStringLiteral("FrameInputs"), -1, noTTT, 0, ControlKind::Frame, FrameInputs);

    CheckZusatzKomm = newCheckBox(FrameInputs, QStringLiteral("=Schalter, Zeichnungsnr. und 4 zusätzlich Parameter"),
                                  twipsRect(6360, 3600, 5100, 270), sansSerif(9.75, false));
    CheckZusatzKomm->setChecked(true);
    setBackColor(CheckZusatzKomm, kLightBlue);
    registerControl(QStringLiteral("CheckZusatzKomm"), -1, noTTT, 14, ControlKind::CheckBox, CheckZusatzKomm);

    Check2ndDiagPageKomm = newCheckBox(FrameInputs, QStringLiteral("=zweite Diagnoseseite vorhanden"),
                                       twipsRect(285, 3615, 5100, 270), sansSerif(9.75, false));
    Check2ndDiagPageKomm->setChecked(true);
    setBackColor(Check2ndDiagPageKomm, kLightOrange);
    registerControl(QStringLiteral("Check2ndDiagPageKomm"), -1, noTTT, 14, ControlKind::CheckBox,
                    Check2ndDiagPageKomm);

    ServoPic = newPictureBox(this, twipsRect(30, 4845, 5955, 2685));
    registerControl(QStringLiteral("ServoPic"), -1, {}, 0, ControlKind::PictureBox, ServoPic);

    LabelServoPic = newLabel(ServoPic, QStringLiteral("zum Vergrößern clicken"), insidePictureBox(0, 0, 1815, 255));
    setTextColour(LabelServoPic, kRed);
    setBackColor(LabelServoPic, buttonFace());
    registerControl(QStringLiteral("LabelServoPic"), -1, noTTT, 16, ControlKind::Label, LabelServoPic);

    ServoIm = new QLabel(ServoPic);
    ServoIm->setScaledContents(true);
    ServoIm->setGeometry(insidePictureBox(0, 0, 5895, 2625));
    // The image covers the whole inside of the preview; a click on it is a click on the preview.
    ServoIm->setAttribute(Qt::WA_TransparentForMouseEvents);
    LabelServoPic->raise();
    registerControl(QStringLiteral("ServoIm"), -1, {}, 16, ControlKind::Image, ServoIm);

    FrameSeitenAnzahl = newFrame(this, twipsRect(6030, 4785, 5700, 960));
    registerControl(QStringLiteral("FrameSeitenAnzahl"), -1, {}, 0, ControlKind::Frame, FrameSeitenAnzahl);

    LabelSeite[0] = newLabel(FrameSeitenAnzahl, QStringLiteral("Anzahl Seiten"), twipsRect(120, 195, 3000, 300));
    LabelSeite[0]->setFont(sansSerif(12, true));
    registerControl(QStringLiteral("LabelSeite"), 0, noTTT, 11, ControlKind::Label, LabelSeite[0]);

    ComboNrServos = newComboBox(FrameSeitenAnzahl, twipsRect(4830, 150, 615, 420), sansSerif(12, true),
                                comboStyle);
    registerControl(QStringLiteral("ComboNrServos"), -1, {}, 12, ControlKind::ComboBox, ComboNrServos);

    FrameBobbinChange = newFrame(this, twipsRect(6030, 5820, 5700, 1725));
    registerControl(QStringLiteral("FrameBobbinChange"), -1, noTTT, 15, ControlKind::Frame, FrameBobbinChange);

    MitFehler = newCheckBox(FrameBobbinChange, QStringLiteral("Mit Fehlerausgabe"), twipsRect(120, 150, 5325, 375),
                            sansSerif(12, true));
    registerControl(QStringLiteral("MitFehler"), -1, noTTT, 15, ControlKind::CheckBox, MitFehler);

    MitVorauswahl = newCheckBox(FrameBobbinChange, QStringLiteral("Mit Vorauswahl"), twipsRect(120, 600, 5325, 390),
                                sansSerif(12, true));
    registerControl(QStringLiteral("MitVorauswahl"), -1, {}, 17, ControlKind::CheckBox, MitVorauswahl);

    CommandQuest = newPictureButton(this, questionPicture(), twipsRect(7350, 7710, 975, 855));
    registerControl(QStringLiteral("CommandQuest"), -1, {}, 0, ControlKind::CommandButton, CommandQuest);

    CommandOK = newPictureButton(this, okPicture(), twipsRect(8400, 7710, 1695, 855));
    CommandOK->setEnabled(false);
    registerControl(QStringLiteral("CommandOK"), -1, {}, 1, ControlKind::CommandButton, CommandOK);

    CommandCancel = newPictureButton(this, cancelPicture(), twipsRect(10170, 7710, 1695, 855));
    registerControl(QStringLiteral("CommandCancel"), -1, {}, 2, ControlKind::CommandButton, CommandCancel);

    PictureServo = newPictureBox(this, twipsRect(10650, 7035, 11175, 7215));
    setBackColor(PictureServo, kGrey);
    PictureServo->hide();
    registerControl(QStringLiteral("PictureServo"), -1, {}, 0, ControlKind::PictureBox, PictureServo);

    LabelPictureServo = newLabel(PictureServo, QStringLiteral("zum Verkleinern clicken"),
                                 insidePictureBox(30, 90, 1815, 255));
    setTextColour(LabelPictureServo, kRed);
    setBackColor(LabelPictureServo, buttonFace());
    registerControl(QStringLiteral("LabelPictureServo"), -1, noTTT, 0, ControlKind::Label, LabelPictureServo);

    Label1 = newLabel(this, QStringLiteral("Pseudo1"), twipsRect(870, 7785, 780, 270));
    Label1->hide();
    registerControl(QStringLiteral("Label1"), -1, {}, 12, ControlKind::Label, Label1);

    Label2 = newLabel(this, QStringLiteral("Pseudo2"), twipsRect(885, 8160, 780, 270));
    Label2->hide();
    registerControl(QStringLiteral("Label2"), -1, {}, 13, ControlKind::Label, Label2);

    // The slot grid, one control array after the other. Every row starts disabled; the setup
    // enables the rows of the machine shown.
    for (int s = 1; s <= environment::kMaxSlots; ++s) {
        const int row = (s - 1) / kColumns;
        const int column = (s - 1) % kColumns;
        const int left = column == 3 && row > 0 ? kColumn3LabelLeft : kLeftColumns[column];
        LabelBez[s] = newLabel(FrameInputs, QString::number(s), twipsRect(left, 435 + kRowHeight * row, 270, 225));
        registerControl(QStringLiteral("LabelBez"), s, {}, 0, ControlKind::Label, LabelBez[s]);
    }
    for (int s = 1; s <= environment::kMaxSlots; ++s) {
        const int row = (s - 1) / kColumns;
        const int column = (s - 1) % kColumns;
        ComboServo[s] = newComboBox(FrameInputs, twipsRect(kComboColumns[column], 345 + kRowHeight * row, 750, 360),
                                    sansSerif(9.75, true), comboStyle);
        ComboServo[s]->setEnabled(false);
        registerControl(QStringLiteral("ComboServo"), s, {}, 13, ControlKind::ComboBox, ComboServo[s]);
    }
    for (int s = 1; s <= environment::kMaxSlots; ++s) {
        const int row = (s - 1) / kColumns;
        const int column = (s - 1) % kColumns;
        Check2ndDiagPage[s] = newCheckBox(FrameInputs, {}, twipsRect(kLeftColumns[column], 705 + kRowHeight * row, 480, 240),
                                          sansSerif(8.25, true));
        Check2ndDiagPage[s]->setEnabled(false);
        setBackColor(Check2ndDiagPage[s], kLightOrange);
        registerControl(QStringLiteral("Check2ndDiagPage"), s, noTTT, 14, ControlKind::CheckBox, Check2ndDiagPage[s]);
    }
    for (int s = 1; s <= environment::kMaxSlots; ++s) {
        const int row = (s - 1) / kColumns;
        const int column = (s - 1) % kColumns;
        CheckZusatz[s] = newCheckBox(FrameInputs, {}, twipsRect(kRightColumns[column], 705 + kRowHeight * row, 480, 240),
                                     sansSerif(8.25, true));
        CheckZusatz[s]->setEnabled(false);
        setBackColor(CheckZusatz[s], kLightBlue);
        registerControl(QStringLiteral("CheckZusatz"), s, noTTT, 18, ControlKind::CheckBox, CheckZusatz[s]);
    }

    // Grid lines: the outer ones 2 pixels wide, the inner ones 1. They lie beneath the controls.
    const std::array<int, 4> innerRows{960, 1590, 2220, 2850};
    for (int i = 0; i < 4; ++i)
        LineW[i] = newLine(FrameInputs, 285, innerRows[i], 11445, innerRows[i], 1);
    LineW[4] = newLine(FrameInputs, 285, 3480, 11445, 3480, 2);
    LineW[5] = newLine(FrameInputs, 270, 330, 11430, 330, 2);
    const std::array<int, 11> columnLines{285, 1395, 2490, 3600, 4710, 5820, 6930, 8040, 9150, 10260, 11445};
    for (int i = 0; i <= 10; ++i)
        LineS[i] = newLine(FrameInputs, columnLines[i], 330, columnLines[i], 3480, i == 0 || i == 10 ? 2 : 1);
    for (int i = 0; i <= 5; ++i) {
        LineW[i]->lower();
        registerControl(QStringLiteral("LineW"), i, noTTT, 0, ControlKind::Line, LineW[i]);
    }
    for (int i = 0; i <= 10; ++i) {
        LineS[i]->lower();
        registerControl(QStringLiteral("LineS"), i, noTTT, 0, ControlKind::Line, LineS[i]);
    }

    // Members of the slot-label array that lie on the window itself, beneath the tab strip.
    // They play no part in the program; index 53 does not exist.
    const struct {
        int index;
        int top;
        const char* caption;
    } strays[] = {{0, 1890, "47"}, {51, 1260, "37"}, {52, 630, "27"}, {54, 1890, "47"}, {55, 1260, "37"}, {56, 630, "27"}};
    for (const auto& stray : strays) {
        QLabel* label = newLabel(this, QString::fromLatin1(stray.caption), twipsRect(0, stray.top, 270, 225));
        label->lower();
        LabelBez[stray.index] = label;
        registerControl(QStringLiteral("LabelBez"), stray.index, {}, 0, ControlKind::Label, label);
    }

    buildTabOrder();
    wireEvents();
}

void Kalvia::buildTabOrder()
{
    std::vector<QWidget*> order{CommandCancel, CommandOK,   CommandQuest, TabStripMachine,      FrameInputs,
                                FrameBobbinChange, MitFehler, PictureServo, ServoPic, Check2ndDiagPageKomm,
                                MitVorauswahl};
    for (int s = 1; s <= environment::kMaxSlots; ++s) {
        order.push_back(ComboServo[s]);
        order.push_back(Check2ndDiagPage[s]);
    }
    order.push_back(ComboNrServos);
    order.push_back(CheckZusatz[1]);
    for (int s = environment::kMaxSlots; s >= 2; --s)
        order.push_back(CheckZusatz[s]);
    order.push_back(CheckZusatzKomm);

    // Frames and picture boxes keep their place in the list but take no keyboard focus.
    QWidget* previous = nullptr;
    for (QWidget* widget : order) {
        if (widget->focusPolicy() == Qt::NoFocus)
            continue;
        if (previous)
            QWidget::setTabOrder(previous, widget);
        previous = widget;
    }
}

} // namespace window
