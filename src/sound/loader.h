// Finding and decoding the sound files of a chart on worker threads, in the order the song needs
// them.
//
// While a chart is read, each sound's header is read at once (its format and length) and its
// decoding queued; once the chart is sorted, the queue is put in the order of each sound's first
// use from the play position, and a seek puts it in that order again. A sound is handed to its
// clsSoundBuffer when it is first played (waiting for its decode if need be).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/mixer.h"
#include "platform/platform.h"
#include "sound/modSound.h"

namespace modSound {

// Looks the name up as the loader does and decodes the first candidate that works: the exact
// name (after path resolution), then every file of the same base name and any extension, in the
// listing's order. A file that cannot be decoded is passed over; a decoded sound the output
// cannot take (no data, more than two channels, a rate outside 100 to 100000 Hz, over 256 MiB)
// ends the search. The sound found is converted to the output rate (plat::ConvertToOutputRate).
// Null when nothing was found. Safe to call from any thread.
std::shared_ptr<const plat::Pcm> FindSound(const std::string& name);
// The header of the sound FindSound would decode, read from the first candidate whose header
// opens (its path in `path`); empty when there is none or the output cannot take its format.
std::optional<plat::SoundHeader> FindSoundHeader(const std::string& name, std::string& path);
// Whether FindSound has any file to try: a look-up only, answered from the lookup index while a
// chart loads, so a missing name costs no decoding thread's time.
bool SoundFileExists(const std::string& name);

struct LoadJob;

// BeginLoads (modSound.h) starts one worker thread per hardware thread; they stay, idle when the
// queue is empty, until JoinPendingLoads finishes every decoding and ends them.
bool LoadsOpen();

// Queues a decoding (last in the order); null when no workers run. The bytes its sound will hold
// are taken from the media budget now (shared by the slots that name one file), and given back
// when the decoding starts and takes its own; null too when the budget cannot give them.
std::shared_ptr<LoadJob> QueueLoad(const std::string& name, const std::string& path,
                                   uint64_t bytes);
// Whether the decoding has finished (TakeLoad then returns at once).
bool LoadDone(const LoadJob& job);
// Whether it has finished without a sound.
bool LoadFailed(const LoadJob& job);
// How many decodings have finished without a sound since the program started.
int FailedLoads();
// The result of a queued decoding, waiting for it (first in the queue if no worker took it yet).
std::shared_ptr<const plat::Pcm> TakeLoad(const std::shared_ptr<LoadJob>& job);
// Forgets a queued decoding whose result is no longer wanted.
void DropLoad(const std::shared_ptr<LoadJob>& job);
const std::string& LoadName(const LoadJob& job);
// Puts these jobs, in this order, before every other one still queued.
void PutFirst(const std::vector<const LoadJob*>& order);

}  // namespace modSound
