// Placeholders until the play clock and sound are written; delete each as it is implemented.
#include "chart/modBMSLoad.h"
#include "play/modCount.h"
#include "shell/render.h"
#include "sound/clsSoundBuffer.h"
#include "sound/modSound.h"

namespace modCount {
Currency PlayTime, PlayPos, StopRemain;
Long StartTime = 0, ElapsedTime = 0, LastTime = 0, FrameCount = 0, FirstObj = 0, CurrentMeasure = 0;
Long BGABase = 0, BGALayer = 0, BGAPoor = 0;
vb::Array<bool, 0, 20> LaneFlash;
vb::Array<Long, 0, 20> LaneFlashTime;
vb::Array<BombState, 0, 20> Bomb;
vb::Array<PlayerScore, 0, 1> Score;
void CountMain() {}
void CountPlay() {}
void SetBomb(Integer, Long, Long) {}
void JudgeNote(Integer, Single) {}
void Reset() {}
}  // namespace modCount

namespace modSound {
void SoundMain() {}
void SoundCheck() {}
void SoundPause() {}
void SoundResume() {}
void SoundStop() {}
void ChangeFrequency() {}
void ChangeVolume() {}
int MaxSampleRate() { return 0; }
}  // namespace modSound

namespace modBMSLoad {
void SeekBMS(Integer) {}
}

clsSoundBuffer::~clsSoundBuffer() {}
bool clsSoundBuffer::init(const std::string&) { return false; }
void clsSoundBuffer::clear() {}
void clsSoundBuffer::reset() {}
void clsSoundBuffer::play(vb::Long) {}
void clsSoundBuffer::pause() {}
void clsSoundBuffer::stopstop() {}
bool clsSoundBuffer::isPlaying() { return false; }
void clsSoundBuffer::setPosition(vb::Currency) {}
void clsSoundBuffer::setFrequency(vb::Single) {}
void clsSoundBuffer::changeVolume() {}
WAVEFORMATEX clsSoundBuffer::Format() const { return {}; }

namespace render {
int Play(const Options&) { return 1; }
bool ApplySetting(const std::string&, const std::string&) { return false; }
}  // namespace render
