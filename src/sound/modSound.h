// The chart's sounds: their slots, the sound step and the operations on every loaded sound at once.
//
// Call upward, kept because a sound's position is a time on the chart: clsSoundBuffer reads the
// play clock (modCount::PlayTime) to start, pause and place a sound. The end of a single play goes
// through modMain::ShutDown (base/report.h).
#pragma once

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
// Finishes the sound loads still running first (see JoinPendingLoads).
int MaxSampleRate();

// Parallel decoding of a chart's sounds: between BeginLoads and JoinPendingLoads, #WAV's init
// queues the decoding on worker threads. The play clock opens the batch around LoadBMS; the
// sounds are complete after JoinPendingLoads (MaxSampleRate calls it) or whenever one is used.
void BeginLoads();
void JoinPendingLoads();
// Decodes queued or running.
int PendingDecodes();
// Plays that found their sound still being decoded, since the program started.
extern long UnreadyPlays;

// Finishes any open batch and clears every slot (tests).
void Reset();

}  // namespace modSound
