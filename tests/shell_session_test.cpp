// The player on the headless device driven by case tables: a program folder with krv.ini (and
// error.txt) as given, the device set up as given, a command line, keys, frames and window
// events as a script, and then the state, krv.ini, error.txt and message boxes it leaves. The
// fields are explained at the top of tests/data/shell/settings.txt.
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <regex>
#include <sstream>
#include <variant>

#include "shell/cmdline.h"
#include "support.h"

namespace {

namespace fs = std::filesystem;
using modMain::Settings;
using Var = std::variant<float*, int32_t*, int16_t*, bool*, std::string*>;
using Event = plat::Event::Type;

// The program's variables a record may set ("set Name") and check ("Name").
const std::map<std::string, Var> kVars = {{"HS", &Settings.HS},
                                          {"BGA", &Settings.BGA},
                                          {"Effect", &Settings.Effect},
                                          {"SkinType", &Settings.SkinType},
                                          {"Volume", &Settings.Volume},
                                          {"AutoPlay", &Settings.AutoPlay},
                                          {"Frequency", &Settings.Frequency},
                                          {"MaxFrequency", &Settings.MaxFrequency},
                                          {"VSYNC", &Settings.VSYNC},
                                          {"SinglePlay", &Settings.SinglePlay},
                                          {"AlwaysOnTop", &Settings.AlwaysOnTop},
                                          {"DispInfo", &Settings.DispInfo},
                                          {"ShowDebug", &Settings.ShowDebug},
                                          {"FrameRate", &Settings.FrameRate},
                                          {"PlayState", &modMain::PlayState},
                                          {"Measure", &modCount::CurrentMeasure},
                                          {"MaxMeasure", &modBMSLoad::MaxMeasure},
                                          {"StartMeasure", &modBMSLoad::StartMeasure},
                                          {"ConfigRetry", &modMain::ConfigRetry},
                                          {"FramePeriod", &modMain::FramePeriod},
                                          {"FpsFrames", &modMain::FpsFrames},
                                          {"FpsTime", &modMain::FpsTime},
                                          {"Fps", &modMain::Fps},
                                          {"Chart", &modBMSLoad::BMSFileName},
                                          {"DialogFile", &frmMain::DialogFileName},
                                          {"Scratch1P", &modKey::LaneX1PScratch},
                                          {"Scratch2P", &modKey::LaneX2PScratch}};

const std::set<std::string> kInputs = {
    "name", "settings-file", "app",   "ini",   "errortxt", "readonly", "screen", "font",  "refresh",
    "fail", "args",          "frame", "watch", "put",      "get",      "start",  "chart", "line",
    "via",  "repeat",        "tail",  "steps", "exit",     "log",      "box",    "saved"};

// The text of a variable, after it was set from `text` when one is given.
std::string Access(const Var& var, const std::string* text = nullptr) {
    return std::visit(
        [&](auto* p) -> std::string {
            using T = std::remove_pointer_t<decltype(p)>;
            if constexpr (std::is_same_v<T, std::string>) {
                if (text) *p = *text;
                return *p;
            } else if constexpr (std::is_same_v<T, bool>) {
                if (text) *p = *text == "True";
                return vb::BoolText(*p);
            } else if constexpr (std::is_same_v<T, float>) {
                if (text) *p = std::stof(*text);
                return vb::RoundTrip(*p);
            } else {
                if (text) *p = static_cast<T>(std::stol(*text));
                return std::to_string(*p);
            }
        },
        var);
}

std::vector<std::string> Split(const std::string& text, char by) {
    std::vector<std::string> parts;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, by);)
        if (!part.empty() || by != ' ') parts.push_back(part);
    return parts;
}

// While it lives no file of this process can grow past zero bytes: a folder that cannot be
// written even by root, who ignores permission bits.
struct NoFileWrites {
    rlimit old{};
    NoFileWrites() {
        getrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit none{0, old.rlim_max};
        setrlimit(RLIMIT_FSIZE, &none);
    }
    ~NoFileWrites() { setrlimit(RLIMIT_FSIZE, &old); }
};

// Loads started, counted by wrapping the hook the shell installed.
int g_loads = 0;
void (*g_loadStarted)(const std::string&) = nullptr;

class Session {
  public:
    explicit Session(const testsupport::Case& c) : c_(c) {}

    void Run(bool startByDefault) {
        dev_ = &testsupport::ResetAll();
        modMain::UseSettingsFile = Get("settings-file") != "no";
        modMain::AppPath = dir_.path() + "/";
        fs::current_path(dir_.path());
        Prepare();
        std::optional<NoFileWrites> readOnly;
        if (Get("readonly") == "yes") readOnly.emplace();
        try {
            Act(c_.has("start") ? Get("start") == "yes" : startByDefault);
        } catch (const plat::ProcessExit& e) {
            exit_ = std::to_string(e.code);
        }
        readOnly.reset();
        Check();
    }

  private:
    std::string Get(const std::string& key) const {
        std::string v = c_.has(key) ? c_.at(key) : "";
        static const std::regex dir("<dir>");
        return std::regex_replace(v, dir, dir_.path());
    }
    int Number(const std::string& key, int otherwise) const {
        return c_.has(key) ? std::stoi(Get(key)) : otherwise;
    }

    static void WriteChart(const std::string& name, int measures) {
        std::string text = "#PLAYER 1\r\n#TITLE Window\r\n#BPM 120\r\n";
        for (int m = 1; m <= measures; ++m)
            text += "#" + modMain::ZeroPad(m, 3) + "11:01010101\r\n";
        testsupport::WriteFile(name, text);
    }

    void Prepare() {
        for (const char* chart : {"a.bms", "b.BME", "c.bml", "d.pms", "e.tmp", "a b.bms", "*.bms",
                                  "曲 名.bme", "x -N5 y.bms", "other.bms"})
            WriteChart(chart, 4);
        testsupport::WriteFile("f.txt", "x");
        std::string junk;
        for (int i = 0; i < 70000; ++i) junk += static_cast<char>((i * 7919) >> 3);
        testsupport::WriteFile("junk.bms", junk);
        fs::create_directory("folder.bms");
        if (c_.has("chart")) WriteChart("song.bms", Number("chart", 0));
        if (Get("ini") == "<folder>")
            fs::create_directory("krv.ini");
        else if (c_.has("ini"))
            testsupport::WriteFile("krv.ini", Get("ini"));
        if (c_.has("errortxt")) testsupport::WriteFile("error.txt", Get("errortxt"));
        if (Get("app") == "<under-file>") modMain::AppPath = dir_ / "f.txt/";
        std::vector<std::string> screen = Split(Get("screen"), ' ');
        if (screen.size() == 2) dev_->SetScreenSize(std::stoi(screen[0]), std::stoi(screen[1]));
        dev_->SetRefreshRate(Number("refresh", 60));
        if (c_.has("font")) dev_->SetFontFace(Get("font"));
        dev_->FailVideo(Get("fail") == "video");
        dev_->FailAudio(Get("fail") == "audio");
        std::vector<std::string> args = Split("korvane|" + Get("args"), '|');
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        plat::SetCommandLine(static_cast<int>(argv.size()), argv.data());
    }

    void Act(bool start) {
        for (const std::string& put : Split(Get("put"), '\n')) {
            size_t slash = put.find('/'), eq = put.find('=');
            modMain::WriteIni(put.substr(0, slash), put.substr(slash + 1, eq - slash - 1),
                              put.substr(eq + 1));
        }
        std::string got;
        for (const std::string& get : Split(Get("get"), '\n'))
            got += "\n" + modMain::GetIni(get.substr(0, get.find('/')),
                                          get.substr(get.find('/') + 1), "-");
        out_["Got"] = got.substr(got.empty() ? 0 : 1);
        if (start) modMain::StartUp();
        modMain::FramePeriod = 0;  // frames take the script's time
        g_loadStarted = modBMSLoad::LoadStartedHook;
        modBMSLoad::LoadStartedHook = [](const std::string& name) {
            ++g_loads, g_loadStarted(name);
        };
        if (c_.has("chart")) Steps("drop:song.bms f2");
        for (const auto& [key, value] : c_.fields) {
            std::string text = Get(key);
            if (key.rfind("set ", 0) == 0) Access(kVars.at(key.substr(4)), &text);
        }
        if (c_.has("line")) ReadLine();
        g_loads = 0;
        Steps(Get("steps"));
    }

    void ReadLine() {
        std::string line = Get("line");
        for (int i = 1; i < Number("repeat", 1); ++i) line += Get("line");
        line += Get("tail");
        if (Get("via") == "drop")
            out_["Taken"] = vb::BoolText(frmMain::Form_OLEDragDrop(line));
        else if (Get("via") == "handover")
            modMessage::HandleHandOver(line);
        else
            out_["Taken"] = vb::BoolText(modMain::ReadCmdLine(line));
    }

    void Keys(const std::string& name, bool down) {
        static const std::map<std::string, int> named = {
            {"Space", 32}, {"Ctrl", 17}, {"Esc", 27}, {"Home", 36}, {"End", 35},
            {"PgUp", 33},  {"PgDn", 34}, {"Up", 38},  {"Down", 40}, {"F1", 112}};
        int key = name == "all" ? -1 : name.size() == 1 ? name[0] : named.at(name);
        for (int vk = 0; vk < 256; ++vk)
            if (key < 0 ? vk != 27 : vk == key) dev_->SetKey(vk, down);
    }

    void Frames(const std::string& count) {
        for (int i = 0; i < (count.empty() ? 1 : std::stoi(count)); ++i) {
            int32_t now = dev_->Now();
            modMain::RunFrame();
            if (c_.has("watch") &&
                modKey::KeyState[static_cast<unsigned char>(Get("watch")[0])] == 2)
                out_["Presses"] += (out_["Presses"].empty() ? "" : " ") + std::to_string(now - t0_);
            dev_->Advance(Number("frame", 16));
        }
    }

    void Steps(const std::string& script) {
        using Arg = const std::string&;
        const std::map<std::string, std::function<void(Arg)>> steps = {
            {"+", [&](Arg a) { Keys(a, true); }},
            {"-", [&](Arg a) { Keys(a, false); }},
            {"f", [&](Arg a) { Frames(a); }},
            {"w", [&](Arg a) { dev_->Advance(std::stoi(a)); }},
            {"t", [&](Arg a) { dev_->SetTime(std::stoi(a)); }},
            {"away", [&](Arg) { dev_->SetActive(false); }},
            {"back", [&](Arg) { dev_->SetActive(true); }},
            {"wheel",
             [&](Arg a) {
                 dev_->PushEvent({Event::Wheel, "", std::stoi(a)});
             }},
            {"quit",
             [&](Arg) {
                 dev_->PushEvent({Event::Quit, "", 0});
             }},
            {"count", [&](Arg) { modCount::CountMain(); }},
            {"end", [&](Arg) { modMain::ShutDown(0, "", ""); }},
            {"drop",
             [&](Arg a) {
                 ++drop_;
                 for (const std::string& p : Split(a, '|'))
                     dev_->PushEvent({Event::DropFile, p, 0, drop_});
             }},
            {"dbl", [&](Arg a) {
                 dev_->SetDialogResult(a.empty() ? std::nullopt : std::optional(a));
                 dev_->PushEvent({Event::DoubleClick, "", 0});
             }}};
        t0_ = dev_->Now();
        for (const std::string& s : Split(script, ' ')) {
            size_t colon = s.find(':');
            bool counted = s.size() > 1 && (std::isdigit(static_cast<unsigned char>(s[1])) ||
                                            s[1] == '-' || s[0] == '+' || s[0] == '-');
            size_t at = colon != std::string::npos ? colon : counted ? 0 : s.size();
            steps.at(s.substr(0, at + counted))(s.substr(std::min(s.size(), at + 1)));
        }
    }

    void Check() {
        int x = 0, y = 0;
        dev_->GetWindowPos(x, y);
        out_.insert({{"Window", std::to_string(x) + " " + std::to_string(y)},
                     {"Font", dev_->FontFace()},
                     {"OnTop", vb::BoolText(dev_->AlwaysOnTop())},
                     {"Caption", dev_->Caption()},
                     {"Shown", vb::BoolText(dev_->Shown())},
                     {"Clock", std::to_string(dev_->Now())},
                     {"Loads", std::to_string(g_loads)},
                     {"CommandLine", plat::CommandLine()},
                     {"HandOverLine", plat::HandOverCommandLine()}});
        for (const auto& [name, var] : kVars) out_[name] = Access(var);
        std::string expected, actual, boxes;
        for (const auto& [key, value] : c_.fields) {
            if (out_.count(key)) {
                expected += key + ": " + Get(key) + "\n";
                actual += key + ": " + out_[key] + "\n";
            }
            EXPECT_TRUE(out_.count(key) || kInputs.count(key) || key.rfind("set ", 0) == 0) << key;
        }
        for (const std::string& b : dev_->MessageBoxes()) boxes += b + "\n";
        std::regex when(R"(\d{4}/\d\d/\d\d {4}\d\d:\d\d:\d\d {6})");
        std::string log =
            std::regex_replace(testsupport::ReadFile(dir_ / "error.txt"), when, "<when>");
        expected +=
            "exit: " + Get("exit") + "\nerror.txt:\n" + Get("log") + "boxes:\n" + Get("box");
        actual += "exit: " + exit_ + "\nerror.txt:\n" + log + "boxes:\n" + boxes;
        if (c_.has("saved")) {
            expected += "krv.ini:\n" + Get("saved");
            actual += "krv.ini:\n" + testsupport::ReadFile(dir_ / "krv.ini");
        }
        EXPECT_TRUE(testsupport::SameText(expected, actual));
    }

    const testsupport::Case& c_;
    testsupport::TempDir dir_;
    plat::HeadlessDevice* dev_ = nullptr;
    std::map<std::string, std::string> out_ = {{"Taken", ""}, {"Presses", ""}};
    std::string exit_;
    int32_t t0_ = 0;
    uint32_t drop_ = 0;
};

void RunTable(const std::string& table, bool startByDefault) {
    fs::path cwd = fs::current_path();
    for (const testsupport::Case& c : testsupport::ReadCases(testsupport::DataPath(table))) {
        SCOPED_TRACE(table + ":" + std::to_string(c.line) + " " + c.at("name"));
        Session(c).Run(startByDefault);
    }
    fs::current_path(cwd);
    testsupport::ResetAll();
}

TEST(ShellSession, Profile) {
    RunTable("shell/profile.txt", false);
}
TEST(ShellSession, Settings) {
    RunTable("shell/settings.txt", true);
}
TEST(ShellSession, CommandLine) {
    RunTable("shell/cmdline.txt", false);
}
TEST(ShellSession, StartAndEnd) {
    RunTable("shell/startup.txt", true);
}
TEST(ShellSession, WindowEvents) {
    RunTable("shell/window.txt", true);
}
TEST(ShellSession, Keys) {
    RunTable("keys/keys.txt", true);
}

}  // namespace
