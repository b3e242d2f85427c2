// The chart's sounds: their slots, the sound step and the operations on every loaded sound at once.
//
// Call upward, kept because a sound's position is a time on the chart: clsSoundBuffer reads the
// play clock (modCount::PlayTime) to start, pause and place a sound. The end of a single play goes
// through modMain::ShutDown (base/report.h).
#pragma once

#include <vector>

#include "base/vb.h"
#include "sound/clsSoundBuffer.h"

namespace modSound {

// The #WAV ids, created once for the program's lifetime.
extern vb::Array<clsSoundBuffer, 0, 1295> WavBuffer;

void SoundMain();
void SoundCheck();
void SoundPause();
void SoundResume();
void SoundStop();
void ChangeFrequency();
void ChangeVolume();
// Largest sample rate among the loaded sounds (0 when none): the limit of the playback speed.
// Sounds still decoding get their voices here (see clsSoundBuffer::makeVoice).
int MaxSampleRate();

// Decoding on worker threads: after BeginLoads, #WAV's init reads the file's header and queues
// its decoding. The play clock starts the workers when it loads a chart; they decode in the
// order DecodeInOrder gives and stay until JoinPendingLoads, which finishes every decoding.
void BeginLoads();
void JoinPendingLoads();
// Puts the decodings of these sounds first, in this order.
void DecodeInOrder(const std::vector<long>& ids);
// Waits until these sounds are decoded, calling `between` (if any) before each wait.
void AwaitDecodes(const std::vector<long>& ids, void (*between)());
void AwaitAllDecodes();
// When set, a load (and a seek) waits for every sound rather than those of the first moments.
extern bool DecodeAllFirst;
// Decodes queued or running.
int PendingDecodes();
// Empties the slots whose decoding failed since the last call (as playing them would); true
// when there were any.
bool SettleFailedDecodes();

// Finishes any open batch and clears every slot (tests).
void Reset();

}  // namespace modSound
