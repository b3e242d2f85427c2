// The sort and the long-note pairing are written for speed; these straightforward versions follow
// the procedures word for word, and generated charts must come out identical either way.
#include <random>

#include "chart/chart_internal.h"
#include "shell/render.h"
#include "support.h"

namespace {

using namespace modBMSLoad;

void LowerNoteCount(Integer side) {
    NoteCount[0] -= 1;
    NoteCount[side] -= 1;
}

void RefQuickSort(Long lo, Long hi) {
    Currency pivot = Obj[(lo + hi) / 2].Pos;
    Long i = lo, j = hi;
    while (true) {
        while (Obj[i].Pos < pivot) ++i;
        while (Obj[j].Pos > pivot) --j;
        if (i >= j) break;
        SwapObj(Obj[i], Obj[j]);
        ++i;
        --j;
    }
    if (lo < i - 1) RefQuickSort(lo, i - 1);
    if (j + 1 < hi) RefQuickSort(j + 1, hi);
}

void RefSamePositionPass() {
    Long upper = static_cast<Long>(Obj.UBound());
    for (Long i = 0; i <= upper; ++i) {
        for (Long j = i + 1; j <= upper; ++j) {
            if (Obj[j].Pos != Obj[i].Pos) break;
            ObjRecord& a = Obj[i];
            ObjRecord& b = Obj[j];
            if (a.Channel == b.Channel) {
                if (a.Kind == b.Kind) {
                    if (a.Channel != 1) {
                        if (a.Channel > 10) LowerNoteCount(a.Side);
                        ClearObj(a.Link > b.Link ? b : a);
                    }
                } else if (a.Kind > b.Kind) {
                    SwapObj(a, b);
                }
            } else if (!(b.Channel == 9 || (a.Channel != 3 && a.Channel != 8 && a.Channel != 9 &&
                                            a.Channel <= b.Channel))) {
                SwapObj(a, b);
            }
        }
        Obj[i].Link = -1;
    }
}

void RefPairChannelLongNotes() {
    Long upper = static_cast<Long>(Obj.UBound());
    for (Long i = 0; i <= upper; ++i) {
        if (Obj[i].Kind != KIND_LN_START) continue;
        for (Long j = i - 1; j >= 0; --j) {
            if (Obj[j].Pos != Obj[i].Pos) break;
            if (Obj[j].Channel == Obj[i].Channel) {
                if (Obj[j].Kind != KIND_INVISIBLE) LowerNoteCount(Obj[i].Side);
                ClearObj(Obj[j]);
            }
        }
        for (Long j = i + 1; j <= upper; ++j) {
            if (Obj[j].Channel == Obj[i].Channel && Obj[j].Kind != KIND_INVISIBLE) {
                Obj[j].Kind = KIND_LN_END;
                Obj[i].Link = j;
                Obj[j].Link = i;
                LowerNoteCount(Obj[i].Side);
                break;
            }
        }
        if (Obj[i].Link == -1) Obj[i].Kind = KIND_NORMAL;
    }
}

void RefPairLnObjLongNotes() {
    Long upper = static_cast<Long>(Obj.UBound());
    for (Long i = 0; i <= upper; ++i) {
        ObjRecord& a = Obj[i];
        if (!(a.Value == LnObj && a.Channel > 10 && a.Channel < 30 && a.Kind != KIND_INVISIBLE))
            continue;
        for (Long j = i - 1; j >= 0; --j) {
            if (Obj[j].Channel != a.Channel) continue;
            if (Obj[j].Link == -1) {
                Obj[j].Kind = KIND_LN_START;
                a.Link = j;
                Obj[j].Link = i;
            }
            break;
        }
        a.Kind = KIND_LN_END;
        LowerNoteCount(a.Side);
        if (a.Link == -1) a.Kind = KIND_NORMAL;
    }
}

// A dense chart with collisions everywhere: few positions per measure, few ids, every kind of
// lane, long notes of both sorts, tempo changes and stops, piles at position 0 (where cleared
// records gather), zero-length measures and negative channels (bar lines at one position); a
// quarter of them ends in a measure so long that the positions need the sort's wide keys.
std::string GeneratedChart(std::mt19937& rng) {
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    const int channels[] = {1,  3,  4,  8,  9,  11, 12, 13, 16, 18, 19, 21, 22, 26, 29,
                            30, 50, 51, 52, 53, 56, 58, 61, 62, 69, 70, 17, 10, 31};
    const char* ids[] = {"01", "02", "03", "ZZ", "0Z", "10"};
    std::string text = "#BPM01 150\n#BPM02 -40\n#STOP01 48\n#STOP03 7\n";
    if (pick(2)) text += "#LNOBJ ZZ\n";
    int measures = 1 + pick(12);
    int lines = 20 + pick(200);
    for (int l = 0; l < lines; ++l) {
        int m = pick(3) ? pick(measures) : 0;
        char head[16];
        if (pick(25) == 0) {
            std::snprintf(head, sizeof head, "#%03d02:", m);
            const char* lengths[] = {"0.5", "1.25", "0.0000001"};
            text += std::string(head) + lengths[pick(3)] + "\n";
            continue;
        }
        if (pick(30) == 0) {  // "0de-1" is a number: measure d, channel -1 or -2
            std::snprintf(head, sizeof head, "#0%de-%d:", pick(3), 1 + pick(2));
            text += std::string(head) + ids[pick(6)] + "\n";
            continue;
        }
        int ch = channels[pick(static_cast<int>(sizeof channels / sizeof *channels))];
        std::snprintf(head, sizeof head, "#%03d%02d:", m, ch);
        if (pick(20) == 0) {  // a pile of one line, or of two alternating, at one position
            std::string other = "#" + std::to_string(1000 + m).substr(1) +
                                std::to_string(channels[pick(29)] + 100).substr(1) + ":";
            std::string id = ids[pick(6)];
            for (int k = 20 + pick(60); k > 0; --k) text += (pick(2) ? head : other) + id + "\n";
            continue;
        }
        int slots = 1 << pick(4);
        std::string data;
        for (int s = 0; s < slots; ++s) data += pick(3) ? "00" : ids[pick(6)];
        text += head + data + "\n";
    }
    char last[40];
    std::snprintf(last, sizeof last, "#%03d02:3000\n#%03d11:0101\n", measures, measures);
    if (pick(4) == 0) text += last;
    return text;
}

// The dump from the note counts on (the header before them is set by the load around the sort).
std::string Objects() {
    std::string dump = render::DumpText();
    return dump.substr(dump.find("header\tNoteCount"));
}

class ChartEquivalence : public testsupport::Test {};

TEST_F(ChartEquivalence, GeneratedChartsPairAndTimeIdentically) {
    std::mt19937 rng(2024);
    int stats[6] = {};  // what the generated charts produced, see below
    for (int seed = 0; seed < 300; ++seed) {
        std::string chart = GeneratedChart(rng);
        // Bar lines keep fields of whatever their slot held: start both runs from the same Obj.
        Obj.ReDim(256);
        BMSFileName = tmp / "chart.bms";
        testsupport::WriteFile(BMSFileName, chart);
        LoadBMS();
        if (ObjCount == 0) continue;
        std::string fast = Objects();
        for (long i = 0; i <= Obj.UBound(); ++i) {
            const ObjRecord& o = Obj[i];
            stats[0] += o.Kind == KIND_LN_END && o.Value == LnObj;
            stats[1] += o.Kind == KIND_LN_END && o.Value != LnObj;
            stats[2] += o.Channel == 0 && o.Kind == 0;
            stats[3] += o.Channel < 0 && o.Pos.raw == 0;
        }
        stats[4] += Obj[Obj.UBound()].Pos.raw > UINT32_MAX;
        Obj.ReDim(256);
        LoadBMSStart();
        ASSERT_NE(LoadBMSData(), 0);
        PlaceMeasures();
        bool longNotes = PlaceObjects();
        AddBarLines();
        RefQuickSort(0, static_cast<Long>(Obj.UBound()));
        for (long i = 0, n = 1; i < Obj.UBound(); ++i, ++n) {
            if (Obj[i + 1].Pos == Obj[i].Pos) continue;
            stats[5] += n >= 32 && Obj[i].Pos.raw != 0;
            n = 0;
        }
        RefSamePositionPass();
        if (longNotes) RefPairChannelLongNotes();
        if (LnObj != 0) RefPairLnObjLongNotes();
        PlayTimeCount();
        ASSERT_TRUE(testsupport::SameText(fast, Objects())) << "seed " << seed << ":\n" << chart;
    }
    // The generated charts did exercise what is compared: #LNOBJ ends, channel long-note ends,
    // cleared records, bar lines or negative channels at position 0, and charts sorted on wide
    // keys, and piles of 32 records or more at one position other than 0.
    for (int k = 0; k < 6; ++k) EXPECT_GT(stats[k], k < 4 ? 100 : 30) << k;
}

}  // namespace
