// Key codes of key events: from the physical key (evdev scan codes) or, failing that, from Qt's key
// value.
#include "keyboard/onscreenkeys.h"

#include <QGuiApplication>
#include <QKeyEvent>

namespace vk {

int fromEvdev(int c, bool numLockOn) {
    static const int main[] = {
        /*0*/ 0, Escape, '1', '2', '3', '4', '5', '6', '7', '8', '9', '0', OemMinus, OemPlus, Back, Tab,
        /*16*/ 'Q', 'W', 'E', 'R', 'T', 'Y', 'U', 'I', 'O', 'P', Oem4, Oem6, Return, Control, 'A', 'S',
        /*32*/ 'D', 'F', 'G', 'H', 'J', 'K', 'L', Oem1, Oem7, Oem3, Shift, Oem5, 'Z', 'X', 'C', 'V',
        /*48*/ 'B', 'N', 'M', OemComma, OemPeriod, Oem2, Shift, Multiply, Menu, Space, 20, F1, F1 + 1,
        F1 + 2, F1 + 3, F1 + 4,
        /*64*/ F1 + 5, F1 + 6, F1 + 7, F1 + 8, F1 + 9, 144, 145};
    if (c >= 0 && c < static_cast<int>(sizeof main / sizeof main[0])) return main[c];
    // Keypad: with Num Lock on the digits and the point, else the editing keys.
    switch (c) {
    case 71: return numLockOn ? Numpad0 + 7 : Home;
    case 72: return numLockOn ? Numpad0 + 8 : Up;
    case 73: return numLockOn ? Numpad0 + 9 : Prior;
    case 74: return Subtract;
    case 75: return numLockOn ? Numpad0 + 4 : Left;
    case 76: return numLockOn ? Numpad0 + 5 : 12;
    case 77: return numLockOn ? Numpad0 + 6 : Right;
    case 78: return Add;
    case 79: return numLockOn ? Numpad0 + 1 : End;
    case 80: return numLockOn ? Numpad0 + 2 : Down;
    case 81: return numLockOn ? Numpad0 + 3 : Next;
    case 82: return numLockOn ? Numpad0 : Insert;
    case 83: return numLockOn ? Decimal : Delete;
    case 87: return F1 + 10;
    case 88: return F12;
    case 96: return Return;
    case 97: return Control;
    case 98: return Divide;
    case 100: return Menu;
    case 102: return Home;
    case 103: return Up;
    case 104: return Prior;
    case 105: return Left;
    case 106: return Right;
    case 107: return End;
    case 108: return Down;
    case 109: return Next;
    case 110: return Insert;
    case 111: return Delete;
    default: return 0;
    }
}

namespace {

// Key code from Qt's key value, for platforms that give no scan code.
int fromQtKey(int key, bool keypad) {
    if (keypad) {
        if (key >= Qt::Key_0 && key <= Qt::Key_9) return Numpad0 + (key - Qt::Key_0);
        switch (key) {
        case Qt::Key_Plus: return Add;
        case Qt::Key_Minus: return Subtract;
        case Qt::Key_Asterisk: return Multiply;
        case Qt::Key_Slash: return Divide;
        case Qt::Key_Period:
        case Qt::Key_Comma: return Decimal;
        case Qt::Key_Enter: return Return;
        default: break;
        }
    }
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return 'A' + (key - Qt::Key_A);
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return '0' + (key - Qt::Key_0);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F12) return F1 + (key - Qt::Key_F1);
    switch (key) {
    // Shifted characters belong to the same physical keys as their plain ones.
    case Qt::Key_Exclam: return '1';
    case Qt::Key_At: return '2';
    case Qt::Key_NumberSign: return '3';
    case Qt::Key_Dollar: return '4';
    case Qt::Key_Percent: return '5';
    case Qt::Key_AsciiCircum: return '6';
    case Qt::Key_Ampersand: return '7';
    case Qt::Key_Asterisk: return '8';
    case Qt::Key_ParenLeft: return '9';
    case Qt::Key_ParenRight: return '0';
    case Qt::Key_Minus:
    case Qt::Key_Underscore: return OemMinus;
    case Qt::Key_Equal:
    case Qt::Key_Plus: return OemPlus;
    case Qt::Key_BracketLeft:
    case Qt::Key_BraceLeft: return Oem4;
    case Qt::Key_BracketRight:
    case Qt::Key_BraceRight: return Oem6;
    case Qt::Key_Semicolon:
    case Qt::Key_Colon: return Oem1;
    case Qt::Key_Apostrophe:
    case Qt::Key_QuoteDbl: return Oem7;
    case Qt::Key_Comma:
    case Qt::Key_Less: return OemComma;
    case Qt::Key_Period:
    case Qt::Key_Greater: return OemPeriod;
    case Qt::Key_Slash:
    case Qt::Key_Question: return Oem2;
    case Qt::Key_Backslash:
    case Qt::Key_Bar: return Oem5;
    case Qt::Key_QuoteLeft:
    case Qt::Key_AsciiTilde: return Oem3;
    case Qt::Key_Space: return Space;
    case Qt::Key_Backspace: return Back;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return Tab;
    case Qt::Key_Return:
    case Qt::Key_Enter: return Return;
    case Qt::Key_Escape: return Escape;
    case Qt::Key_Shift: return Shift;
    case Qt::Key_Control: return Control;
    case Qt::Key_Alt: return Menu;
    case Qt::Key_Insert: return Insert;
    case Qt::Key_Delete: return Delete;
    case Qt::Key_Home: return Home;
    case Qt::Key_End: return End;
    case Qt::Key_PageUp: return Prior;
    case Qt::Key_PageDown: return Next;
    case Qt::Key_Left: return Left;
    case Qt::Key_Right: return Right;
    case Qt::Key_Up: return Up;
    case Qt::Key_Down: return Down;
    default: return 0;
    }
}

}  // namespace

int fromKeyEvent(const QKeyEvent& e, bool evdevScanCodes) {
    const bool keypad = e.modifiers() & Qt::KeypadModifier;
    const quint32 scan = e.nativeScanCode();
    // The scan code is the evdev code + 8. A key with a scan code is known
    // by its position only: a key that has no code here (the extra key of
    // ISO keyboards, media keys) is none of ours, whatever character it
    // types. Keypad keys follow what Qt reports (it already applied Num
    // Lock).
    if (evdevScanCodes && scan > 8) {
        int evdev = static_cast<int>(scan) - 8;
        bool isKeypad = (evdev >= 71 && evdev <= 83);
        if (!isKeypad) return fromEvdev(evdev, true);
        bool digitOrPoint = keypad && ((e.key() >= Qt::Key_0 && e.key() <= Qt::Key_9) ||
                                       e.key() == Qt::Key_Period || e.key() == Qt::Key_Comma);
        return fromEvdev(evdev, digitOrPoint || evdev == 74 || evdev == 78);
    }
    return fromQtKey(e.key(), keypad);
}

int fromKeyEvent(const QKeyEvent& e) {
    // X11 and Wayland both report the evdev code + 8.
    const QString platform = QGuiApplication::platformName();
    const bool evdev = platform == QLatin1String("xcb") || platform.startsWith(QLatin1String("wayland"));
    return fromKeyEvent(e, evdev);
}

int shiftState(const QKeyEvent& e) {
    int s = 0;
    if (e.modifiers() & Qt::ShiftModifier) s |= 1;
    if (e.modifiers() & Qt::ControlModifier) s |= 2;
    if (e.modifiers() & Qt::AltModifier) s |= 4;
    return s;
}

}  // namespace vk
