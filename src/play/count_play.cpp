// The play step: advance the chart clock and fire every object whose time has come.
//
// The step never stops on an error: each statement that can fail is wrapped on its own (Attempt),
// and the step's locals keep whatever value they had when a statement failed. A tempo of 0 thus
// freezes the scroll (no ticks) while the chart time and the objects go on.
#include "base/program.h"
#include "base/settings_record.h"
#include "chart/modBMSLoad.h"
#include "platform/platform.h"
#include "play/attempt.h"
#include "play/modCount.h"
#include "sound/modSound.h"

namespace modCount {

namespace {

using modBMSLoad::ObjRecord;
using modSound::WavBuffer;

// The locals of one play step that objects act on.
struct Step {
    Currency pos;      // the new position, refined by tempo changes and stops
    Single msPerTick;  // milliseconds of one tick at the current tempo
};

// How long ago the object's time passed; only an exact export hears it.
Currency Late(const ObjRecord& o) {
    int64_t late = 0;
    if (__builtin_sub_overflow(PlayTime.raw, o.Time.raw, &late)) late = 0;
    return Currency::FromRaw(late);
}

// Runs `wait` with the play clock held at this frame: the time it took is taken out of the next
// step, so the song goes on from here with no hole. (The headless clock does not move meanwhile,
// so a render never waits.) `wait` says whether it had anything to wait for; the milliseconds
// waited are returned.
template <typename Wait>
Long HoldClock(Wait wait) {
    Long before = plat::Now();
    if (!wait()) return 0;
    Long waited = vb::ClockDiff(plat::Now(), before);
    if (waited > 0) LastTime = vb::ClockAdd(LastTime, waited);
    return waited;
}

// A sound due before its decode is done is waited for.
void PlaySound(const ObjRecord& o, Long channel) {
    clsSoundBuffer& sound = WavBuffer[o.Value];
    if (!sound.isDecoded()) {
        LateSounds = vb::AddL(LateSounds, 1);
        auto decode = [&] { return sound.awaitDecode(), true; };
        if (HoldClock(decode) > 0) SoundWaits = vb::AddL(SoundWaits, 1);
    }
    sound.play(channel, Late(o));
}

void FireLane(ObjRecord& o) {
    switch (o.Kind) {
        case modBMSLoad::KIND_NORMAL:
            Attempt([&] { PlaySound(o, o.Channel); });
            Attempt([&] { JudgeNote(o.Channel, vb::CSng((PlayTime - o.Time).ToDouble())); });
            break;
        case modBMSLoad::KIND_LN_START:
            Attempt([&] { PlaySound(o, o.Channel); });
            Attempt([&] { SetBomb(o.Channel, 0, modBMSLoad::KIND_LN_START); });
            o.Enabled = -1;
            o.Kind = modBMSLoad::KIND_LN_HELD;
            break;
        case modBMSLoad::KIND_LN_HELD: {
            // Re-armed every step while its end is pending, so the lane stays lit.
            bool endPending = false;
            Attempt([&] { endPending = modBMSLoad::Obj[o.Link].Enabled != 0; });
            if (endPending) {
                o.Enabled = -1;
                Attempt([&] { LaneFlash[o.Channel - 10] = true; });
            }
            break;
        }
        case modBMSLoad::KIND_LN_END:
            Attempt([&] { modBMSLoad::Obj[o.Link].Enabled = 0; });
            Attempt([&] { SetBomb(o.Channel, 0, modBMSLoad::KIND_LN_END); });
            Attempt([&] { JudgeNote(o.Channel, vb::CSng((PlayTime - o.Time).ToDouble())); });
            break;
        default:
            break;  // invisible notes neither sound nor count
    }
}

void PassBarLine(const ObjRecord& o) {
    CurrentMeasure = o.Measure;
    if (CurrentMeasure > modBMSLoad::MaxMeasure) {
        CurrentMeasure = modBMSLoad::MaxMeasure;
        modMain::PlayState = modMain::PS_END;
        // The extras hook for the end of a chart would run here; a plain player has none.
    }
}

// Only the part of the step after the change moves at the new tempo.
void ChangeTempo(const ObjRecord& o, Step& step) {
    Single newBpm = 0;
    Attempt([&] {
        newBpm = o.Channel == modBMSLoad::CH_BPM ? static_cast<Single>(o.Value)
                                                 : modBMSLoad::BpmTable[o.Value];
    });
    Attempt([&] {
        double after = Divide((step.pos - o.Pos).ToDouble() * newBpm, modBMSLoad::Bpm);
        step.pos = Currency::FromDouble(o.Pos.ToDouble() + after);
    });
    modBMSLoad::Bpm = newBpm;
    Attempt([&] { step.msPerTick = MsPerTick(modBMSLoad::Bpm); });
}

void Stop(const ObjRecord& o, Step& step) {
    Currency length = Currency::FromInt(o.Value);
    Currency over;
    Attempt([&] { over = step.pos - o.Pos; });
    if (over > length) {
        Attempt([&] { step.pos -= length; });  // the whole stop lies inside this step
    } else {
        Attempt([&] { StopRemain = length - over; });
        step.pos = o.Pos;
    }
}

void Fire(ObjRecord& o, Step& step) {
    if (o.Channel >= 10) {
        FireLane(o);
        return;
    }
    switch (o.Channel) {
        case modBMSLoad::CH_BARLINE:
            PassBarLine(o);
            break;
        case modBMSLoad::CH_BGM:
            Attempt([&] { PlaySound(o, 1); });
            break;
        case modBMSLoad::CH_BGA_BASE:
        case modBMSLoad::CH_BGA_LAYER:
        case modBMSLoad::CH_BGA_POOR:
            ShowBga(o.Channel, o.Value, o.Time);
            break;
        case modBMSLoad::CH_BPM:
        case modBMSLoad::CH_BPM_TABLE:
            ChangeTempo(o, step);
            break;
        case modBMSLoad::CH_STOP:
            Stop(o, step);
            break;
        default:
            break;
    }
}

void AdvanceFirstObj() {
    const Long upper = static_cast<Long>(modBMSLoad::Obj.UBound());
    while (FirstObj >= 0 && FirstObj <= upper && modBMSLoad::Obj[FirstObj].Enabled == 0) ++FirstObj;
}

// After a seek, the sounds of the new position's first moments.
void AwaitSeekSounds() {
    HoldClock(modBMSLoad::AwaitOrderedSounds);
}

}  // namespace

void CountPlay() {
    Single rate = 0, scaled = 0;
    Long now = 0, delta = 0;
    Currency ticks;
    Step step{Currency(), 0};
    Attempt(AwaitSeekSounds);
    Attempt([&] { rate = vb::CSng(modMain::Settings.Frequency * 0.01); });
    Attempt([&] { now = plat::Now(); });
    delta = vb::ClockDiff(now, LastTime);
    LastTime = vb::ClockAdd(LastTime, delta);
    Attempt([&] { scaled = vb::CSng(static_cast<double>(delta) * rate); });
    Attempt([&] { PlayTime += Currency::FromDouble(scaled); });
    Attempt([&] { step.msPerTick = MsPerTick(modBMSLoad::Bpm); });
    Attempt([&] { ticks = Currency::FromDouble(Divide(scaled, step.msPerTick)); });

    if (StopRemain > Currency()) {
        Attempt([&] { StopRemain -= ticks; });
        if (StopRemain >= Currency()) return;  // still stopped: nothing moves, nothing fires
        Attempt([&] { ticks = -StopRemain; });
        StopRemain = Currency();
    }
    Attempt([&] { step.pos = PlayPos + ticks; });

    const Long upper = static_cast<Long>(modBMSLoad::Obj.UBound());
    for (Long i = FirstObj < 0 ? 0 : FirstObj; i <= upper; ++i) {
        ObjRecord& o = modBMSLoad::Obj[i];
        if (o.Time > PlayTime) break;
        if (o.Enabled == 0) continue;
        o.Enabled = 0;
        Fire(o, step);
    }
    PlayPos = step.pos;
    AdvanceFirstObj();
}

}  // namespace modCount
