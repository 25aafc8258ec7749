#include "window/qtmessages.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMessageBox>

namespace window {

namespace {

// A message box; a Yes/No question closes only through Yes or No: Escape and the window's close
// button do nothing.
class Box final : public QMessageBox {
public:
    using QMessageBox::QMessageBox;
    bool question = false;

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (question && event->key() == Qt::Key_Escape)
            return;
        QMessageBox::keyPressEvent(event);
    }
    void closeEvent(QCloseEvent* event) override
    {
        if (question)
            event->ignore();
        else
            QMessageBox::closeEvent(event);
    }
};

} // namespace

using platform::Answer;
using platform::Icon;

Answer QtMessages::show(const platform::MessageBox& box)
{
    Box dialog(QApplication::activeWindow());
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
    dialog.question = true;
    dialog.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    dialog.setDefaultButton(box.noIsDefault ? QMessageBox::No : QMessageBox::Yes);
    return dialog.exec() == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

} // namespace window
