// The pictures `make screenshots` takes. A shot is a widget made for one skin at a fixed size;
// the program dresses a window in the skin, lays the widget on the skin's backdrop and saves
// it as <skin>/<name>.png. Add one anywhere in this program with
//
//     BRAMWICK_SHOT(my_window, 640, 420) { return new MyWindow(...); }
//
// (the body may use `skin`, the skin being shot). Animations are off while shooting. The stored
// skin is the skin being shot, so windows that dress themselves from it (`SkinScene`) come out in
// it. A window the program dresses itself is shot as it is, not laid on another backdrop and
// dressed again (which would hide what its own dressing misses):
//
//     BRAMWICK_WINDOW_SHOT(my_window, 1000, 620) { return makeMyWindow(...).release(); }
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <QSize>
#include <QWidget>

#include "appearance/skin.h"
#include "system/running.h"
#include "system/vitals.h"

namespace bramwick::shots {

struct Shot {
    std::string name;
    QSize size;
    std::function<QWidget*(Skin skin)> make;
    bool window = false; // shot as it is, dressed by itself
};

std::vector<Shot>& registry();

// Keeps what a shot's widget works over (a store and its settings) for the whole run, as the
// widget may outlive the shot: never freed, but reachable, so the leak checker knows it is kept
// on purpose.
std::vector<const void*>& keptObjects();
template <typename T> T* keptForTheRun(T* kept) {
    keptObjects().push_back(kept);
    return kept;
}

// What the window's top shows in every shot of it: the `sample`th reading of a minute of a
// build (busy, then settling; swap easing off), and a simulator and a log watcher running.
VitalsReader::Reading buildVitals(int sample);
RunningSnapshot buildRunning();

struct Registrar {
    Registrar(std::string name, QSize size, std::function<QWidget*(Skin)> make,
              bool window = false) {
        registry().push_back({std::move(name), size, std::move(make), window});
    }
};

} // namespace bramwick::shots

#define BRAMWICK_SHOT(name, width, height)                                                         \
    static QWidget* shot_##name(bramwick::Skin skin);                                              \
    static const bramwick::shots::Registrar shotRegistrar_##name(#name, QSize(width, height),      \
                                                                 &shot_##name);                    \
    static QWidget* shot_##name([[maybe_unused]] bramwick::Skin skin)

#define BRAMWICK_WINDOW_SHOT(name, width, height)                                                  \
    static QWidget* shot_##name(bramwick::Skin skin);                                              \
    static const bramwick::shots::Registrar shotRegistrar_##name(#name, QSize(width, height),      \
                                                                 &shot_##name, true);              \
    static QWidget* shot_##name([[maybe_unused]] bramwick::Skin skin)
