#pragma once

#include <QPixmap>

namespace window {

// The pictures of the three graphical buttons, drawn by the program itself on a transparent
// background.
QPixmap questionPicture(); // 41 x 45: black question mark, arrow pointing down-left
QPixmap okPicture();       // 44 x 36: green tick
QPixmap cancelPicture();   // 37 x 39: red cross

} // namespace window
