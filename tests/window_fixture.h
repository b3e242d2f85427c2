// The main window on the headless device: a started program in a fresh folder, charts written
// on the spot, and frames of the real loop.
#pragma once

#include <initializer_list>
#include <string>

#include "shell_fixture.h"

namespace windowtest {

namespace fs = std::filesystem;

class WindowTest : public shelltest::ShellTest {
  protected:
    // A chart of `measures` measures at 120 BPM with a note on every beat and no sounds.
    std::string WriteChart(const std::string& path, int measures = 8) {
        std::string text = "#PLAYER 1\r\n#TITLE Window\r\n#BPM 120\r\n";
        char line[32];
        for (int m = 1; m <= measures; ++m) {
            std::snprintf(line, sizeof line, "#%03d11:01010101\r\n", m);
            text += line;
        }
        shelltest::WriteText(path, text);
        return path;
    }
    std::string Chart(const std::string& name, int measures = 8) {
        return WriteChart(Path(name), measures);
    }

    // Runs whole frames of the loop; the virtual clock moves `ms` after each.
    void Frames(int n, int ms = 16) {
        for (int i = 0; i < n; ++i) {
            modMain::RunFrame();
            dev->Advance(ms);
        }
    }

    // Starts the program and loads `chart` as the window would after a drop.
    void StartPlaying(const std::string& chart) {
        modMain::StartUp();
        Drop({chart});
        Frames(2);
        ASSERT_EQ(modMain::PlayState, modMain::PS_PLAY) << chart;
    }

    // The files of one drop, delivered by the next message pass.
    void Drop(std::initializer_list<std::string> paths, uint32_t drop = 1) {
        for (const std::string& p : paths)
            dev->PushEvent({plat::Event::Type::DropFile, p, 0, drop});
    }
    void Wheel(int delta) { dev->PushEvent({plat::Event::Type::Wheel, "", delta}); }
    void DoubleClick() { dev->PushEvent({plat::Event::Type::DoubleClick, "", 0}); }

    // A chart whose full path is exactly `length` characters long, in folders of 200.
    std::string ChartAtPathOfLength(size_t length) {
        std::string folder = dir;
        while (length - folder.size() > 250) folder += "/" + std::string(200, 'd');
        fs::create_directories(folder);
        size_t nameLength = length - folder.size() - 1;
        std::string name = std::string(nameLength - 4, 'c') + ".bms";
        return WriteChart(folder + "/" + name);
    }
};

}  // namespace windowtest
