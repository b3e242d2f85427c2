// Moving play to the start of a measure: the clock, the objects already done, the tempo and BGA
// images in force there, and the sounds that would still be ringing.
#include "base/program.h"
#include "base/report.h"
#include "chart/chart_internal.h"
#include "chart/modBMSLoad.h"
#include "platform/platform.h"
#include "play/modCount.h"
#include "play/modKey.h"
#include "sound/modSound.h"

namespace modBMSLoad {

namespace {

using modSound::WavBuffer;

bool IsSoundChannel(Integer channel) {
    return channel == CH_BGM || (channel >= 10 && channel <= 30);
}

// Tempo and image changes before the target take effect, in chart order.
void ReplayState(const ObjRecord& o) {
    switch (o.Channel) {
        case CH_BGA_BASE:
        case CH_BGA_LAYER:
        case CH_BGA_POOR:
            modCount::ShowBga(o.Channel, o.Value, o.Time);
            break;
        case CH_BPM:
            Bpm = static_cast<Single>(o.Value);
            break;
        case CH_BPM_TABLE:
            Bpm = BpmTable[o.Value];
            break;
        default:
            break;
    }
}

// A sound object before the target that would still be sounding there is armed to start part-way
// and fired again by the next play step; of two such objects on one sound only the later plays.
void RearmSound(Long i, vb::Array<Long, 0, 1295>& lastObjOfWav) {
    ObjRecord& o = Obj[i];
    clsSoundBuffer& sound = WavBuffer[o.Value];
    Currency ends = o.Time + Currency::FromDouble(sound.Length());
    if (ends > modCount::PlayTime && o.Kind != KIND_INVISIBLE) {
        sound.setPosition(modCount::PlayTime - o.Time);
        o.Enabled = -1;
        Long previous = lastObjOfWav[o.Value];
        if (previous != -1) {
            ObjRecord& p = Obj[previous];
            if (p.Kind == KIND_LN_START)
                p.Kind = KIND_LN_HELD;
            else
                p.Enabled = 0;
        }
        lastObjOfWav[o.Value] = i;
    }
    if ((o.Kind == KIND_LN_START || o.Kind == KIND_LN_HELD) &&
        Obj[o.Link].Time > modCount::PlayTime) {
        o.Kind = KIND_LN_START;  // still held at the target
        o.Enabled = -1;
    }
}

void RestoreObjects() {
    vb::Array<Long, 0, 1295> lastObjOfWav;
    lastObjOfWav.Fill(-1);
    for (Long i = 0; i <= Obj.UBound(); ++i) {
        ObjRecord& o = Obj[i];
        if (o.Time >= modCount::PlayTime) {
            o.Enabled = -1;
            if (o.Kind == KIND_LN_HELD) o.Kind = KIND_LN_START;
            continue;
        }
        o.Enabled = 0;
        if (IsSoundChannel(o.Channel))
            RearmSound(i, lastObjOfWav);
        else
            ReplayState(o);
    }
}

}  // namespace

void SeekBMS(Integer measure) {
    // The mouse wheel seeks from inside a message pass, and the loader makes such passes between
    // the lines it reads; a seek then would act on a chart that is only half built.
    if (ReadingLines) return;
    try {
        Long& state = modMain::PlayState;
        if (state == modMain::PS_IDLE) {
            if (Title.empty()) return;
            state = modMain::PS_PLAY;
        } else if (state == modMain::PS_END) {
            state = modMain::PS_PLAY;
        }
        if (measure < 0) measure = 0;
        if (measure > MaxMeasure) measure = MaxMeasure;

        modSound::SoundStop();
        ClearPlayState();

        const MeasureRecord& start = MeasureInfo[measure];
        modCount::PlayPos = start.Pos;
        modCount::StopRemain = Currency();
        modCount::PlayTime = start.Time;
        Bpm = BaseBpm;
        modCount::CurrentMeasure = measure;
        for (long k = 0; k <= 999; ++k) BarLine[k].Enabled = k < measure ? 0 : -1;

        RestoreObjects();
        OrderSoundsFrom(modCount::PlayTime);

        for (Long i = 0; i <= Obj.UBound(); ++i) {
            if (Obj[i].Enabled != 0) {
                modCount::FirstObj = i;
                break;
            }
        }
        modCount::LastTime = plat::Now();
        modKey::PauseStart = modCount::LastTime;
    } catch (const vb::Error& e) {
        modMain::Report(e, "SeekBMS");
    }
}

}  // namespace modBMSLoad
