// Key codes from physical keys: the note keys of a standard keyboard, the
// keypad with Num Lock on and off, and Qt's key values where no scan code
// is given.
#include "keyboard/onscreenkeys.h"

#include <QKeyEvent>
#include <gtest/gtest.h>

TEST(VirtualKeys, NoteKeysByPositionAndTheKeypadByNumLock) {
    // evdev code -> the key code of the note table.
    const int pairs[][2] = {
        {7, '6'}, {8, '7'}, {9, '8'}, {10, '9'}, {11, '0'}, {12, 189}, {13, 187},
        {20, 'T'}, {21, 'Y'}, {22, 'U'}, {23, 'I'}, {24, 'O'}, {25, 'P'}, {26, 219},
        {34, 'G'}, {35, 'H'}, {36, 'J'}, {37, 'K'}, {38, 'L'}, {39, 186}, {40, 222},
        {47, 'V'}, {48, 'B'}, {49, 'N'}, {50, 'M'}, {51, 188}, {52, 190}, {53, 191},
        {2, '1'}, {3, '2'}, {4, '3'}, {5, '4'}, {6, '5'},
    };
    for (const auto& p : pairs) EXPECT_EQ(vk::fromEvdev(p[0], true), p[1]) << p[0];
    // Keypad: evdev, Num Lock on, Num Lock off.
    const int keys[][3] = {
        {82, 96, vk::Insert}, {79, 97, vk::End},  {80, 98, vk::Down}, {81, 99, vk::Next},
        {75, 100, vk::Left},  {76, 101, 12},      {77, 102, vk::Right}, {71, 103, vk::Home},
        {72, 104, vk::Up},    {73, 105, vk::Prior}, {83, 110, vk::Delete},
        {78, 107, 107},       {74, 109, 109},
    };
    for (const auto& k : keys) {
        EXPECT_EQ(vk::fromEvdev(k[0], true), k[1]) << k[0];
        EXPECT_EQ(vk::fromEvdev(k[0], false), k[2]) << k[0];
    }
}

TEST(VirtualKeys, ScanCodesDecideOverQtKeyValues) {
    constexpr Qt::KeyboardModifier N = Qt::NoModifier, S = Qt::ShiftModifier, K = Qt::KeypadModifier;
    // evdev code (reported + 8, as X11 and Wayland do; 0: none), Qt key, modifier, key code.
    const struct { int evdev; int key; Qt::KeyboardModifier mod; int code; } cases[] = {
        // Without a scan code: Qt's key values, shifted characters on their own keys.
        {0, Qt::Key_G, N, 'G'},          {0, Qt::Key_Exclam, S, '1'},    {0, Qt::Key_Colon, S, 186},
        {0, Qt::Key_Plus, N, 187},       {0, Qt::Key_Plus, K, 107},      {0, Qt::Key_Minus, K, 109},
        {0, Qt::Key_Minus, N, 189},      {0, Qt::Key_5, K, 101},         {0, Qt::Key_Period, K, 110},
        {0, Qt::Key_End, K, vk::End},    {0, Qt::Key_Backspace, N, vk::Back},
        {0, Qt::Key_F6, N, 117},         {0, Qt::Key_unknown, N, 0},
        // With one the physical key counts: the G position on another layout,
        // and the extra ISO key that types "<" is not the comma key.
        {34, Qt::Key_I, N, 'G'},         {51, Qt::Key_Less, S, 188},     {86, Qt::Key_Less, N, 0},
        {164, Qt::Key_MediaTogglePlayPause, N, 0},                       {79, Qt::Key_1, K, 97},
        {79, Qt::Key_End, K, vk::End},   {78, Qt::Key_Plus, K, 107}};
    for (const auto& c : cases) {
        QKeyEvent e(QEvent::KeyPress, c.key, c.mod, c.evdev ? static_cast<quint32>(c.evdev + 8) : 0u, 0, 0);
        EXPECT_EQ(c.evdev ? vk::fromKeyEvent(e, true) : vk::fromKeyEvent(e), c.code) << c.evdev << "/" << c.key;
    }
}
