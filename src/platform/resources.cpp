// The built-in resources: string table, pictures and cursors.
#include "platform/resources.h"

#include <QFile>

#include <algorithm>
#include <iterator>

// The compiled-in pictures live in the resource bundle "morvela_resources"
// (cmake/Resources.cmake). A static library's bundle is registered by an
// object linked into each program; registering it here as well makes sure it
// is present whichever way the library was linked.
static void initMorvelaResources() { Q_INIT_RESOURCE(morvela_resources); }

namespace plat {
namespace {

struct StringEntry {
    int id;
    const char8_t* text;
};

constexpr StringEntry kStrings[] = {
#include "resources/strings.inc"
};

constexpr bool sortedById() {
    for (std::size_t i = 1; i < std::size(kStrings); ++i)
        if (kStrings[i - 1].id >= kStrings[i].id) return false;
    return true;
}
static_assert(sortedById(), "the string table must be sorted by id, without duplicates");

struct PictureEntry {
    int id;
    const char* path;
    int hotX = 0, hotY = 0;  // cursor hot spot
};

constexpr PictureEntry kPictures[] = {
    {kResAppIcon, ":/images/app_icon.png"},
    {kResKeyWhiteUp, ":/images/key_white_up.png"},
    {kResKeyWhiteDown, ":/images/key_white_down.png"},
    {kResKeyBlackUp, ":/images/key_black_up.png"},
    {kResKeyBlackDown, ":/images/key_black_down.png"},
    {kResSplash, ":/images/splash.png"},
    {kResPlayUp, ":/images/rec_play_up.png"},
    {kResPlayDown, ":/images/rec_play_down.png"},
    {kResStopUp, ":/images/rec_stop_up.png"},
    {kResStopDown, ":/images/rec_stop_down.png"},
    {kResRecordUp, ":/images/rec_record_up.png"},
    {kResRecordDown, ":/images/rec_record_down.png"},
    {kResKeyboardMap, ":/images/keyboard_map.png"},
    {kResKeyCursor, ":/images/key_cursor.png", 11, 1},
};

const PictureEntry* findPicture(int id) {
    for (const PictureEntry& e : kPictures)
        if (e.id == id) return &e;
    return nullptr;
}

void ensureResources() {
    static const bool done = [] {
        if (!QFile::exists(QStringLiteral(":/images/splash.png"))) initMorvelaResources();
        return true;
    }();
    (void)done;
}

}  // namespace

QString LoadResString(int id) {
    auto it = std::lower_bound(std::begin(kStrings), std::end(kStrings), id,
                               [](const StringEntry& e, int key) { return e.id < key; });
    if (it == std::end(kStrings) || it->id != id) return {};
    return QString::fromUtf8(reinterpret_cast<const char*>(it->text));
}

QImage LoadResImage(int id) {
    const PictureEntry* e = findPicture(id);
    if (!e) return {};
    ensureResources();
    return QImage(QString::fromLatin1(e->path));
}

QPixmap LoadResPicture(int id) {
    QImage img = LoadResImage(id);
    if (img.isNull()) return {};
    return QPixmap::fromImage(img);
}

QCursor LoadResCursor(int id) {
    const PictureEntry* e = findPicture(id);
    if (!e || id != kResKeyCursor) return QCursor(Qt::ArrowCursor);
    QPixmap pm = LoadResPicture(id);
    if (pm.isNull()) return QCursor(Qt::PointingHandCursor);
    return QCursor(pm, e->hotX, e->hotY);
}

}  // namespace plat
