// Every event reaction of every window runs inside guard(): a failure inside
// it is reported to the user and the reaction ends, but the program and its
// windows go on, so nothing the user has typed is lost.
#pragma once

#include <functional>

class QWidget;

namespace app {

// Runs reaction. A store::StoreError or other std::exception escaping it is
// shown in a message box with the error's number and description (caption
// "quelto", exclamation icon) and then swallowed.
void guard(const std::function<void()> &reaction, QWidget *window = nullptr);

}  // namespace app
