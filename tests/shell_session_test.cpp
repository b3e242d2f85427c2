// The player on the headless device driven by case tables: a program folder with krv.ini (and
// error.txt) as given, the device set up as given, a command line, keys, frames, window events
// and hand-over senders as a script, and then the state, krv.ini, error.txt and message boxes it
// leaves. The fields are explained at the top of tests/data/shell/settings.txt.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <sys/un.h>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <functional>
#include <future>
#include <regex>
#include <set>
#include <sstream>
#include <thread>
#include <variant>

#include "platform/file_dialog.h"
#include "platform/instance.h"
#include "shell/cmdline.h"
#include "support.h"

namespace {

namespace fs = std::filesystem;
using modMain::Settings;
using Var = std::variant<float*, int32_t*, int16_t*, bool*, std::string*>;
using Event = plat::Event::Type;
using Action = struct sigaction;

// The program's variables a record may set ("set Name") and check ("Name"), in the same order.
template <typename... T>
std::vector<Var> Vars(T*... variables) {
    return {variables...};
}
const std::vector<Var> kVars = Vars(
    &Settings.HS, &Settings.BGA, &Settings.Effect, &Settings.SkinType, &Settings.Volume,
    &Settings.AutoPlay, &Settings.Frequency, &Settings.MaxFrequency, &Settings.VSYNC,
    &Settings.SinglePlay, &Settings.AlwaysOnTop, &Settings.DispInfo, &Settings.ShowDebug,
    &Settings.FrameRate, &modMain::PlayState, &modCount::CurrentMeasure, &modBMSLoad::MaxMeasure,
    &modBMSLoad::StartMeasure, &modMain::ConfigRetry, &modMain::FramePeriod, &modMain::FpsFrames,
    &modMain::FpsTime, &modMain::Fps, &modBMSLoad::BMSFileName, &frmMain::DialogFileName,
    &modKey::LaneX1PScratch, &modKey::LaneX2PScratch);
const char kVarNames[] =
    "HS BGA Effect SkinType Volume AutoPlay Frequency MaxFrequency VSYNC SinglePlay AlwaysOnTop "
    "DispInfo ShowDebug FrameRate PlayState Measure MaxMeasure StartMeasure ConfigRetry "
    "FramePeriod FpsFrames FpsTime Fps Chart DialogFile Scratch1P Scratch2P";

// The program's variables as text, and set from text.
struct Text {
    static std::string Of(std::string* p) { return *p; }
    static std::string Of(bool* p) { return vb::BoolText(*p); }
    static std::string Of(float* p) { return vb::RoundTrip(*p); }
    static std::string Of(int32_t* p) { return std::to_string(*p); }
    static std::string Of(int16_t* p) { return std::to_string(*p); }
    static void Set(std::string* p, const std::string& t) { *p = t; }
    static void Set(bool* p, const std::string& t) { *p = t == "True"; }
    static void Set(float* p, const std::string& t) { *p = std::stof(t); }
    static void Set(int32_t* p, const std::string& t) { *p = std::stoi(t); }
    static void Set(int16_t* p, const std::string& t) { *p = static_cast<int16_t>(std::stoi(t)); }
};

std::vector<std::string> Split(const std::string& text, char by) {
    std::vector<std::string> parts;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, by);)
        if (!part.empty() || by != ' ') parts.push_back(part);
    return parts;
}

const Var& VarNamed(const std::string& name) {
    static const std::vector<std::string> names = Split(kVarNames, ' ');
    return kVars.at(std::find(names.begin(), names.end(), name) - names.begin());
}

// A regular file's bytes; nothing for anything else (reading a FIFO would wait for a writer).
std::string Contents(const fs::path& path) {
    return fs::is_regular_file(path) ? testsupport::ReadFile(path) : "";
}

// What a name of the program folder is: "link TARGET", "file MODE" (octal) or "none".
std::string Kind(const std::string& name) {
    struct stat st;
    if (lstat(name.c_str(), &st) != 0) return "none";
    if (S_ISLNK(st.st_mode)) return "link " + fs::read_symlink(name).string();
    char mode[8];
    std::snprintf(mode, sizeof mode, "%o", st.st_mode & 07777);
    return (S_ISREG(st.st_mode) ? "file " : "other ") + std::string(mode);
}

// A record's field "ResolvePath(name)", "InstanceSocketPath(folder)", "Kind(name)" or
// "ListSameBase(folder,base)": the result as text.
std::string Call(const std::string& call) {
    std::string name = call.substr(0, call.find('('));
    std::vector<std::string> a =
        Split(call.substr(name.size() + 1, call.size() - name.size() - 2), ',');
    a.resize(2);
    if (name == "ResolvePath") return plat::ResolvePath(a[0]);
    if (name == "InstanceSocketPath") return plat::InstanceSocketPath(a[0].c_str());
    if (name == "Kind") return Kind(a[0]);
    std::string list;  // ListSameBase
    for (const std::string& n : plat::ListSameBase(a[0], a[1]))
        list += (list.empty() ? "" : "|") + n;
    return list;
}

const std::regex kDir("<dir>"), kUid("<uid>"), kData("<data>");

// Loads started, counted and named by wrapping the hook the shell installed.
int g_loads = 0;
std::string g_loaded;
void (*g_loadStarted)(const std::string&) = nullptr;

class Session {
  public:
    explicit Session(const testsupport::Case& c) : c_(c) {}

    void Run() {
        if (Get("root") == "yes" && getuid() != 0) return;  // acting as another user needs root
        dev_ = &testsupport::ResetAll();
        modMain::UseSettingsFile = Get("settings-file") != "no";
        modMain::AppPath = dir_.path() + "/";
        fs::current_path(dir_.path());
        plat::SetInstanceSocketPathForTests(socket_);
        plat::SetInstanceIdleLimitForTests(60000);
        Prepare();
        // Read-only: no file of this process can grow past zero bytes, which stops even root.
        rlimit unlimited{}, none{};
        getrlimit(RLIMIT_FSIZE, &unlimited);
        none.rlim_max = unlimited.rlim_max;
        std::signal(SIGXFSZ, SIG_IGN);
        if (Get("readonly") == "yes") setrlimit(RLIMIT_FSIZE, &none);
        std::promise<void> done;
        std::thread watch(&Session::Watch, this, done.get_future());
        // Through a pipe, which the read-only runs' file size limit does not stop.
        int err = dup(2), pipe[2];
        EXPECT_EQ(pipe2(pipe, O_CLOEXEC), 0);
        dup2(pipe[1], 2), close(pipe[1]);
        std::future<std::string> captured = std::async(std::launch::async, [fd = pipe[0]] {
            std::string text;
            char buf[4096];
            for (ssize_t n; (n = read(fd, buf, sizeof buf)) != 0;)
                if (n > 0)
                    text.append(buf, size_t(n));
                else if (errno != EINTR)
                    break;  // the dialog records' timer interrupts reads
            return close(fd), text;
        });
        try {
            Act(Get("start") != "no");
        } catch (const plat::ProcessExit& e) {
            exit_ = std::to_string(e.code);
        }
        dup2(err, 2), close(err);
        done.set_value(), watch.join();
        for (int fd : unblock_) close(fd);
        EXPECT_FALSE(blocked_) << "the run blocked on a FIFO";
        out_["stderr"] = captured.get();
        setrlimit(RLIMIT_FSIZE, &unlimited);
        Check();
        plat::SetInstanceSocketPathForTests("");
        plat::SetInstanceIdleLimitForTests(2000);
    }

  private:
    std::string Expand(const std::string& s) const {
        std::string uid = std::to_string(getuid());
        std::string t = std::regex_replace(std::regex_replace(s, kDir, dir_.path()), kUid, uid);
        return std::regex_replace(t, kData, std::string(KORVANE_SOURCE_DIR) + "/tests/data");
    }
    std::string Get(const std::string& key) const {
        return read_.insert(key), Expand(c_.has(key) ? c_.at(key) : "");
    }
    std::string Repeated(const std::string& key) const {
        std::string text;
        for (int i = 0; i < (c_.has("repeat") ? std::stoi(Get("repeat")) : 1); ++i)
            text += Get(key);
        return text + Get("tail");
    }

    static void WriteChart(const std::string& name, int measures) {
        std::string text = "#PLAYER 1\r\n#TITLE Window\r\n#BPM 120\r\n";
        for (int m = 1; m <= measures; ++m)
            text += "#" + modMain::ZeroPad(m, 3) + "11:01010101\r\n";
        testsupport::WriteFile(name, text);
    }

    // A file of the program folder: TEXT, or <fifo>, <link>TARGET, <bytes>N (a sparse file of N
    // bytes) or <0MODE>TEXT (a file of that mode; others get 0755).
    void Make(const std::string& name, const std::string& what) {
        std::smatch m;
        std::regex_match(what, m, std::regex("(?:<(fifo|link|bytes|0[0-7]+)>)?([^]*)"));
        if (m[1] == "fifo") return fifos_.push_back(name), (void)mkfifo(name.c_str(), 0644);
        if (m[1] == "link") return (void)symlink(m.str(2).c_str(), name.c_str());
        testsupport::WriteFile(name, m[1] == "bytes" ? "" : m.str(2));
        if (m[1] == "bytes") fs::resize_file(name, std::stoull(m[2]));
        chmod(name.c_str(), m.str(1)[0] == '0' ? std::stoi(m[1], nullptr, 8) : 0755);
    }

    // Whatever the program does with a FIFO, the run ends: past the deadline (as the end-to-end
    // tests', what has not come by then counts as never) each FIFO is opened both ways, which
    // releases a blocked open, and the run counts as blocked.
    void Watch(std::future<void> done) {
        if (fifos_.empty() || done.wait_for(std::chrono::seconds(60)) == std::future_status::ready)
            return;
        blocked_ = true;
        for (const std::string& f : fifos_)
            unblock_.push_back(open(f.c_str(), O_RDWR | O_NONBLOCK));
        done.wait();
    }

    void Prepare() {
        for (const char* chart : {"a.bms", "b.BME", "c.bml", "d.pms", "e.tmp", "a b.bms", "*.bms",
                                  "曲 名.bme", "x -N5 y.bms", "other.bms"})
            WriteChart(chart, 4);
        testsupport::WriteFile("f.txt", "x");
        fs::create_directory("folder.bms");
        for (const std::string& f : Split(Get("files"), '|')) {
            std::string name = f.substr(0, f.find('='));
            fs::create_directories(fs::path(name).parent_path().string() + "/.");
            if (name.back() != '/') Make(name, f.substr(std::min(f.size(), name.size() + 1)));
        }
        if (c_.has("chart")) WriteChart("song.bms", std::stoi(Get("chart")));
        if (c_.has("ini")) testsupport::WriteFile("krv.ini", Get("ini"));
        if (c_.has("errortxt")) testsupport::WriteFile("error.txt", Get("errortxt"));
        if (Get("app") == "<under-file>") modMain::AppPath = dir_ / "f.txt/";
        if (c_.has("socket")) testsupport::WriteFile(socket_, Get("socket"));  // in the way
        if (c_.has("refresh")) dev_->SetRefreshRate(std::stoi(Get("refresh")));
        if (std::vector<std::string> wh = Split(Get("usable"), ' '); wh.size() == 2)
            dev_->SetUsableArea(std::stoi(wh[0]), std::stoi(wh[1]));
        if (c_.has("font")) dev_->SetFontFace(Get("font"));
        dev_->FailVideo(Get("fail") == "video");
        dev_->FailAudio(Get("fail") == "audio");
        std::vector<std::string> args = Split("korvane|" + Get("args"), '|');
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        plat::SetCommandLine(static_cast<int>(argv.size()), argv.data());
    }

    void Act(bool start) {
        std::smatch m;
        for (const std::string& put : Split(Get("put"), '\n'))
            if (std::regex_match(put, m, std::regex("(.*?)/(.*?)=(.*)")))
                modMain::WriteIni(m[1], m[2], m[3]);
        for (const std::string& get : Split(Get("get"), '\n'))
            if (std::regex_match(get, m, std::regex("(.*?)/(.*)")))
                out_["Got"] += "\n" + modMain::GetIni(m[1], m[2], "-");
        if (start) modMain::StartUp();
        modMain::FramePeriod = 0;  // frames take the script's time
        g_loadStarted = modBMSLoad::LoadStartedHook;
        modBMSLoad::LoadStartedHook = [](const std::string& name) {
            ++g_loads, g_loaded += " " + name, g_loadStarted(name);
        };
        if (Get("listen") == "yes") out_["Listening"] = vb::BoolText(plat::ListenForInstances());
        modMain::UseInstanceHandOver = Get("listen") == "yes";
        if (c_.has("chart")) Steps("drop:song.bms f2");
        for (const auto& [key, value] : c_.fields)
            if (std::string text = key.rfind("set ", 0) ? "" : Get(key); !text.empty())
                std::visit([&](auto* p) { Text::Set(p, text); }, VarNamed(key.substr(4)));
        std::string line = Repeated("line");
        if (Get("via") == "drop")
            out_["Taken"] = vb::BoolText(frmMain::Form_OLEDragDrop(line));
        else if (Get("via") == "handover")
            modMessage::HandleHandOver(line);
        else if (c_.has("line"))
            out_["Taken"] = vb::BoolText(modMain::ReadCmdLine(line));
        g_loads = 0;
        g_loaded.clear();
        Steps(Get("steps"));
    }

    void Keys(const std::string& name, bool down) {
        static const std::map<std::string, int> named = {
            {"Space", 32},   {"Ctrl", 17},      {"Esc", 27},     {"Home", 36},  {"End", 35},
            {"PgUp", 33},    {"PgDn", 34},      {"Up", 38},      {"Down", 40},  {"F1", 112},
            {"F2", 113},     {"F11", 122},      {"Tab", 9},      {"Shift", 16}, {"Minus", 189},
            {"Equals", 187}, {"PadMinus", 109}, {"PadPlus", 107}};
        static const std::set<int> notAll = {27, 9, 107, 109, 113, 122, 187, 189};
        int key = name == "all" ? -1 : name.size() == 1 ? name[0] : named.at(name);
        for (int vk = 0; vk < 256; ++vk)
            if (key < 0 ? !notAll.count(vk) : vk == key) dev_->SetKey(vk, down);
    }

    void Frames(int count) {
        for (int i = 0; i < count; ++i) {
            int32_t now = dev_->Now();
            modMain::RunFrame();
            if (c_.has("watch") && modKey::KeyState[static_cast<uint8_t>(Get("watch")[0])] == 2)
                out_["Presses"] += " " + std::to_string(now - t0_);
            dev_->Advance(c_.has("frame") ? std::stoi(Get("frame")) : 16);
        }
    }

    // Hand-over senders, each in its own thread, as another user when `uid` is given; the first
    // notes the chart the window had when its answer came.
    void Send(const std::string& uid) {
        if (!uid.empty()) chmod(dir_.path().c_str(), 0755), chmod(socket_.c_str(), 0777);
        for (const std::string& line : Split(Repeated("send"), '\n'))
            senders_.push_back(std::async(std::launch::async, [=, this, first = senders_.empty()] {
                // The raw call changes this thread only; the C library's would change them all.
                if (!uid.empty()) syscall(SYS_setresuid, -1, std::stoi(uid), -1);
                bool taken = plat::HandOverToRunningInstance(line);
                if (!uid.empty()) syscall(SYS_setresuid, -1, 0, -1);
                if (first) seen_ = modBMSLoad::BMSFileName;
                return taken;
            }));
    }

    // A connection that speaks no protocol of its own: it sends `bytes`, or pushes a message
    // claiming a MiB ("mib").
    void Raw(const std::string& bytes) {
        sockaddr_un addr{AF_UNIX, {}};
        socket_.copy(addr.sun_path, sizeof addr.sun_path - 1);
        raw_.push_back(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        EXPECT_EQ(connect(raw_.back(), reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        if (bytes != "mib")
            return (void)send(raw_.back(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
        pushers_.push_back(std::async(std::launch::async, [fd = raw_.back()] {
            std::string mib = std::string("\0\0\x10\0", 4) + std::string(1 << 20, 'y');
            send(fd, mib.data(), mib.size(), MSG_NOSIGNAL);
        }));
    }

    // Frames until every sender has its answer and every pusher has been cut off (or has pushed
    // all it had); the deadline is only a safety net.
    void Wait() {
        auto ready = [](auto& s) {
            return s.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
        };
        auto done = [&] {
            return std::all_of(senders_.begin(), senders_.end(), ready) &&
                   std::all_of(pushers_.begin(), pushers_.end(), ready);
        };
        for (int i = 0; i < 5000 && !done(); ++i)
            modMain::RunFrame(), std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    // The chart dialog as a child process, with the program folder as the only one on PATH (where
    // a record puts its stand-ins for zenity and kdialog); "signals" interrupts the waiting.
    void Dialog(const std::string& where) {
        std::string path = std::getenv("PATH");
        setenv("PATH", dir_.path().c_str(), 1);
        Action quiet{};
        quiet.sa_handler = [](int) {};  // without SA_RESTART: each tick interrupts the waiting
        sigaction(SIGALRM, &quiet, nullptr);
        long tick = Get("signals") == "yes" ? 5000 : 0;
        itimerval every{{0, tick}, {0, tick}};
        setitimer(ITIMER_REAL, &every, nullptr);
        std::vector<std::string> at = Split(where, '|');
        auto open = std::distance(fs::directory_iterator("/proc/self/fd"), {});
        int idles = 0;
        out_["Dialog"] = plat::RunFileDialog(at[0], at[1], [&] { ++idles; }).value_or("<none>");
        out_["Idle"] = vb::BoolText(idles > 0);
        EXPECT_EQ(std::distance(fs::directory_iterator("/proc/self/fd"), {}), open) << "left open";
        setitimer(ITIMER_REAL, &(every = {}), nullptr);
        setenv("PATH", path.c_str(), 1);
    }

    // The loudest sample captured since "cap", in dB of full scale ("-" for silence).
    void Peak() {
        float peak = 0;
        for (float v : dev_->TakeCapture()) peak = std::fmax(peak, std::fabs(v));
        char heard[16] = "-";
        if (peak > 0) std::snprintf(heard, sizeof heard, "%.1f", 20 * std::log10(peak));
        out_["Peaks"] += std::string(" ") + heard;
    }

    void Push(Event type, int wheel = 0, const std::string& text = "") {
        dev_->PushEvent({type, text, wheel, drop_});
    }

    void Steps(const std::string& script) {
        using Arg = const std::string&;
        const std::map<std::string, std::function<void(Arg)>> steps = {
            {"+", [&](Arg a) { Keys(a, true); }},
            {"-", [&](Arg a) { Keys(a, false); }},
            {"f", [&](Arg a) { Frames(a.empty() ? 1 : std::stoi(a)); }},
            {"w", [&](Arg a) { dev_->Advance(std::stoi(a)); }},
            {"t", [&](Arg a) { dev_->SetTime(std::stoi(a)); }},
            {"focus", [&](Arg a) { dev_->SetActive(a == "back"); }},
            {"dialog", [&](Arg a) { Dialog(a); }},
            {"wheel", [&](Arg a) { Push(Event::Wheel, std::stoi(a)); }},
            {"quit", [&](Arg) { Push(Event::Quit); }},
            {"count", [&](Arg) { modCount::CountMain(); }},
            {"cap", [&](Arg) { dev_->StartCapture(); }},
            {"peak", [&](Arg) { Peak(); }},
            {"end", [&](Arg) { modMain::ShutDown(0, "", ""); }},
            {"send", [&](Arg a) { Send(a); }},
            {"raw", [&](Arg a) { Raw(a); }},
            {"more", [&](Arg a) { send(raw_.back(), a.data(), a.size(), MSG_NOSIGNAL); }},
            {"close", [&](Arg) { shutdown(raw_.back(), SHUT_WR); }},
            {"idle", [&](Arg a) { plat::SetInstanceIdleLimitForTests(std::stoi(a)); }},
            {"wait", [&](Arg) { Wait(); }},
            {"drop",
             [&](Arg a) {
                 for (const std::string& p : (++drop_, Split(a, '|'))) Push(Event::DropFile, 0, p);
             }},
            {"dbl", [&](Arg a) {
                 dev_->SetDialogResult(a.empty() ? std::nullopt : std::optional(a));
                 Push(Event::DoubleClick);
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
                     {"Clock", std::to_string(dev_->Now())},
                     {"Loads", std::to_string(g_loads)},
                     {"Loaded", g_loaded},
                     {"Scale", std::to_string(dev_->WindowScale())},
                     {"Fullscreen", vb::BoolText(dev_->Fullscreen())},
                     {"CommandLine", plat::CommandLine()},
                     {"HandOverLine", plat::HandOverCommandLine()},
                     {"Connections", std::to_string(plat::InstanceConnectionCount())},
                     {"Socket", fs::is_socket(socket_) ? "socket" : testsupport::ReadFile(socket_)},
                     {"exit", exit_},
                     {"saved", Contents(dir_ / "krv.ini")}});
        for (int fd : raw_) {
            char c = 0;
            ssize_t n = recv(fd, &c, 1, MSG_DONTWAIT);
            // Closed with bytes of ours still unread on its side, the listener's end resets.
            bool closed = n == 0 || (n < 0 && errno == ECONNRESET);
            out_["Raw"] += " " + (n > 0 ? std::string(1, c) : closed ? "closed" : "open");
            shutdown(fd, SHUT_RDWR), close(fd);
        }
        plat::StopListening();  // any sender still waiting has its answer now
        for (auto& p : pushers_) p.get();
        for (auto& s : senders_) out_["Answers"] += std::string(" ") + vb::BoolText(s.get());
        for (const char* list : {"Raw", "Answers", "Got", "Presses", "Peaks", "Loaded"})
            out_[list].erase(0, 1);
        out_["Seen"] = seen_;
        for (const std::string& name : Split(kVarNames, ' '))
            out_[name] = std::visit([](auto* p) { return Text::Of(p); }, VarNamed(name));
        for (const std::string& b : dev_->MessageBoxes()) out_["box"] += b + "\n";
        std::regex when(R"(\d{4}/\d\d/\d\d {4}\d\d:\d\d:\d\d {6})");
        out_["log"] = std::regex_replace(Contents(dir_ / "error.txt"), when, "<when>");
        std::string expected, actual;
        auto compare = [&](const std::string& key, const std::string& want) {
            expected += key + ": " + want + "\n";
            actual += key + ": " + out_[key] + "\n";
        };
        for (const auto& [key, value] : c_.fields) {
            if (key.find('(') != std::string::npos) out_[key] = Call(Expand(key));
            if (out_.count(key)) compare(key, Get(key));
            EXPECT_TRUE(out_.count(key) || read_.count(key)) << "a field not used: " << key;
        }
        for (const char* key : {"exit", "log", "box"})
            if (!c_.has(key)) compare(key, "");
        EXPECT_TRUE(testsupport::SameText(expected, actual));
    }

    const testsupport::Case& c_;
    mutable std::set<std::string> read_ = {"name", "defaults"};
    testsupport::TempDir dir_;
    std::string socket_ = dir_ / "k.sock";
    plat::HeadlessDevice* dev_ = nullptr;
    std::map<std::string, std::string> out_;
    std::string exit_, seen_;
    std::vector<std::future<bool>> senders_;
    std::vector<std::future<void>> pushers_;
    std::vector<int> raw_, unblock_;
    std::vector<std::string> fifos_;
    bool blocked_ = false;
    int32_t t0_ = 0;
    uint32_t drop_ = 0;
};

// A table's first record may hold defaults ("defaults: yes") for the others.
void RunTable(const std::string& table) {
    fs::path cwd = fs::current_path();
    std::vector<testsupport::Case> cases = testsupport::ReadCases(testsupport::DataPath(table));
    for (testsupport::Case c : cases) {
        if (c.has("defaults")) continue;
        if (cases[0].has("defaults")) c.fields.merge(std::map(cases[0].fields));
        SCOPED_TRACE(table + ":" + std::to_string(c.line) + " " + c.at("name"));
        Session(c).Run();
    }
    fs::current_path(cwd);
    testsupport::ResetAll();
}

TEST(ShellSession, Tables) {
    for (const char* table :
         {"shell/profile.txt", "shell/settings.txt", "shell/cmdline.txt", "shell/startup.txt",
          "shell/window.txt", "shell/handover.txt", "keys/keys.txt", "keys/desktop.txt",
          "files/paths.txt", "files/dialog.txt"})
        RunTable(table);
}

}  // namespace
