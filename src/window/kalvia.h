#pragma once

#include "environment/context.h"
#include "environment/editingstate.h"
#include "texts/controlregistry.h"
#include "texts/help.h"

#include <QPixmap>
#include <QWidget>

#include <array>
#include <functional>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QPushButton;
class QTabBar;

namespace window {

// The program's one window: its controls, the editing state of all machines and the start,
// OK, Cancel and close flows.
class Kalvia : public QWidget {
    Q_OBJECT

public:
    explicit Kalvia(environment::Context& ctx, QWidget* parent = nullptr);
    ~Kalvia() override;

    // Lifecycle.
    void Form_Load();
    void Form_Activate();
    void Form_Resize();
    void Form_QueryUnload(bool& cancel, int unloadMode);
    void SetupUserInterFace();
    void CommandOK_Click();
    void CommandCancel_Click();
    void CloseMe();

    // Editing.
    void TabStripMachine_Click();
    bool SyntaxCheck();
    int WriteInputs();
    // The text of a slot's choice: the name of its picture entry, or empty.
    QString ServoNachText(int machine, int slot);
    // The position (1..PicCount) of the first picture entry a text denotes, or 0.
    qint16 TextNachServoPos(int machine, const QString& text);
    // Draws a picture file scaled into the small preview; an empty path clears the preview. A file
    // that cannot be read raises a failure and leaves the preview cleared.
    void ShowServoPicture(const QString& path);
    const QString& lastServoPicture() const { return m_lastServoPicture; }

    // Events of the controls. Handlers of the row arrays get the slot number (1..50).
    void ComboNrServos_Click();
    void ComboNrServos_GotFocus();
    void ComboNrServos_LostFocus();
    void ComboServo_Click(int index);
    void ComboServo_GotFocus(int index);
    void ComboServo_LostFocus(int index);
    void Check2ndDiagPage_Click(int index);
    void CheckZusatz_Click(int index);
    void Check2ndDiagPageKomm_Click();
    void CheckZusatzKomm_Click();
    void MitFehler_Click();
    void MitVorauswahl_Click();
    void FrameBobbinChange_Click();
    void CommandQuest_Click();
    void ImageServo_Click();
    void ServoPic_Click();
    void LabelServoPic_Click();
    void PictureServo_Click();
    void LabelPictureServo_Click();

    environment::EditingState& state() { return m_state; }
    texts::HelpState& help() { return m_help; }
    const texts::ControlRegistry& controls() const { return m_controls; }
    // The registry entry of a control, or nullptr.
    const texts::Control* control(const QString& name, int index = -1) const;
    bool closingRunStarted() const { return m_closingRun; }

    // Controls, named as in the layout.
    QLabel* Header = nullptr;
    QTabBar* TabStripMachine = nullptr;
    QFrame* FrameInputs = nullptr;
    QCheckBox* CheckZusatzKomm = nullptr;
    QCheckBox* Check2ndDiagPageKomm = nullptr;
    QLabel* ServoPic = nullptr;
    QLabel* LabelServoPic = nullptr;
    QLabel* ServoIm = nullptr;
    QFrame* FrameSeitenAnzahl = nullptr;
    std::array<QLabel*, 1> LabelSeite{};
    QComboBox* ComboNrServos = nullptr;
    QFrame* FrameBobbinChange = nullptr;
    QCheckBox* MitFehler = nullptr;
    QCheckBox* MitVorauswahl = nullptr;
    QPushButton* CommandQuest = nullptr;
    QPushButton* CommandOK = nullptr;
    QPushButton* CommandCancel = nullptr;
    QLabel* PictureServo = nullptr;
    QLabel* LabelPictureServo = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    std::array<QLabel*, 57> LabelBez{};           // 1..50 in the grid; 0, 51, 52, 54, 55, 56 on the window
    std::array<QComboBox*, 51> ComboServo{};      // 1..50
    std::array<QCheckBox*, 51> Check2ndDiagPage{}; // 1..50
    std::array<QCheckBox*, 51> CheckZusatz{};     // 1..50
    std::array<QFrame*, 6> LineW{};
    std::array<QFrame*, 11> LineS{};

signals:
    // Raised each time the window hands an event of a control to its handler, just before the
    // handler runs: the handler's name ("ComboServo_LostFocus") and the slot, or -1.
    void eventDelivered(const QString& handler, int index);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildLayout();
    // Rows of the slot grid, as the number of servos and the tab switch lay them out.
    void enableRow(int slot);
    void disableRow(int slot);
    // Sets a combo's text, selecting the list entry of that text when there is one.
    static void setComboText(QComboBox* combo, const QString& text);
    void clearServoPic();
    // True while a machine is shown, i.e. CurrentMachine names one of the five.
    bool machineShown() const;
    void registerControl(const QString& name, int index, const QString& tag, int helpNumber,
                         texts::ControlKind kind, QWidget* widget);
    void buildTabOrder();
    // Connects the controls' events to their handlers; part of building the layout.
    void wireEvents();
    // Runs an event's handler; a failure it does not handle itself is reported under the
    // handler's name and never reaches the event loop.
    void deliver(const QString& handler, int index, const std::function<void()>& run);
    void onTabChanged();

    environment::Context& m_ctx;
    environment::EditingState m_state;
    texts::HelpState m_help;
    texts::ControlRegistry m_controls;
    bool m_settingUp = true;  // tab-switch notifications are blocked until the setup calls the switch
    int m_failuresAtLoad = 0; // failures reported until the window was set up
    bool m_closingRun = false; // set once the closing run has started
    QWidget* m_focusedCombo = nullptr; // the combo box that has the focus among the window's controls
    QString m_lastServoPicture;        // path of the picture the small preview last handled
    QPixmap m_servoPicDrawing;         // what is drawn into the small preview; kept across repaints
};

} // namespace window
