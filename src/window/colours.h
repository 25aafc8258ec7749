#pragma once

#include <QColor>

class QWidget;

namespace window {

// Colours of the window's controls.
inline const QColor kWhite(255, 255, 255);
inline const QColor kLightOrange(255, 192, 128); // second diagnosis page
inline const QColor kLightBlue(128, 128, 255);   // switch, drawing number and parameters
inline const QColor kGrey(192, 192, 192);        // the enlarged servo picture
inline const QColor kRed(255, 0, 0);
inline const QColor kGreen(0, 255, 0);

// The system colour of button faces.
QColor buttonFace();

// A control's background: the edit field of a combo box, the whole face of any other control.
void setBackColor(QWidget* control, const QColor& colour);
QColor backColor(const QWidget* control);

} // namespace window
