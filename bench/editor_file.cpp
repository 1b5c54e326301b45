// Save and open of the largest editor song, printed as "name: value" lines.
//
// The song: 625 bars of 16 steps (the whole 10000-step table), every melodic
// track holding notes, chords, rests and holds, every percussion row hits,
// and a settings line on every bar. It is saved and opened through the calls
// the editor's "保存编辑" and "打开编辑文件" make, into a scratch folder.
//
// file_bytes: size of the saved file.
// save_ms_median, save_ms_max: prepare + write of the whole song.
// open_ms_median, open_ms_max: read, check and replace the whole song.
// open_peak_heap_bytes: the most heap the open held above what was in use
// before it (the old song's strings it frees count against it);
// open_peak_heap_per_file_byte: that figure over the file's size.
#include "benchsupport.h"
#include "editor/barsettings.h"
#include "editor/songfile.h"
#include "editor/songmodel.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <malloc.h>
#include <memory>
#include <vector>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define MORVELA_NO_HEAP_COUNT 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define MORVELA_NO_HEAP_COUNT 1
#endif

// Heap accounting: the program's malloc family passes through here so the
// bytes held during an open can be followed (not under a sanitizer, which
// owns malloc itself).
#ifndef MORVELA_NO_HEAP_COUNT
extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void __libc_free(void*);
}

namespace {
std::atomic<bool> gCounting{false};
std::atomic<long long> gHeld{0};
std::atomic<long long> gPeak{0};

void count(long long delta) {
    if (!gCounting.load(std::memory_order_relaxed)) return;
    const long long now = gHeld.fetch_add(delta, std::memory_order_relaxed) + delta;
    long long peak = gPeak.load(std::memory_order_relaxed);
    while (now > peak && !gPeak.compare_exchange_weak(peak, now, std::memory_order_relaxed)) {
    }
}
}  // namespace

extern "C" {
void* malloc(size_t n) {
    void* p = __libc_malloc(n);
    if (p) count(static_cast<long long>(malloc_usable_size(p)));
    return p;
}
void* calloc(size_t n, size_t size) {
    void* p = __libc_calloc(n, size);
    if (p) count(static_cast<long long>(malloc_usable_size(p)));
    return p;
}
void* realloc(void* old, size_t n) {
    const long long before = old ? static_cast<long long>(malloc_usable_size(old)) : 0;
    void* p = __libc_realloc(old, n);
    if (p) count(static_cast<long long>(malloc_usable_size(p)) - before);
    else if (n == 0) count(-before);
    return p;
}
void free(void* p) {
    if (p) count(-static_cast<long long>(malloc_usable_size(p)));
    __libc_free(p);
}
}
#endif

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRuns = 15;

using bench::median;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void buildLargestSong(editor::Song& song) {
    using namespace editor;
    song.QKYP();
    song.setBarLastStep(15);
    song.setBarCount(song.lastBarLimit());
    static const char* const kCells[] = {"KC", "KD", "KE", "--", "GM", "HC", "XZ", "WB", "MG", "LA", "AM", "--"};
    for (int32_t b = 0; b <= song.EditorBarCount; ++b) {
        for (int t = 0; t < kMelodicTracks; ++t) {
            QString text;
            for (int s = 0; s < 16; ++s) text += QLatin1String(kCells[(b + 3 * t + s) % 12]);
            song.commitTrackText(t, b, text);
        }
        for (int t = kMelodicTracks; t < kSongTracks; ++t)
            for (int s = 0; s < 16; ++s) song.setDrumHit(t, b, s, (s + t + b) % 3 == 0);
        BarSettings settings;
        settings.program = {1, 51, 78, 82, 4, 4, 4, 1, 3, 4, 41, 17};
        settings.volume.fill(static_cast<editor::i16>(40 + b % 80));
        settings.key = static_cast<editor::i16>(b % 12);
        settings.tempo = static_cast<editor::i16>(60 + b % 150);
        settings.depth = static_cast<editor::i16>(b % 41 - 20);
        settings.vibrato = b % 2;
        settings.crescendo = b % 3 == 0;
        storeBarSettings(song, b, settings);
    }
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("最大的歌.lnk"));
    auto song = std::make_unique<editor::Song>();
    buildLargestSong(*song);

    std::vector<double> save, open;
    for (int i = 0; i < kRuns; ++i) {
        const auto start = Clock::now();
        editor::prepareSongForSave(*song);
        const bool ok = editor::writeSongFile(*song, path).ok;
        save.push_back(msSince(start));
        if (!ok) {
            std::fprintf(stderr, "save failed\n");
            return 1;
        }
    }
    const QByteArray saved = editor::songFileBytes(*song);
    for (int i = 0; i < kRuns; ++i) {
        const auto start = Clock::now();
        const editor::SongFileResult r = editor::openSongFile(*song, path);
        open.push_back(msSince(start));
        if (!r.ok || song->EditorBarCount != 624) {
            std::fprintf(stderr, "open failed: %s\n", qPrintable(r.message));
            return 1;
        }
    }
    editor::prepareSongForSave(*song);
    if (editor::songFileBytes(*song) != saved) {
        std::fprintf(stderr, "reopened song saves other bytes\n");
        return 1;
    }

    std::printf("bars: %d\n", song->EditorBarCount + 1);
    std::printf("file_bytes: %lld\n", static_cast<long long>(saved.size()));
    std::printf("save_ms_median: %.2f\n", median(save));
    std::printf("save_ms_max: %.2f\n", *std::max_element(save.begin(), save.end()));
    std::printf("open_ms_median: %.2f\n", median(open));
    std::printf("open_ms_max: %.2f\n", *std::max_element(open.begin(), open.end()));

#ifndef MORVELA_NO_HEAP_COUNT
    // Opening the song over an empty one: everything the open keeps or held.
    song->QKYP();
    gHeld = 0;
    gPeak = 0;
    gCounting = true;
    const bool ok = editor::openSongFile(*song, path).ok;
    gCounting = false;
    if (!ok) return 1;
    std::printf("open_peak_heap_bytes: %lld\n", gPeak.load());
    std::printf("open_kept_heap_bytes: %lld\n", gHeld.load());
    std::printf("open_peak_heap_per_file_byte: %.2f\n", static_cast<double>(gPeak.load()) / saved.size());
#else
    std::printf("open_peak_heap_bytes: n/a (sanitizer build)\n");
#endif
    return 0;
}
