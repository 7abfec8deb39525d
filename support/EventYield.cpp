#include "EventYield.h"

#include <QCoreApplication>

namespace support {

void yieldEvents(int times) {
    if (!QCoreApplication::instance()) return;
    for (int i = 0; i < times; ++i) QCoreApplication::processEvents();
}

}  // namespace support
