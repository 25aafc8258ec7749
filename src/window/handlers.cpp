#include "window/kalvia.h"

#include "environment/errors.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

namespace window {

using environment::Handler;

namespace {

// Focus that moves to the combo's own drop-down list, or leaves with the whole window (a
// message box, another program), stays with the control as far as its handlers are concerned.
bool focusMovedBetweenControls(const QEvent* event)
{
    const auto reason = static_cast<const QFocusEvent*>(event)->reason();
    return reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason;
}

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

    connect(ComboNrServos, &QComboBox::activated, this,
            [this] { deliver(QStringLiteral("ComboNrServos_Click"), -1, [this] { ComboNrServos_Click(); }); });
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
    if (type == QEvent::FocusIn || type == QEvent::FocusOut) {
        if (!focusMovedBetweenControls(event))
            return false;
        const bool in = type == QEvent::FocusIn;
        if (watched == ComboNrServos) {
            if (in)
                deliver(QStringLiteral("ComboNrServos_GotFocus"), -1, [this] { ComboNrServos_GotFocus(); });
            else
                deliver(QStringLiteral("ComboNrServos_LostFocus"), -1, [this] { ComboNrServos_LostFocus(); });
            return false;
        }
        for (int s = 1; s <= environment::kMaxSlots; ++s) {
            if (watched != ComboServo[s])
                continue;
            if (in)
                deliver(QStringLiteral("ComboServo_GotFocus"), s, [this, s] { ComboServo_GotFocus(s); });
            else
                deliver(QStringLiteral("ComboServo_LostFocus"), s, [this, s] { ComboServo_LostFocus(s); });
            return false;
        }
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

// The legend boxes explain the two columns of check boxes and always show ticked.
void Kalvia::Check2ndDiagPageKomm_Click()
{
    Check2ndDiagPageKomm->setChecked(true);
}

void Kalvia::CheckZusatzKomm_Click()
{
    CheckZusatzKomm->setChecked(true);
}

void Kalvia::ComboNrServos_LostFocus()
{
    // A typed number takes effect when the field is left.
    ComboNrServos_Click();
}

void Kalvia::ComboNrServos_GotFocus()
{
    texts::ShowHelpInfo(m_ctx, m_help, *control(QStringLiteral("ComboNrServos")));
}

void Kalvia::FrameBobbinChange_Click()
{
    texts::ShowHelpInfo(m_ctx, m_help, *control(QStringLiteral("FrameBobbinChange")));
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

// Seams: these handlers come with the slot editing, the help mode and the picture preview.
void Kalvia::ComboNrServos_Click() {}
void Kalvia::ComboServo_Click(int index) {}
void Kalvia::ComboServo_GotFocus(int index) {}
void Kalvia::ComboServo_LostFocus(int index) {}
void Kalvia::Check2ndDiagPage_Click(int index) {}
void Kalvia::CheckZusatz_Click(int index) {}
void Kalvia::MitFehler_Click() {}
void Kalvia::MitVorauswahl_Click() {}
void Kalvia::CommandQuest_Click() {}
void Kalvia::ImageServo_Click() {}
void Kalvia::PictureServo_Click() {}

} // namespace window
