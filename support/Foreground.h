#pragma once
// Operations below the window layer bring the main window to the front before
// a message; the window registers how that is done.
#include <functional>

namespace support {

void setMainWindowActivator(std::function<void()> activator);
// Runs the registered activator; does nothing when none is registered.
void bringMainWindowToFront();

}  // namespace support
