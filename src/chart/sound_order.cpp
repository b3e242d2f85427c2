// The order in which the play needs the chart's sounds from where it stands, so that the
// decoding threads work ahead of the play clock, and the wait for the first of them.
#include <vector>

#include "base/settings_record.h"
#include "chart/chart_internal.h"
#include "chart/modBMSLoad.h"
#include "sound/modSound.h"

namespace modBMSLoad {

namespace {

// The play clock starts once the sounds of its first this many milliseconds are decoded. Two
// cores decode some 600 one-second OGG keysounds a second, a song needs tens; so from the start
// the decoding stays ahead, and a dense opening costs no more than the wait for its own sounds.
constexpr double kReadyAheadMs = 1000;

bool Sounds(const ObjRecord& o) {
    if (o.Value < 0 || o.Value > 1295) return false;
    if (o.Channel == CH_BGM) return true;
    return o.Channel >= 10 &&
           (o.Kind == KIND_NORMAL || o.Kind == KIND_LN_START || o.Kind == KIND_LN_HELD);
}

struct Need {
    std::vector<long> order;  // every sound still to play, by its first use
    std::vector<long> soon;   // those the play clock needs at once
};

// Sounds re-armed by a seek (started part-way at the position) come first, then the others by
// the time they are first played.
Need SoundsByNeed(Currency at) {
    Need need;
    std::vector<bool> seen(1296, false);
    const double now = at.ToDouble();
    const double soon = now + kReadyAheadMs * modMain::Settings.Frequency * 0.01;
    auto take = [&](const ObjRecord& o, bool atOnce) {
        if (!Sounds(o) || seen[static_cast<size_t>(o.Value)]) return;
        seen[static_cast<size_t>(o.Value)] = true;
        need.order.push_back(o.Value);
        if (atOnce) need.soon.push_back(o.Value);
    };
    const Long last = static_cast<Long>(Obj.UBound());
    for (Long i = 0; i <= last && Obj[i].Time < at; ++i)
        if (Obj[i].Enabled != 0) take(Obj[i], true);
    for (Long i = 0; i <= last; ++i)
        if (Obj[i].Time >= at) take(Obj[i], Obj[i].Time.ToDouble() < soon);
    return need;
}

// The sounds the play clock waits for before it next moves; see OrderSoundsFrom.
std::vector<long> Awaited;
bool AwaitPending = false;

}  // namespace

void ResetSoundOrder() {
    Awaited.clear();
    AwaitPending = false;
}

void OrderSoundsFrom(Currency at) {
    Need need = SoundsByNeed(at);
    modSound::DecodeInOrder(need.order);
    Awaited = std::move(need.soon);
    AwaitPending = true;
}

bool AwaitOrderedSounds() {
    if (!AwaitPending) return false;
    AwaitPending = false;
    if (modSound::DecodeAllFirst)
        modSound::AwaitAllDecodes();
    else
        modSound::AwaitDecodes(Awaited, ShowLoadProgress);
    Awaited.clear();
    return true;
}

void ReadySoundsFrom(Currency at) {
    OrderSoundsFrom(at);
    AwaitOrderedSounds();
}

}  // namespace modBMSLoad
