// A chart model built by hand for the play-clock tests: objects with their final positions and
// times, as the loader would leave them.
#pragma once

#include <vector>

#include "sound_fixture.h"

namespace playtest {

using modBMSLoad::ObjRecord;
using vb::Currency;
using vb::Integer;
using vb::Long;

inline Currency Ms(double v) {
    return Currency::FromDouble(v);
}

class PlayTest : public soundtest::SoundTest {
  protected:
    void SetUp() override {
        SoundTest::SetUp();
        modMain::PlayState = modMain::PS_PLAY;
        modBMSLoad::Bpm = modBMSLoad::BaseBpm = 120.0f;
        modBMSLoad::Rank = 2;
        modBMSLoad::Player = 1;
        modBMSLoad::Title = "Test";
    }

    // Adds an object; returns its index in Obj.
    Long Add(Integer channel, Long kind, double pos, double timeMs, Long value,
             Integer measure = 0) {
        ObjRecord o;
        o.Enabled = -1;
        o.Channel = channel;
        o.Kind = kind;
        o.Measure = measure;
        o.Pos = Ms(pos);
        o.Time = Ms(timeMs);
        o.Value = value;
        o.Link = -1;
        objs.push_back(o);
        return static_cast<Long>(objs.size() - 1);
    }
    Long Note(Integer channel, double timeMs, Long sound = 0) {
        return Add(channel, modBMSLoad::KIND_NORMAL, 0, timeMs, sound);
    }
    Long BarLine(Integer measure, double pos, double timeMs) {
        return Add(modBMSLoad::CH_BARLINE, 0, pos, timeMs, 0, measure);
    }
    void Link(Long start, Long end) {
        objs[start].Link = end;
        objs[end].Link = start;
    }
    // Installs the objects as Obj (they must already be in play order).
    void Commit() {
        modBMSLoad::Obj.ReDim(static_cast<long>(objs.size()) - 1);
        for (size_t i = 0; i < objs.size(); ++i) modBMSLoad::Obj[static_cast<long>(i)] = objs[i];
        modBMSLoad::ObjCount = static_cast<Long>(objs.size());
    }
    ObjRecord& O(Long i) { return modBMSLoad::Obj[i]; }

    // One play step at clock reading `ms`.
    void StepAt(int32_t ms) {
        dev->SetTime(ms);
        modCount::CountPlay();
    }

    Long Judged(int side = 0) const {
        Long n = 0;
        for (Long c : modCount::Score[side].JudgeCount) n += c;
        return n;
    }

    std::vector<ObjRecord> objs;
};

}  // namespace playtest
