#include "Foreground.h"

namespace support {

namespace {
std::function<void()>& activatorSlot() {
    static std::function<void()> activator;
    return activator;
}
}  // namespace

void setMainWindowActivator(std::function<void()> activator) { activatorSlot() = std::move(activator); }

void bringMainWindowToFront() {
    if (activatorSlot()) activatorSlot()();
}

}  // namespace support
