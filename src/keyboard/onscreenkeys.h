// Key codes of the keyboard handlers: the desktop's virtual-key numbers
// (A = 65, F1 = 112, numpad 0 = 96, "-" = 189, ...). A key event maps by the
// physical key, so the keyboard layout and Shift do not change which note a
// key plays; keypad keys follow Num Lock (off: they are Insert, End, ...).
#pragma once

class QKeyEvent;

namespace vk {
enum : int {
    Back = 8, Tab = 9, Return = 13, Shift = 16, Control = 17, Menu = 18, Escape = 27, Space = 32,
    Prior = 33, Next = 34, End = 35, Home = 36, Left = 37, Up = 38, Right = 39, Down = 40,
    Insert = 45, Delete = 46,
    Numpad0 = 96, Multiply = 106, Add = 107, Subtract = 109, Decimal = 110, Divide = 111,
    F1 = 112, F12 = 123,
    Oem1 = 186, OemPlus = 187, OemComma = 188, OemMinus = 189, OemPeriod = 190, Oem2 = 191,
    Oem3 = 192, Oem4 = 219, Oem5 = 220, Oem6 = 221, Oem7 = 222,
};

// Key code of a key event, 0 when the key has none.
int fromKeyEvent(const QKeyEvent& e);
// The same, saying whether the event's native scan code is an evdev code + 8
// (as on X11 and Wayland); otherwise Qt's key value decides.
int fromKeyEvent(const QKeyEvent& e, bool evdevScanCodes);
// Key code of a physical key given as a Linux input (evdev) code and the
// keypad state; 0 when unknown. numLockOn decides the keypad keys.
int fromEvdev(int evdevCode, bool numLockOn);
// Shift state as the handlers receive it: 1 Shift, 2 Ctrl, 4 Alt.
int shiftState(const QKeyEvent& e);
}  // namespace vk
