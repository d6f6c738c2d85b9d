#pragma once

class QWidget;

// Brings a window to the operator: restored if minimized, shown, on top and
// with the keyboard focus. Used when the operator starts the program again
// while it runs, so the request stems from the operator's own action.
//
// Only the xcb platform has X windows. The offscreen platform may still
// offer Qt's X11 interface, with no connection behind it, and Wayland has
// none: there Qt's own activation is all there is.
class WindowRaiser {
public:
    static void bringToFront(QWidget* window);

private:
    static void activateOnX11(QWidget* window);
};
