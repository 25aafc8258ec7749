#include "window/kalvia.h"

#include "environment/errors.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

namespace window {

namespace {

// A combo box also reports an activation when it is left with a text that equals one of its
// items. That is no click: only a pick made while the combo has the focus (from its list or with
// the arrow keys) counts; leaving is handled by the focus-leave handler.
bool pickedInCombo(const QComboBox* combo)
{
    const QWidget* focus = QApplication::focusWidget();
    return focus && (focus == combo || combo->isAncestorOf(focus));
}

} // namespace

using environment::Handler;

namespace {

// A click: the left button released over the control it was pressed on.
bool isClick(const QObject* watched, const QEvent* event)
{
    if (event->type() != QEvent::MouseButtonRelease)
        return false;
    const auto* mouse = static_cast<const QMouseEvent*>(event);
    const auto* widget = static_cast<const QWidget*>(watched);
    return mouse->button() == Qt::LeftButton && widget->rect().contains(mouse->position().toPoint());
}

} // namespace

void Kalvia::deliver(const QString& handler, int index, const std::function<void()>& run)
{
    Handler h(m_ctx, handler);
    h([&] {
        emit eventDelivered(handler, index);
        run();
    });
}

void Kalvia::wireEvents()
{
    // Check boxes run their click handler whenever their value changes, also when code sets it;
    // setting the value a box already has runs nothing.
    for (int s = 1; s <= environment::kMaxSlots; ++s) {
        connect(Check2ndDiagPage[s], &QCheckBox::stateChanged, this, [this, s] {
            deliver(QStringLiteral("Check2ndDiagPage_Click"), s, [this, s] { Check2ndDiagPage_Click(s); });
        });
        connect(CheckZusatz[s], &QCheckBox::stateChanged, this, [this, s] {
            deliver(QStringLiteral("CheckZusatz_Click"), s, [this, s] { CheckZusatz_Click(s); });
        });
        connect(ComboServo[s], &QComboBox::activated, this, [this, s] {
            if (pickedInCombo(ComboServo[s]))
                deliver(QStringLiteral("ComboServo_Click"), s, [this, s] { ComboServo_Click(s); });
        });
        ComboServo[s]->installEventFilter(this);
    }
    const auto onValueChange = [this](QCheckBox* box, const QString& handler, void (Kalvia::*run)()) {
        connect(box, &QCheckBox::stateChanged, this, [this, handler, run] { deliver(handler, -1, [this, run] { (this->*run)(); }); });
    };
    onValueChange(Check2ndDiagPageKomm, QStringLiteral("Check2ndDiagPageKomm_Click"), &Kalvia::Check2ndDiagPageKomm_Click);
    onValueChange(CheckZusatzKomm, QStringLiteral("CheckZusatzKomm_Click"), &Kalvia::CheckZusatzKomm_Click);
    onValueChange(MitFehler, QStringLiteral("MitFehler_Click"), &Kalvia::MitFehler_Click);
    onValueChange(MitVorauswahl, QStringLiteral("MitVorauswahl_Click"), &Kalvia::MitVorauswahl_Click);

    connect(ComboNrServos, &QComboBox::activated, this, [this] {
        if (pickedInCombo(ComboNrServos))
            deliver(QStringLiteral("ComboNrServos_Click"), -1, [this] { ComboNrServos_Click(); });
    });
    ComboNrServos->installEventFilter(this);

    connect(CommandQuest, &QPushButton::clicked, this,
            [this] { deliver(QStringLiteral("CommandQuest_Click"), -1, [this] { CommandQuest_Click(); }); });
    connect(CommandOK, &QPushButton::clicked, this, &Kalvia::CommandOK_Click);
    connect(CommandCancel, &QPushButton::clicked, this, &Kalvia::CommandCancel_Click);

    for (QWidget* clickable : {static_cast<QWidget*>(ServoPic), static_cast<QWidget*>(LabelServoPic),
                               static_cast<QWidget*>(PictureServo), static_cast<QWidget*>(LabelPictureServo),
                               static_cast<QWidget*>(FrameBobbinChange)})
        clickable->installEventFilter(this);
}

bool Kalvia::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::FocusIn || type == QEvent::FocusOut || type == QEvent::Wheel) {
        int slot = -1; // 0 for the number of servos, 1..50 for a servo combo
        if (watched == ComboNrServos)
            slot = 0;
        for (int s = 1; s <= environment::kMaxSlots && slot < 0; ++s)
            slot = watched == ComboServo[s] ? s : -1;
        if (slot < 0)
            return false;
        auto* combo = static_cast<QWidget*>(watched);
        // The wheel changes a combo only while it has the focus, so its focus-leave handler
        // stores what it shows; over any other combo it does nothing.
        if (type == QEvent::Wheel)
            return !combo->hasFocus();
        if (type == QEvent::FocusIn) {
            // Focus coming back from the combo's own list or from another window was never lost.
            if (m_focusedCombo == combo)
                return false;
            m_focusedCombo = combo;
            if (slot == 0)
                deliver(QStringLiteral("ComboNrServos_GotFocus"), -1, [this] { ComboNrServos_GotFocus(); });
            else
                deliver(QStringLiteral("ComboServo_GotFocus"), slot, [this, slot] { ComboServo_GotFocus(slot); });
            return false;
        }
        // Only focus that moves on to another control of this window leaves the combo; the drop-down
        // list, a message box or another program take it only for a while.
        const QWidget* now = QApplication::focusWidget();
        if (!now || now == combo || now->window() != this)
            return false;
        m_focusedCombo = nullptr;
        if (slot == 0)
            deliver(QStringLiteral("ComboNrServos_LostFocus"), -1, [this] { ComboNrServos_LostFocus(); });
        else
            deliver(QStringLiteral("ComboServo_LostFocus"), slot, [this, slot] { ComboServo_LostFocus(slot); });
        return false;
    }
    if (!isClick(watched, event))
        return QWidget::eventFilter(watched, event);
    // The click is used up here, so a label's click does not reach the picture box beneath it.
    if (watched == LabelServoPic)
        deliver(QStringLiteral("LabelServoPic_Click"), -1, [this] { LabelServoPic_Click(); });
    else if (watched == ServoPic)
        deliver(QStringLiteral("ServoPic_Click"), -1, [this] { ServoPic_Click(); });
    else if (watched == LabelPictureServo)
        deliver(QStringLiteral("LabelPictureServo_Click"), -1, [this] { LabelPictureServo_Click(); });
    else if (watched == PictureServo)
        deliver(QStringLiteral("PictureServo_Click"), -1, [this] { PictureServo_Click(); });
    else if (watched == FrameBobbinChange)
        deliver(QStringLiteral("FrameBobbinChange_Click"), -1, [this] { FrameBobbinChange_Click(); });
    else
        return QWidget::eventFilter(watched, event);
    return true;
}

void Kalvia::ServoPic_Click()
{
    Handler h(m_ctx, QStringLiteral("ServoPic_Click"));
    h([&] { ImageServo_Click(); });
}

void Kalvia::LabelServoPic_Click()
{
    Handler h(m_ctx, QStringLiteral("LabelServoPic_Click"));
    h([&] { ImageServo_Click(); });
}

void Kalvia::LabelPictureServo_Click()
{
    Handler h(m_ctx, QStringLiteral("LabelPictureServo_Click"));
    h([&] { PictureServo_Click(); });
}

} // namespace window
