// The sort and the long-note pairing are written for speed; these straightforward versions follow
// the procedures word for word, and generated charts must come out identical either way.
#include <random>

#include "chart_fixture.h"

namespace {

using namespace charttest;

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
                        if (a.Channel > 10) {
                            NoteCount[0] -= 1;
                            NoteCount[a.Side] -= 1;
                        }
                        if (a.Link > b.Link)
                            ClearObj(b);
                        else
                            ClearObj(a);
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
                if (Obj[j].Kind != KIND_INVISIBLE) {
                    NoteCount[0] -= 1;
                    NoteCount[Obj[i].Side] -= 1;
                }
                ClearObj(Obj[j]);
            }
        }
        for (Long j = i + 1; j <= upper; ++j) {
            if (Obj[j].Channel == Obj[i].Channel && Obj[j].Kind != KIND_INVISIBLE) {
                Obj[j].Kind = KIND_LN_END;
                Obj[i].Link = j;
                Obj[j].Link = i;
                NoteCount[0] -= 1;
                NoteCount[Obj[i].Side] -= 1;
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
        NoteCount[0] -= 1;
        NoteCount[a.Side] -= 1;
        if (a.Link == -1) a.Kind = KIND_NORMAL;
    }
}

struct Snapshot {
    std::vector<ObjRecord> obj;
    Long notes[3];
    std::string measures;
};

Snapshot Take() {
    Snapshot s;
    for (long i = 0; i <= Obj.UBound(); ++i) s.obj.push_back(Obj[i]);
    for (int k = 0; k < 3; ++k) s.notes[k] = NoteCount[k];
    for (int m = 0; m <= MaxMeasure + 1; ++m)
        s.measures += C4(MeasureInfo[m].Pos) + "/" + C4(MeasureInfo[m].Time) + " ";
    return s;
}

void ExpectSame(const Snapshot& a, const Snapshot& b, int seed) {
    ASSERT_EQ(a.obj.size(), b.obj.size()) << seed;
    for (size_t i = 0; i < a.obj.size(); ++i) {
        const ObjRecord &x = a.obj[i], &y = b.obj[i];
        bool same = x.Enabled == y.Enabled && x.Channel == y.Channel && x.Kind == y.Kind &&
                    x.Measure == y.Measure && x.Pos == y.Pos && x.Time == y.Time &&
                    x.Value == y.Value && x.Side == y.Side && x.Link == y.Link;
        ASSERT_TRUE(same) << "seed " << seed << " record " << i;
    }
    for (int k = 0; k < 3; ++k) EXPECT_EQ(a.notes[k], b.notes[k]) << seed;
    EXPECT_EQ(a.measures, b.measures) << seed;
}

// A dense chart with collisions everywhere: few positions per measure, few ids, every kind of
// lane, long notes of both sorts, tempo changes and stops, piles at position 0 (where cleared
// records gather), zero-length measures and negative channels (bar lines at one position).
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
        int slots = 1 << pick(4);
        std::string data;
        for (int s = 0; s < slots; ++s) data += pick(3) ? "00" : ids[pick(6)];
        text += head + data + "\n";
    }
    return text;
}

class ChartEquivalence : public ChartTest {};

TEST_F(ChartEquivalence, QuickSortOnKeysMovesRecordsLikeTheRecursiveOne) {
    std::mt19937 rng(99);
    for (int round = 0; round < 200; ++round) {
        long n = 1 + static_cast<long>(rng() % 400);
        int distinct = 1 + static_cast<int>(rng() % 20);
        // Every other round holds positions too far out for the compact sort keys.
        int64_t scale = round % 2 ? 1 : int64_t{1} << 30;
        Obj.ReDim(n - 1);
        for (long i = 0; i < n; ++i) {
            Obj[i].Pos = Currency::FromInt(static_cast<int64_t>(rng() % distinct) * scale);
            Obj[i].Value = static_cast<Long>(i);
        }
        std::vector<ObjRecord> saved(Obj.data(), Obj.data() + n);
        QuickSortObj(0, static_cast<Long>(n - 1));
        std::vector<ObjRecord> fast(Obj.data(), Obj.data() + n);
        std::copy(saved.begin(), saved.end(), Obj.data());
        RefQuickSort(0, static_cast<Long>(n - 1));
        for (long i = 0; i < n; ++i) ASSERT_EQ(fast[i].Value, Obj[i].Value) << round << " " << i;
    }
}

TEST_F(ChartEquivalence, GeneratedChartsPairAndTimeIdentically) {
    std::mt19937 rng(2024);
    int stats[4] = {};  // what the generated charts produced, see below
    for (int seed = 0; seed < 300; ++seed) {
        std::string chart = GeneratedChart(rng);
        // Bar lines keep fields of whatever their slot held: start both runs from the same Obj.
        Obj.ReDim(256);
        Load(chart);
        if (ObjCount == 0) continue;
        Snapshot fast = Take();
        for (const auto& o : fast.obj) {
            if (o.Kind == KIND_LN_END && o.Value == LnObj)
                ++stats[0];
            else if (o.Kind == KIND_LN_END)
                ++stats[1];
            if (o.Channel == 0 && o.Kind == 0) ++stats[2];
            if (o.Channel < 0 && o.Pos.raw == 0) ++stats[3];
        }

        Obj.ReDim(256);
        BMSFileName = Path("chart.bms");
        LoadBMSStart();
        ASSERT_NE(LoadBMSData(), 0);
        PlaceMeasures();
        bool longNotes = PlaceObjects();
        AddBarLines();
        RefQuickSort(0, static_cast<Long>(Obj.UBound()));
        RefSamePositionPass();
        if (longNotes) RefPairChannelLongNotes();
        if (LnObj != 0) RefPairLnObjLongNotes();
        PlayTimeCount();
        ExpectSame(fast, Take(), seed);
        if (HasFailure()) {
            ADD_FAILURE() << chart;
            return;
        }
    }
    // The generated charts did exercise what is compared: #LNOBJ ends, channel long-note ends,
    // cleared records, and bar lines or negative channels at position 0.
    for (int k = 0; k < 4; ++k) EXPECT_GT(stats[k], 100) << k;
}

}  // namespace
