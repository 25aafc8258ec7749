#pragma once

#include <QString>

namespace platform {

enum class Buttons { Ok, YesNo };
enum class Icon { Information, Exclamation, Critical };
enum class Answer { Ok, Yes, No };

// One modal message box as the program asks for it.
struct MessageBox {
    QString text;
    QString title;
    Buttons buttons = Buttons::Ok;
    Icon icon = Icon::Information;
    bool noIsDefault = false; // Yes/No boxes: Enter answers No instead of Yes
};

// Shows message boxes. Production: window::QtMessages; tests substitute a scripted double.
class Messages {
public:
    virtual ~Messages() = default;
    virtual Answer show(const MessageBox& box) = 0;
};

} // namespace platform
