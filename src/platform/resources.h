// The program's built-in resources: the string table (instrument and
// percussion names, key help, help pages, default settings and chord
// models), the pictures (keys, splash, recorder buttons, keyboard map) and
// the key cursor. Pictures are compiled in with Qt's resource system.
#pragma once

#include <QCursor>
#include <QImage>
#include <QPixmap>
#include <QString>

namespace plat {

// Ids of the string table.
enum ResStringId : int {
    kStrEditorHelp = 99,
    kStrInstrumentFirst = 201,  // "0.无声" .. "128.枪声": 129 items
    kStrInstrumentLast = 329,
    kStrPercussionFirst = 335,  // "低音大鼓" .. "三角铃-开音": 47 items
    kStrPercussionLast = 381,
    kStrKeyHelpFirst = 401,     // key 6 ("LC") .. key 5 ("MG"): 33 items
    kStrKeyHelpLast = 433,
    kStrHelpFirst = 500,        // help pages 500..506
    kStrHelpLast = 506,
    kStrDefaultSettings = 508,  // vanto.ini: 52 lines, each ended by CR LF
    kStrDefaultChordModels = 509,  // HxJzMx.txt: 15 lines joined by CR LF
};

// Ids of the pictures and the cursor.
enum ResPictureId : int {
    kResAppIcon = 100,        // 64 x 64 window icon
    kResKeyWhiteUp = 102,     // 26 x 121
    kResKeyWhiteDown = 103,   // 26 x 121
    kResKeyBlackUp = 104,     // 18 x 69
    kResKeyBlackDown = 105,   // 18 x 69
    kResSplash = 106,         // 400 x 291
    kResPlayUp = 107,         // recorder buttons, 32 x 32 each
    kResPlayDown = 108,
    kResStopUp = 109,
    kResStopDown = 110,
    kResRecordUp = 111,
    kResRecordDown = 112,
    kResKeyboardMap = 120,    // 920 x 200: the computer keyboard with the note tokens
    kResKeyCursor = 501,      // 32 x 32 pointer for the on-screen keys
};

// The text of string resource id; an empty string for an unknown id.
QString LoadResString(int id);

// The picture of resource id (a picture or the cursor's image); a null image
// for an unknown id. Needs no application object.
QImage LoadResImage(int id);

// The same as a pixmap; needs a QGuiApplication. Null for an unknown id.
QPixmap LoadResPicture(int id);

// The cursor of resource id (501, the key cursor); the arrow cursor for an
// unknown id. Needs a QGuiApplication.
QCursor LoadResCursor(int id);

}  // namespace plat
