// The time of every record from the tempo, its changes and the stops.
#include "chart/chart_internal.h"
#include "chart/modBMSLoad.h"

namespace modBMSLoad {

namespace {

// Milliseconds per tick at a tempo: 240000 / (tempo x 192). The product is a Single, as the
// runtime multiplies a Single by a whole number; the quotient is stored as a Single.
Single MsPerTick(Single tempo) {
    Single ticksPerMinute = vb::CSng(static_cast<double>(tempo) * 192);
    if (ticksPerMinute == 0) vb::DivisionByZero();
    return vb::CSng(240000.0 / static_cast<double>(ticksPerMinute));
}

Single MsPerTick(Long tempo) {
    Long ticksPerMinute = vb::MulL(tempo, 192);
    if (ticksPerMinute == 0) vb::DivisionByZero();
    return vb::CSng(240000.0 / static_cast<double>(ticksPerMinute));
}

// A Currency times a Single, computed in double and rounded back to four decimals.
Currency Scaled(Currency ticks, Single msPerTick) {
    return Currency::FromDouble(ticks.ToDouble() * static_cast<double>(msPerTick));
}

}  // namespace

void PlayTimeCount() {
    Guard("PlayTimeCount", [] {
        Single msPerTick = MsPerTick(Bpm);
        Currency time, prev;
        ObjRecord* a = Obj.data();
        long upper = Obj.UBound();
        for (long i = 0; i <= upper; ++i) {
            ObjRecord& o = a[i];
            // A cleared record (Pos 0) steps the time back and the next one forward again.
            time += Scaled(o.Pos - prev, msPerTick);
            prev = o.Pos;
            o.Time = time;
            switch (o.Channel) {
                case CH_BARLINE:
                    if (o.Measure <= 999) MeasureInfo[o.Measure].Time = time;
                    break;
                case CH_BPM:
                    msPerTick = MsPerTick(o.Value);
                    break;
                case CH_BPM_TABLE:
                    msPerTick = MsPerTick(BpmTable[o.Value]);
                    break;
                case CH_STOP:
                    time += Currency::FromDouble(static_cast<double>(o.Value) *
                                                 static_cast<double>(msPerTick));
                    break;
                default:
                    break;
            }
            if (msPerTick < 0) break;
        }
        TotalTime = time;
    });
}

}  // namespace modBMSLoad
