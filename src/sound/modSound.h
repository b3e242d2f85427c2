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
int MaxSampleRate();

}  // namespace modSound
