#pragma once
// Keeping the right window in front of the drawing host.
class QWidget;

namespace host {

// Brings the window to the front and gives it the focus.
void subSetForeground(QWidget* window);
// Makes the window stay above other windows and shows it; callers run it each
// time the window is activated, as the hint can be lost when the host comes forward.
void subSetTopmost(QWidget* window);

}  // namespace host
