#pragma once
// Lets the window process pending events n times (the long operations yield
// between drawings, layers and objects so the window stays alive).
namespace support {

void yieldEvents(int times = 1);

}  // namespace support
