#pragma once

#include "platform/messages.h"

namespace window {

// The program's message boxes (QMessageBox). Needs a QApplication.
class QtMessages final : public platform::Messages {
public:
    platform::Answer show(const platform::MessageBox& box) override;
};

} // namespace window
