#include "window/qtmessages.h"

#include <QApplication>
#include <QMessageBox>

namespace window {

using platform::Answer;
using platform::Icon;

Answer QtMessages::show(const platform::MessageBox& box)
{
    QMessageBox dialog(QApplication::activeWindow());
    dialog.setWindowTitle(box.title);
    dialog.setText(box.text);
    switch (box.icon) {
    case Icon::Information: dialog.setIcon(QMessageBox::Information); break;
    case Icon::Exclamation: dialog.setIcon(QMessageBox::Warning); break;
    case Icon::Critical: dialog.setIcon(QMessageBox::Critical); break;
    }
    if (box.buttons == platform::Buttons::Ok) {
        dialog.setStandardButtons(QMessageBox::Ok);
        dialog.exec();
        return Answer::Ok;
    }
    dialog.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    dialog.setDefaultButton(box.noIsDefault ? QMessageBox::No : QMessageBox::Yes);
    dialog.setEscapeButton(QMessageBox::No);
    return dialog.exec() == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

} // namespace window
