// The composition's cost for the densest screen: HS 0.25 (900 ticks visible), every lane of both
// sides full of notes or long notes, a bomb and a lit beam on every lane, both judgements with
// combos, a 256 x 256 background with a layer, the information panel and the title. Must stay
// under 0.5 ms median per frame. The present is measured separately: on the headless device
// (compare and copy of the frame) and, when SDL can open a window here, on the real device
// (upload into the streaming texture, copy, present).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "chart/modBMSLoad.h"
#include "display/modDraw.h"
#include "platform/headless.h"
#include "platform/platform.h"
#include "play/modCount.h"
#include "play/modKey.h"
#include "shell/modMain.h"

namespace {

using modBMSLoad::Obj;
using vb::Currency;

plat::Image Picture(int w, int h, bool holes) {
    plat::Image img{w, h, std::vector<uint32_t>(static_cast<size_t>(w) * h)};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            bool hole = holes && ((x / 16 + y / 16) % 2 == 0);
            img.pixels[static_cast<size_t>(y) * w + x] =
                hole ? 0 : (0x10000u * (x & 255) + 0x100u * (y & 255) + 0x40u);
        }
    return img;
}

struct Note {
    double pos;
    int channel;
    int kind;
    int pair;  // index of the partner in the unsorted list, -1 for none
};

// Every lane full: 1P lanes a note every 20 ticks (5 rows at HS 0.25: the notes touch), 2P lanes
// long notes of 60 ticks with 20-tick gaps.
void BuildChart() {
    std::vector<Note> notes;
    for (int p = 0; p < 1000; p += 20) {
        for (int c : {11, 12, 13, 14, 15, 16, 17, 18})
            notes.push_back({double(p), c, modBMSLoad::KIND_NORMAL, -1});
        if (p % 80 == 0)
            for (int c : {21, 22, 23, 24, 25, 26, 27, 28}) {
                int start = static_cast<int>(notes.size());
                notes.push_back({double(p), c, modBMSLoad::KIND_LN_START, start + 1});
                notes.push_back({double(p + 60), c, modBMSLoad::KIND_LN_END, start});
            }
    }
    std::vector<int> order(notes.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return notes[a].pos < notes[b].pos; });
    std::vector<int> where(notes.size());
    for (size_t i = 0; i < order.size(); ++i) where[order[i]] = static_cast<int>(i);
    Obj.ReDim(static_cast<long>(notes.size()) - 1);
    for (size_t i = 0; i < order.size(); ++i) {
        const Note& n = notes[order[i]];
        auto& o = Obj[static_cast<long>(i)];
        o.Enabled = -1;
        o.Channel = static_cast<vb::Integer>(n.channel);
        o.Kind = n.kind;
        o.Pos = Currency::FromDouble(n.pos);
        o.Link = n.pair < 0 ? 0 : where[n.pair];
    }
    modBMSLoad::MaxMeasure = 6;
    for (int m = 0; m <= 6; ++m) modBMSLoad::BarLine[m].Pos = Currency::FromInt(192 * m);
    modBMSLoad::TotalTime = Currency::FromInt(60000);
    modBMSLoad::Player = 3;
    modBMSLoad::NoteCount[0] = 1200;
    modBMSLoad::RandomText = " 1 2 3";
}

void SetUpScreen() {
    plat::InstallHeadless();
    plat::SetExitThrows(true);
    modMain::Reset();
    modCount::Reset();
    modKey::Reset();
    modBMSLoad::Reset();
    const std::string art = std::string(KORVANE_SOURCE_DIR) + "/assets/image/";
    modDraw::FontSurface.init(art + "font.png");
    for (int i = 0; i < 4; ++i) modDraw::Skin[i].init(art + "skin_0" + std::to_string(i) + ".png");
    if (!modDraw::TitleSurface.initText("[BENCH] The densest screen there is / Korvane"))
        modDraw::TitleSurface.initFromPictureBox(Picture(300, 16, false));
    modDraw::BmpSurface[1].initFromPictureBox(Picture(256, 256, false));
    modDraw::BmpSurface[2].initFromPictureBox(Picture(256, 256, true));
    BuildChart();
    auto& set = modMain::Settings;
    set.HS = 0.25f;
    set.Effect = 7;
    set.BGA = 3;
    set.DispInfo = true;
    modMain::PlayState = modMain::PS_PLAY;
    modCount::BGABase = 1;
    modCount::BGALayer = 2;
    for (int side = 0; side < 2; ++side) {
        auto& s = modCount::Score[side];
        s.JudgeVisible = true;
        s.Judge = 0;
        s.ShownCombo = 1234;
    }
}

// Lights every lane and starts every bomb again, as a very busy play step would.
void Busy(vb::Long now) {
    modCount::ElapsedTime = now;
    for (int c = 11; c <= 28; ++c) {
        if (c == 19 || c == 20) continue;
        modCount::LaneFlash[c - 10] = true;
        modCount::LaneFlashTime[c - 10] = now;
        modCount::Bomb[c - 10] = modCount::BombState{true, now - 40, c % 2, c > 20};
    }
    for (auto& s : modCount::Score) s.JudgeVisible = true, s.JudgeTime = now - 200;
}

void DrawMainDensest(benchmark::State& state) {
    SetUpScreen();
    vb::Long now = 1000;
    int64_t step = 0;
    for (auto _ : state) {
        // The field moves a little every frame, so no two frames are the same.
        modCount::PlayPos = Currency::FromRaw((step % 200) * 1000);
        modCount::PlayTime = Currency::FromInt(step % 60000);
        Busy(now);
        modDraw::DrawMain();
        ++step;
        now += 16;
    }
    state.counters["objects"] = static_cast<double>(Obj.UBound() + 1);
}
BENCHMARK(DrawMainDensest)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly();

// The headless device's present: compare with the frame on screen, then copy.
void PresentHeadless(benchmark::State& state) {
    plat::HeadlessDevice& dev = plat::InstallHeadless();
    std::vector<uint32_t> frame(587 * 256, 0x123456);
    uint32_t k = 0;
    for (auto _ : state) {
        frame[(k * 7919) % frame.size()] = k;  // a changed pixel somewhere: no skip
        dev.Present(frame.data(), 587, 256);
        ++k;
    }
}
BENCHMARK(PresentHeadless)->Unit(benchmark::kMicrosecond);

// The SDL device's present (streaming-texture upload, copy, present), when a window can be
// opened here: a display, or SDL's offscreen driver.
void PresentSdl(benchmark::State& state) {
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") &&
        !std::getenv("SDL_VIDEODRIVER"))
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
    std::unique_ptr<plat::Device> dev = plat::MakeSdlDevice();
    if (!dev || !dev->OpenVideo(587, 256)) {
        state.SkipWithError("no SDL video device here");
        for (auto _ : state) {
        }
        return;
    }
    dev->SetVsync(false);
    std::vector<uint32_t> frame(587 * 256, 0x123456);
    uint32_t k = 0;
    for (auto _ : state) {
        frame[(k * 7919) % frame.size()] = k;
        dev->Present(frame.data(), 587, 256);
        ++k;
    }
    dev->CloseVideo();
}
BENCHMARK(PresentSdl)->Unit(benchmark::kMicrosecond);

}  // namespace

// main() comes from bench/mixer_bench.cpp: the benchmarks share one program.
