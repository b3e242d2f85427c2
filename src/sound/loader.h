// Finding and decoding the sound files of a chart, in parallel while the chart is read.
//
// A sound is decoded on a worker thread and handed to its clsSoundBuffer when the buffer is next
// used (or when the batch is joined). The buffer keeps the order of its own init calls, so the
// model ends exactly as a one-by-one load would leave it.
#pragma once

#include <memory>
#include <string>

#include "platform/mixer.h"
#include "sound/modSound.h"

namespace modSound {

// Looks the name up as the loader does and decodes the first candidate that works: the exact
// name (after path resolution), then every file of the same base name and any extension, in the
// listing's order. A file that cannot be decoded is passed over; a decoded sound the output
// cannot take (no data, more than two channels, a rate outside 100 to 100000 Hz, over 256 MiB)
// ends the search. The sound found is converted to the output rate (plat::ConvertToOutputRate).
// Null when nothing was found. Safe to call from any thread.
std::shared_ptr<const plat::Pcm> FindSound(const std::string& name);
// Whether FindSound has any file to try: a look-up only, answered from the lookup index while a
// chart loads, so a missing name costs no decoding thread's time.
bool SoundFileExists(const std::string& name);

struct LoadJob;

// BeginLoads and JoinPendingLoads (modSound.h) open and close a batch: one worker thread per
// hardware thread; joining lets the calling thread help with what is still queued.
bool LoadsOpen();

// Queues a decoding; null when no batch is open.
std::shared_ptr<LoadJob> QueueLoad(const std::string& name);
// The result of a queued decoding, waiting for it (or running it here if no worker took it yet).
std::shared_ptr<const plat::Pcm> TakeLoad(const std::shared_ptr<LoadJob>& job);
// Forgets a queued decoding whose result is no longer wanted.
void DropLoad(const std::shared_ptr<LoadJob>& job);
const std::string& LoadName(const LoadJob& job);

}  // namespace modSound
