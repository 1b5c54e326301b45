// Key codes from physical keys: the note keys of a standard keyboard, the
// keypad with Num Lock on and off, and Qt's key values where no scan code
// is given.
#include "keyboard/vkeys.h"

#include <QKeyEvent>
#include <gtest/gtest.h>

TEST(VirtualKeys, NoteKeysByPhysicalPosition) {
    // evdev code -> the key code of the note table.
    const int pairs[][2] = {
        {7, '6'}, {8, '7'}, {9, '8'}, {10, '9'}, {11, '0'}, {12, 189}, {13, 187},
        {20, 'T'}, {21, 'Y'}, {22, 'U'}, {23, 'I'}, {24, 'O'}, {25, 'P'}, {26, 219},
        {34, 'G'}, {35, 'H'}, {36, 'J'}, {37, 'K'}, {38, 'L'}, {39, 186}, {40, 222},
        {47, 'V'}, {48, 'B'}, {49, 'N'}, {50, 'M'}, {51, 188}, {52, 190}, {53, 191},
        {2, '1'}, {3, '2'}, {4, '3'}, {5, '4'}, {6, '5'},
    };
    for (const auto& p : pairs) EXPECT_EQ(vk::fromEvdev(p[0], true), p[1]) << p[0];
}

TEST(VirtualKeys, KeypadFollowsNumLock) {
    // evdev, Num Lock on, Num Lock off
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

TEST(VirtualKeys, QtKeyValuesWithoutScanCode) {
    auto code = [](int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QKeyEvent e(QEvent::KeyPress, key, mods);
        return vk::fromKeyEvent(e);
    };
    EXPECT_EQ(code(Qt::Key_G), 'G');
    EXPECT_EQ(code(Qt::Key_Exclam, Qt::ShiftModifier), '1');  // shifted 1 is still the note key MC
    EXPECT_EQ(code(Qt::Key_Colon, Qt::ShiftModifier), 186);
    EXPECT_EQ(code(Qt::Key_Plus), 187);
    EXPECT_EQ(code(Qt::Key_Plus, Qt::KeypadModifier), 107);
    EXPECT_EQ(code(Qt::Key_Minus, Qt::KeypadModifier), 109);
    EXPECT_EQ(code(Qt::Key_Minus), 189);
    EXPECT_EQ(code(Qt::Key_5, Qt::KeypadModifier), 101);
    EXPECT_EQ(code(Qt::Key_Period, Qt::KeypadModifier), 110);
    EXPECT_EQ(code(Qt::Key_End, Qt::KeypadModifier), vk::End);  // Num Lock off
    EXPECT_EQ(code(Qt::Key_Backspace), vk::Back);
    EXPECT_EQ(code(Qt::Key_F6), 117);
    EXPECT_EQ(code(Qt::Key_unknown), 0);
}

TEST(VirtualKeys, ScanCodesDecideOverTheTypedCharacter) {
    // evdev code + 8, as X11 and Wayland report it.
    auto code = [](int evdev, int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QKeyEvent e(QEvent::KeyPress, key, mods, static_cast<quint32>(evdev + 8), 0, 0);
        return vk::fromKeyEvent(e, true);
    };
    EXPECT_EQ(code(34, Qt::Key_I), 'G');            // the G position on another layout
    EXPECT_EQ(code(51, Qt::Key_Less, Qt::ShiftModifier), 188);
    // The extra key of ISO keyboards types "<" but is not the comma key.
    EXPECT_EQ(code(86, Qt::Key_Less), 0);
    EXPECT_EQ(code(164, Qt::Key_MediaTogglePlayPause), 0);
    EXPECT_EQ(code(79, Qt::Key_1, Qt::KeypadModifier), 97);
    EXPECT_EQ(code(79, Qt::Key_End, Qt::KeypadModifier), vk::End);
    EXPECT_EQ(code(78, Qt::Key_Plus, Qt::KeypadModifier), 107);
}
