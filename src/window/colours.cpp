#include "window/colours.h"

#include <QApplication>
#include <QComboBox>
#include <QPalette>

namespace window {

namespace {

QPalette::ColorRole backRole(const QWidget* control)
{
    return qobject_cast<const QComboBox*>(control) ? QPalette::Base : control->backgroundRole();
}

} // namespace

QColor buttonFace()
{
    return QApplication::palette().color(QPalette::Button);
}

void setBackColor(QWidget* control, const QColor& colour)
{
    const QPalette::ColorRole role = backRole(control);
    QPalette palette = control->palette();
    palette.setColor(role, colour); // in every state, enabled or not
    control->setPalette(palette);
    if (role != QPalette::Base)
        control->setAutoFillBackground(true);
}

QColor backColor(const QWidget* control)
{
    return control->palette().color(backRole(control));
}

} // namespace window
