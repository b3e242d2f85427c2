// From raw objects to the play order: absolute positions, bar lines, the sort, same-position
// order and duplicates, long-note pairing; then the timing.
#include <algorithm>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "chart/chart_internal.h"
#include "chart/modBMSLoad.h"

namespace modBMSLoad {

namespace {

// A table with one entry per channel that occurs in Obj. Its storage lives on from load to load.
class ChannelTable {
  public:
    ChannelTable(const ObjRecord* a, long upper, Long fill) {
        Integer lo = 0, hi = 0;
        for (long i = 0; i <= upper; ++i) {
            lo = std::min(lo, a[i].Channel);
            hi = std::max(hi, a[i].Channel);
        }
        lo_ = lo;
        Storage().assign(static_cast<size_t>(hi - lo + 1), fill);
    }
    Long& operator[](Integer channel) { return Storage()[static_cast<size_t>(channel - lo_)]; }

  private:
    static std::vector<Long>& Storage() {
        static std::vector<Long> entries;
        return entries;
    }
    Integer lo_;
};

void LowerNoteCount(Integer side) {
    NoteCount[0] -= 1;
    NoteCount[side] -= 1;
}

// The quicksort's partitioning, step by step as on the records, but on the positions alone with
// the record indices carried along: only Pos decides, so the permutation is the same, and each
// record is moved once at the end. The halves of a partition are sorted independently, so their
// order does not matter; a stack replaces the recursion so no chart can exhaust the call stack.
//
// A key is one 64-bit word: the position in the high half, the record's index in the low half.
// Comparing whole words against the pivot's lowest and highest word of its position compares the
// positions alone. Positions of up to 429496.7295 ticks fit (999 normal measures are 191808);
// longer charts take a second pass through the same code with wide keys.
template <typename Key>
struct KeyTraits;

template <>
struct KeyTraits<uint64_t> {
    static uint64_t Low(uint64_t k) { return k & 0xFFFFFFFF00000000ull; }
    static uint64_t High(uint64_t k) { return k | 0xFFFFFFFFull; }
};

struct WideKey {
    int64_t pos;
    int64_t index;
    bool operator<(const WideKey& o) const {
        return pos < o.pos || (pos == o.pos && index < o.index);
    }
    bool operator>(const WideKey& o) const { return o < *this; }
};

template <>
struct KeyTraits<WideKey> {
    static WideKey Low(WideKey k) { return {k.pos, INT64_MIN}; }
    static WideKey High(WideKey k) { return {k.pos, INT64_MAX}; }
};

template <typename Key>
void SortKeys(Key* key, long lo, long hi, std::vector<std::pair<long, long>>& pending) {
    pending.assign(1, {lo, hi});
    while (!pending.empty()) {
        auto [l, h] = pending.back();
        pending.pop_back();
        Key middle = key[(l + h) / 2];
        Key low = KeyTraits<Key>::Low(middle), high = KeyTraits<Key>::High(middle);
        long i = l, j = h;
        while (true) {
            while (key[i] < low) ++i;
            while (key[j] > high) --j;
            if (i >= j) break;
            std::swap(key[i], key[j]);
            ++i;
            --j;
        }
        // The larger half waits below the smaller one, so the stack stays short.
        std::pair<long, long> left{l, i - 1}, right{j + 1, h};
        bool leftLarger = (i - 1 - l) > (h - j - 1);
        std::pair<long, long> larger = leftLarger ? left : right,
                              smaller = leftLarger ? right : left;
        if (larger.first < larger.second) pending.push_back(larger);
        if (smaller.first < smaller.second) pending.push_back(smaller);
    }
}

// The buffers live on from load to load.
struct SortBuffers {
    std::vector<uint64_t> keys;
    std::vector<WideKey> wide;
    std::vector<std::pair<long, long>> pending;
    std::vector<ObjRecord> records;
};

SortBuffers& Buffers() {
    static SortBuffers buffers;
    return buffers;
}

// The record indices lo..hi in the order the quicksort leaves them.
template <typename Key, typename Index>
void SortedOrder(const ObjRecord* a, long lo, long hi, std::vector<Key>& keys, Index index) {
    SortBuffers& b = Buffers();
    size_t n = static_cast<size_t>(hi - lo + 1);
    b.records.resize(n);
    SortKeys(keys.data(), 0, hi - lo, b.pending);
    for (size_t i = 0; i < n; ++i) b.records[i] = a[index(keys[i])];
}

}  // namespace

void ClearObj(ObjRecord& record) {
    record = ObjRecord{};
}

void SwapObj(ObjRecord& a, ObjRecord& b) {
    std::swap(a, b);
}

void QuickSortObj(Long lo, Long hi) {
    if (lo < 0 || hi > Obj.UBound()) vb::SubscriptOutOfRange();
    if (lo >= hi) return;
    SortBuffers& b = Buffers();
    size_t n = static_cast<size_t>(hi - lo + 1);
    ObjRecord* a = Obj.data();
    bool narrow = true;
    for (Long i = lo; i <= hi; ++i)
        narrow = narrow && a[i].Pos.raw >= 0 && a[i].Pos.raw <= UINT32_MAX;
    if (narrow) {
        b.keys.resize(n);
        for (Long i = lo; i <= hi; ++i)
            b.keys[static_cast<size_t>(i - lo)] =
                static_cast<uint64_t>(a[i].Pos.raw) << 32 | static_cast<uint32_t>(i);
        SortedOrder(a, lo, hi, b.keys,
                    [](uint64_t k) { return static_cast<long>(k & 0xFFFFFFFF); });
    } else {
        b.wide.resize(n);
        for (Long i = lo; i <= hi; ++i) b.wide[static_cast<size_t>(i - lo)] = {a[i].Pos.raw, i};
        SortedOrder(a, lo, hi, b.wide, [](const WideKey& k) { return static_cast<long>(k.index); });
    }
    std::copy(b.records.begin(), b.records.end(), a + lo);
}

void PlaceMeasures() {
    Currency acc;
    for (int m = 1; m <= 999; ++m) {
        acc += MeasureInfo[m - 1].Length;
        MeasureInfo[m].Pos = acc;
        BarLine[m - 1].Pos = acc;
    }
    BarLine[999].Pos = acc + MeasureInfo[999].Length;
}

bool PlaceObjects() {
    bool longNotes = false;
    for (Long i = 0; i < ObjCount; ++i) {
        ObjRecord& o = Obj[i];
        const MeasureRecord& m = MeasureInfo[o.Measure];
        double unit = m.Length.ToDouble() / o.Link;
        o.Pos = Currency::FromDouble(m.Pos.ToDouble() + o.Pos.ToDouble() * unit);
        o.Time = kNotTimed;
        o.Link = i;
        if (o.Channel == CH_BPM_TABLE && BpmTable[o.Value] == 0) ClearObj(o);
        if (o.Channel == CH_STOP) o.Value = StopTable[o.Value];
        if (o.Kind == KIND_LN_START) longNotes = true;
        if (o.Channel != 0 && o.Measure > MaxMeasure) MaxMeasure = o.Measure;
    }
    return longNotes;
}

void AddBarLines() {
    Obj.ReDimPreserve(static_cast<long>(ObjCount) + MaxMeasure + 1);
    long upper = Obj.UBound();
    for (long k = ObjCount; k <= upper; ++k) {
        // Only these fields are set; the others keep whatever the slot held.
        ObjRecord& b = Obj[k];
        Integer m = static_cast<Integer>(k - ObjCount);
        b.Enabled = -1;
        b.Channel = CH_BARLINE;
        b.Measure = m;
        b.Pos = m == 0 ? Currency() : BarLine[m - 1].Pos;
        b.Time = kNotTimed;
    }
}

namespace {

// One comparison of the same-position pass: A is the record in the slot being settled, B a later
// record at the same position.
void MeetAtSamePosition(ObjRecord& A, ObjRecord& B) {
    if (A.Channel == B.Channel) {
        if (A.Kind == B.Kind) {
            if (A.Channel == CH_BGM) return;  // sounds may start together
            if (A.Channel > 10) LowerNoteCount(A.Side);
            // The line that came later in the file wins.
            ClearObj(A.Link > B.Link ? B : A);
        } else if (A.Kind > B.Kind) {
            SwapObj(A, B);
        }
        return;
    }
    bool stays = B.Channel == CH_STOP || (A.Channel != CH_BPM && A.Channel != CH_BPM_TABLE &&
                                          A.Channel != CH_STOP && A.Channel <= B.Channel);
    if (!stays) SwapObj(A, B);
}

// Whether MeetAtSamePosition changes anything for A and a record of B's channel and kind: a
// duplicate is cleared, a record that belongs before A is swapped with it.
bool MeetChanges(const ObjRecord& A, Integer channel, Integer kind) {
    if (A.Channel == channel) return kind == A.Kind ? A.Channel != CH_BGM : kind < A.Kind;
    bool stays = channel == CH_STOP || (A.Channel != CH_BPM && A.Channel != CH_BPM_TABLE &&
                                        A.Channel != CH_STOP && A.Channel <= channel);
    return !stays;
}

bool IsCleared(const ObjRecord& o) {
    return o.Channel == 0 && o.Kind == 0;
}

// Records at position 0 come first after the sort, and a cleared record keeps position 0, so at
// position 0 (unlike anywhere else) a scan goes on past cleared records; a pile of cleared
// objects there would make the pass quadratic. Once the record being settled is cleared or has a
// negative channel (a bar line), every cleared or non-negative record it meets leaves both
// unchanged, so the scan only needs to visit the records with a negative channel. Those only
// ever leave their slots (moved to the settled slot or cleared), so one sorted list of their
// indices, pruned as they leave, serves all scans.
class ZeroPositionScan {
  public:
    ZeroPositionScan(ObjRecord* a, long end) : a_(a), end_(end) {
        for (long k = 0; k < end; ++k)
            if (a[k].Channel < 0) negatives_.insert(negatives_.end(), k);
    }
    long End() const { return end_; }

    void Settle(long i) {
        ObjRecord& A = a_[i];
        for (long j = i + 1; j < end_; ++j) {
            if (A.Channel < 0 || IsCleared(A)) {
                j = NextNegative(j);
                if (j >= end_) return;
            }
            MeetAtSamePosition(A, a_[j]);
        }
    }

  private:
    long NextNegative(long from) {
        auto it = negatives_.lower_bound(from);
        while (it != negatives_.end() && a_[*it].Channel >= 0) it = negatives_.erase(it);
        return it == negatives_.end() ? end_ : *it;
    }

    ObjRecord* a_;
    long end_;
    std::set<long> negatives_;
};

// A pile of records at one position other than 0 (160,000 lines of one background sound, say)
// would make the scans quadratic: most records a scan meets change nothing. Whether a meeting
// changes anything depends only on the channels and kinds of the two records, so the slots of
// the pile are kept in one sorted set per channel and kind, and a scan jumps straight to the next
// slot whose record would change something. A cleared record (position 0) ends every scan that
// reaches it, as do the records after the pile.
class PileScan {
  public:
    explicit PileScan(ObjRecord* a) : a_(a) {}
    // Takes the slots begin..end - 1 (an empty range: no pile).
    void Start(long begin, long end) {
        slots_.clear();
        stops_.clear();
        end_ = end;
        for (long k = begin; k < end; ++k)
            slots_[KeyOf(a_[k])].insert(slots_[KeyOf(a_[k])].end(), k);
    }
    long End() const { return end_; }

    void Settle(long i) {
        ObjRecord& A = a_[i];
        Leave(i);
        // A cleared record meets only the cleared ones right after it, which changes nothing.
        if (IsCleared(A)) return;
        Currency pos = A.Pos;
        for (long j = i; A.Pos == pos;) {
            j = NextChange(A, j + 1);
            if (j >= end_) return;
            Key before = KeyOf(a_[j]);
            MeetAtSamePosition(A, a_[j]);
            Key after = KeyOf(a_[j]);
            if (after == before) continue;
            slots_[before].erase(j);
            if (IsCleared(a_[j]))
                stops_.insert(j);
            else
                slots_[after].insert(j);
        }
    }

  private:
    using Key = std::pair<Integer, Integer>;  // channel, kind
    static Key KeyOf(const ObjRecord& o) { return {o.Channel, o.Kind}; }

    void Leave(long i) {
        auto it = slots_.find(KeyOf(a_[i]));
        if (it != slots_.end()) it->second.erase(i);
    }

    // The first slot from `from` on that holds a record changing something for A; end_ when a
    // cleared record or the end of the pile comes first.
    long NextChange(const ObjRecord& A, long from) const {
        auto stop = stops_.lower_bound(from);
        long next = stop == stops_.end() ? end_ : *stop;
        for (const auto& [key, slots] : slots_) {
            if (!MeetChanges(A, key.first, key.second)) continue;
            auto it = slots.lower_bound(from);
            if (it != slots.end() && *it < next) next = *it;
        }
        return stop != stops_.end() && *stop == next ? end_ : next;
    }

    ObjRecord* a_;
    long end_ = 0;
    std::map<Key, std::set<long>> slots_;
    std::set<long> stops_;
};

// Below this size a pile is scanned directly.
constexpr long kPileSize = 32;

}  // namespace

void SamePositionPass() {
    ObjRecord* a = Obj.data();
    long upper = Obj.UBound();
    long zeroEnd = 0;
    while (zeroEnd <= upper && a[zeroEnd].Pos.raw == 0) ++zeroEnd;
    ZeroPositionScan zero(a, zeroEnd);
    PileScan pile(a);
    bool inPile = false;
    for (long i = 0; i <= upper; ++i) {
        if (i < zero.End()) {
            zero.Settle(i);
        } else {
            // Records at one position follow each other and no earlier scan has touched them
            // when their first slot comes.
            if (!inPile || i >= pile.End()) {
                long end = i + 1;
                while (end <= upper && a[end].Pos == a[i].Pos) ++end;
                inPile = end - i >= kPileSize && a[i].Pos.raw != 0;
                if (inPile) pile.Start(i, end);
            }
            if (inPile) {
                pile.Settle(i);
            } else {
                for (long j = i + 1; j <= upper && a[j].Pos == a[i].Pos; ++j)
                    MeetAtSamePosition(a[i], a[j]);
            }
        }
        a[i].Link = -1;
    }
}

// Every long-note object looks forward for the next object of its lane that is not invisible.
// Walking the array for that makes a chart quadratic in its lanes' gaps, so the next such object
// of every record is found first in one backward sweep. The sweep stays right while pairing: a
// record's lane and visibility change only when it is cleared, and clearing only reaches records
// before the start being paired.
void PairChannelLongNotes() {
    ObjRecord* a = Obj.data();
    long upper = Obj.UBound();
    static std::vector<Long> nextVisible;
    nextVisible.assign(static_cast<size_t>(upper + 1), -1);
    ChannelTable ahead(a, upper, -1);
    for (long i = upper; i >= 0; --i) {
        Integer c = a[i].Channel;
        nextVisible[static_cast<size_t>(i)] = ahead[c];
        if (a[i].Kind != KIND_INVISIBLE) ahead[c] = static_cast<Long>(i);
    }
    for (long i = 0; i <= upper; ++i) {
        ObjRecord& A = a[i];
        if (A.Kind != KIND_LN_START) continue;
        // A long-note start replaces any other object of its lane at its position.
        for (long j = i - 1; j >= 0 && a[j].Pos == A.Pos; --j) {
            if (a[j].Channel != A.Channel) continue;
            if (a[j].Kind != KIND_INVISIBLE) LowerNoteCount(A.Side);
            ClearObj(a[j]);
        }
        Long j = nextVisible[static_cast<size_t>(i)];
        if (j >= 0) {
            a[j].Kind = KIND_LN_END;
            A.Link = j;
            a[j].Link = static_cast<Long>(i);
            LowerNoteCount(A.Side);
        }
        if (A.Link == -1) A.Kind = KIND_NORMAL;
    }
}

// Channels do not change here, so the nearest earlier record of a lane is simply the last one
// seen in a forward sweep.
void PairLnObjLongNotes() {
    ObjRecord* a = Obj.data();
    long upper = Obj.UBound();
    ChannelTable lastOfChannel(a, upper, -1);
    for (long i = 0; i <= upper; ++i) {
        ObjRecord& A = a[i];
        Integer c = A.Channel;
        if (A.Value == LnObj && A.Channel > 10 && A.Channel < 30 && A.Kind != KIND_INVISIBLE) {
            Long j = lastOfChannel[c];
            if (j >= 0 && a[j].Link == -1) {
                a[j].Kind = KIND_LN_START;
                A.Link = j;
                a[j].Link = static_cast<Long>(i);
            }
            A.Kind = KIND_LN_END;
            LowerNoteCount(A.Side);
            if (A.Link == -1) A.Kind = KIND_NORMAL;
        }
        lastOfChannel[c] = static_cast<Long>(i);
    }
}

void LoadBMSSort() {
    Guard("LoadBMSSort", [] {
        PlaceMeasures();
        bool longNotes = PlaceObjects();
        AddBarLines();
        QuickSortObj(0, static_cast<Long>(Obj.UBound()));
        SamePositionPass();
        if (longNotes) PairChannelLongNotes();
        if (LnObj != 0) PairLnObjLongNotes();
        PlayTimeCount();
        if (StartMeasure != 0) SeekBMS(StartMeasure);
    });
}

}  // namespace modBMSLoad
