// The sound step and the operations on every loaded sound at once.
#pragma once

namespace modSound {

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

// Finishes any open batch (tests).
void Reset();

}  // namespace modSound
