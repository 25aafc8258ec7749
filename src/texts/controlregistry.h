#pragma once

#include <QString>

#include <vector>

class QWidget;

namespace texts {

enum class ControlKind { Label, CommandButton, CheckBox, ComboBox, Frame, PictureBox, Image, Line, TabStrip };

// One control of the window as the language texts and the help mode see it.
struct Control {
    QString name;
    int index = -1; // control-array index; -1 for a control that is no array member
    QString tag;
    int helpNumber = 0;
    ControlKind kind = ControlKind::Label;
    QWidget* widget = nullptr;

    bool isArrayMember() const { return index >= 0; }
};

// The window's controls in design order.
using ControlRegistry = std::vector<Control>;

} // namespace texts
