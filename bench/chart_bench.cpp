// Chart loading speed: a large realistic chart (about 100,000 objects over 999 measures, both
// sides, long notes, tempo changes and stops) and pathological ones (a long-note lane with no
// partners, thousands of objects at one position). Run: build/korvane-bench
// --benchmark_filter=Chart
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <string>

#include "chart/modBMSLoad.h"
#include "platform/headless.h"
#include "platform/platform.h"
#include "play/modCount.h"
#include "shell/modMain.h"
#include "shell/settings.h"

namespace {

using namespace modBMSLoad;

std::string Base36(int v) {
    const char* d = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    return std::string{d[v / 36 % 36], d[v % 36]};
}

std::string Head(int measure, int channel) {
    char h[16];
    std::snprintf(h, sizeof h, "#%03d%02d:", measure, channel);
    return h;
}

// One line of `slots` slots with about `notes` ids spread over it.
std::string Line(std::mt19937& rng, int measure, int channel, int slots, int notes) {
    std::string data(static_cast<size_t>(slots) * 2, '0');
    for (int k = 0; k < notes; ++k) {
        int s = static_cast<int>(rng() % static_cast<unsigned>(slots));
        std::string id = Base36(1 + static_cast<int>(rng() % 1295));
        data[static_cast<size_t>(2 * s)] = id[0];
        data[static_cast<size_t>(2 * s + 1)] = id[1];
    }
    return Head(measure, channel) + data + "\r\n";
}

std::string BigChart() {
    std::mt19937 rng(1);
    std::string t = "#PLAYER 3\r\n#TITLE Benchmark\r\n#ARTIST Korvane\r\n#BPM 150\r\n";
    for (int id = 1; id <= 40; ++id) {
        t += "#BPM" + Base36(id) + " " + std::to_string(100 + id * 3) + "\r\n";
        t += "#STOP" + Base36(id) + " " + std::to_string(id * 4) + "\r\n";
    }
    const int lanes[] = {11, 12, 13, 14, 15, 16, 18, 19, 21, 22, 23, 24, 25, 26, 28, 29};
    for (int m = 0; m < 999; ++m) {
        if (m % 50 == 7) t += Head(m, 2) + "0.75\r\n";
        t += Line(rng, m, 1, 16, 10);
        t += Line(rng, m, 1, 8, 4);
        t += Line(rng, m, 1, 4, 2);
        for (int lane : lanes) t += Line(rng, m, lane, 16, 6);
        t += Head(m, 51) + "01000000000000000000000000000100\r\n";
        t += Head(m, 65) + "00000100000000000000000001000000\r\n";
        if (m % 4 == 0) t += Head(m, 3) + "0000" + Base36(60 + m % 100).substr(0, 1) + "0\r\n";
        if (m % 5 == 1) t += Head(m, 8) + "00" + Base36(1 + m % 40) + "\r\n";
        if (m % 6 == 2) t += Head(m, 9) + "000000" + Base36(1 + m % 40) + "\r\n";
        t += Head(m, 4) + "01000000\r\n";
    }
    return t;
}

// 20,000 long-note objects on one lane, all at one position: each is a start, none finds a
// partner ahead, and the pile sits at position 0, where cleared records still count as "here".
std::string LongNotePile() {
    std::string t;
    for (int i = 0; i < 20000; ++i) t += "#00051:" + Base36(1 + i % 1295) + "\n";
    t += "#00111:01\n";
    return t;
}

// 20,000 long-note objects along one lane, each followed by a wide gap of other lanes' objects.
std::string LongNoteLane() {
    std::mt19937 rng(3);
    std::string t;
    for (int m = 0; m < 999; ++m) {
        t += Head(m, 51) + std::string(40, '0');
        for (int k = 0; k < 20; ++k) t.replace(t.size() - 40 + 2 * static_cast<size_t>(k), 2, "01");
        t += "\n";
        for (int lane : {12, 13, 14, 15, 21, 22, 23, 24}) t += Line(rng, m, lane, 16, 10);
    }
    return t;
}

// 10,000 objects at one position (measure 1, slot 0) on mixed channels.
std::string OnePosition() {
    std::string t;
    const int channels[] = {1, 1, 1, 4, 11, 12, 21, 51, 9, 3};
    for (int i = 0; i < 10000; ++i) t += Head(1, channels[i % 10]) + Base36(1 + i % 1295) + "\n";
    t += "#STOP01 10\n";
    return t;
}

// 160,000 lines of one background sound at the start of measure 1: 100,000 identical objects and
// more at one position other than 0.
std::string IdenticalPile() {
    std::string t;
    for (int i = 0; i < 160000; ++i) t += "#00101:01\n";
    return t;
}

// 10,000 background sounds at position 0.
std::string OnePositionAtZero() {
    std::string t;
    for (int i = 0; i < 10000; ++i) t += "#00001:" + Base36(1 + i % 1295) + "\n";
    return t;
}

class ChartFile {
  public:
    explicit ChartFile(const std::string& text) {
        char pattern[] = "/tmp/korvane-bench-XXXXXX";
        int fd = mkstemp(pattern);
        close(fd);
        path_ = std::string(pattern) + ".bms";
        std::rename(pattern, path_.c_str());
        std::ofstream(path_, std::ios::binary) << text;
        size_ = text.size();
    }
    ~ChartFile() { std::remove(path_.c_str()); }
    const std::string& Path() const { return path_; }
    size_t Size() const { return size_; }

  private:
    std::string path_;
    size_t size_ = 0;
};

void Prepare() {
    static bool done = false;
    if (done) return;
    done = true;
    plat::InstallHeadless();
    plat::SetExitThrows(true);
    modMain::InstallHooks();
    modMain::AppTitle = "Korvane 1.0.0";
    modMain::UseSettingsFile = false;
    modMain::UseInstanceHandOver = false;
    SetRandomSeed(1);
}

// Reading, parsing, sorting and timing: the load without the title picture.
void LoadModel(const std::string& path) {
    BMSFileName = path;
    modMain::PlayState = modMain::PS_LOAD;
    LoadBMSStart();
    if (LoadBMSData() != 0) LoadBMSSort();
}

void Report(benchmark::State& state, const ChartFile& file) {
    state.counters["objects"] = static_cast<double>(ObjCount);
    state.counters["records"] = static_cast<double>(Obj.UBound() + 1);
    state.counters["notes"] = static_cast<double>(NoteCount[0]);
    state.counters["bytes"] = static_cast<double>(file.Size());
}

void RunModel(benchmark::State& state, const std::string& text) {
    Prepare();
    ChartFile file(text);
    for (auto _ : state) LoadModel(file.Path());
    Report(state, file);
}

void BM_ChartLoad100k(benchmark::State& state) {
    RunModel(state, BigChart());
}

// The same chart through LoadBMS, as the play clock calls it (title picture and caption too).
void BM_ChartLoadBMS100k(benchmark::State& state) {
    Prepare();
    ChartFile file(BigChart());
    for (auto _ : state) {
        BMSFileName = file.Path();
        modMain::PlayState = modMain::PS_LOAD;
        LoadBMS();
    }
    Report(state, file);
}

void BM_ChartSortAndTime100k(benchmark::State& state) {
    Prepare();
    ChartFile file(BigChart());
    for (auto _ : state) {
        state.PauseTiming();
        BMSFileName = file.Path();
        LoadBMSStart();
        LoadBMSData();
        state.ResumeTiming();
        LoadBMSSort();
    }
    Report(state, file);
}

void BM_ChartLongNotePile(benchmark::State& state) {
    RunModel(state, LongNotePile());
}
void BM_ChartLongNoteLane(benchmark::State& state) {
    RunModel(state, LongNoteLane());
}
void BM_ChartOnePosition(benchmark::State& state) {
    RunModel(state, OnePosition());
}
void BM_ChartIdenticalPile(benchmark::State& state) {
    RunModel(state, IdenticalPile());
}
void BM_ChartOnePositionAtZero(benchmark::State& state) {
    RunModel(state, OnePositionAtZero());
}

}  // namespace

BENCHMARK(BM_ChartLoad100k)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_ChartLoadBMS100k)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_ChartSortAndTime100k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChartLongNotePile)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ChartLongNoteLane)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ChartOnePosition)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ChartIdenticalPile)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ChartOnePositionAtZero)->Unit(benchmark::kMillisecond)->Iterations(3);
