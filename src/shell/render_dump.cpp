// korvane-render CHART --dump: loads the chart like the player, on the headless device and with
// the settings of a new krv.ini (the file itself is neither read nor written), and prints the
// model.
#include <cstdio>

#include "chart/modBMSLoad.h"
#include "platform/headless.h"
#include "platform/platform.h"
#include "play/modCount.h"
#include "shell/modMain.h"
#include "shell/render.h"
#include "shell/settings.h"

namespace render {

namespace {

using namespace modBMSLoad;

void Field(std::string& out, const std::string& value) {
    out += '\t';
    out += value;
}

void Header(std::string& out, const char* name, const std::string& value) {
    out += "header\t";
    out += name;
    Field(out, value);
    out += '\n';
}

std::string Num(int64_t v) {
    return std::to_string(v);
}
std::string Cur(vb::Currency c) {
    return vb::FormatCurrency4(c);
}
std::string Sng(vb::Single s) {
    return vb::RoundTrip(s);
}

void DumpHeader(std::string& out) {
    Header(out, "Title", Title);
    Header(out, "Artist", Artist);
    Header(out, "Genre", Genre);
    Header(out, "Player", Num(Player));
    Header(out, "Bpm", Sng(Bpm));
    Header(out, "BaseBpm", Sng(BaseBpm));
    Header(out, "PlayLevel", Num(PlayLevel));
    Header(out, "Rank", Num(Rank));
    Header(out, "Total", Sng(Total));
    Header(out, "VolWav", Sng(VolWav));
    Header(out, "LnObj", Num(LnObj));
    Header(out, "NoteCount",
           Num(NoteCount[0]) + "\t" + Num(NoteCount[1]) + "\t" + Num(NoteCount[2]));
    Header(out, "MaxMeasure", Num(MaxMeasure));
    Header(out, "TotalTime", Cur(TotalTime));
    Header(out, "RandomText", RandomText);
    Header(out, "DisplayTitle", DisplayTitle);
}

void DumpMeasures(std::string& out) {
    // The bar line after measure 999 has no measure record of its own.
    int last = MaxMeasure + 1 > 999 ? 999 : MaxMeasure + 1;
    for (int m = 0; m <= last; ++m) {
        const MeasureRecord& r = MeasureInfo[m];
        out += "measure\t" + Num(m);
        Field(out, Cur(r.Length));
        Field(out, Cur(r.Pos));
        Field(out, Cur(r.Time));
        out += '\n';
    }
}

void DumpObjects(std::string& out) {
    long upper = Obj.UBound();
    for (long i = 0; i <= upper; ++i) {
        const ObjRecord& o = Obj[i];
        out += "obj\t" + Num(i);
        Field(out, Num(o.Enabled));
        Field(out, Num(o.Channel));
        Field(out, Num(o.Kind));
        Field(out, Num(o.Measure));
        Field(out, Cur(o.Pos));
        Field(out, Cur(o.Time));
        Field(out, Num(o.Value));
        Field(out, Num(o.Side));
        Field(out, Num(o.Link));
        out += '\n';
    }
}

}  // namespace

std::string DumpText() {
    std::string out;
    out.reserve(static_cast<size_t>(Obj.UBound() + 1) * 64 + 4096);
    DumpHeader(out);
    DumpMeasures(out);
    DumpObjects(out);
    return out;
}

int Dump(const Options& opts) {
    plat::InstallHeadless();
    modMain::UseSettingsFile = false;
    modMain::UseInstanceHandOver = false;
    modMain::StartUp();
    if (!plat::IsRegularFile(opts.chart)) {
        std::fprintf(stderr, "korvane-render: %s: no such chart file\n", opts.chart.c_str());
        return 1;
    }
    BMSFileName = opts.chart;
    StartMeasure = static_cast<vb::Integer>(opts.measure);
    SetRandomSeed(opts.seed);
    // The play clock's step runs the load, with the sounds decoded as the player decodes them.
    modMain::PlayState = modMain::PS_LOAD;
    modCount::CountMain();
    if (ObjCount == 0 || modMain::PlayState == modMain::PS_IDLE) {
        std::fprintf(stderr, "korvane-render: %s: the chart holds no objects\n",
                     opts.chart.c_str());
        return 1;
    }
    std::string text = DumpText();
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    return 0;
}

}  // namespace render
