// Decoded files shared by every slot that names them. A chart may name one file in many slots;
// decoding it once keeps memory and load time growing with its distinct files. Entries are weak:
// a decode lives as long as some slot (or mixer voice) holds it, and a key includes the file's
// identity on disk, so a file changed since is decoded anew. Sounds are decoded on several
// threads: a thread asking for a key another is decoding waits for that result.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

template <typename T>
class SharedDecodes {
  public:
    using Ptr = std::shared_ptr<const T>;

    // The decode held for `key`, or the result of decode() (a Ptr, null on failure). Failures
    // are not kept: a later caller tries again.
    template <typename Decode>
    Ptr Get(const std::string& key, Decode decode) {
        {
            std::unique_lock<std::mutex> held(lock_);
            for (;;) {
                Entry& entry = entries_[key];
                if (Ptr kept = entry.decoded.lock()) return kept;
                if (!entry.decoding) {
                    entry.decoding = true;
                    break;
                }
                finished_.wait(held);
            }
        }
        Ptr made;
        try {
            made = decode();
        } catch (...) {
            Finish(key, nullptr);
            throw;
        }
        Finish(key, made);
        return made;
    }

    void Clear() {
        std::lock_guard<std::mutex> guard(lock_);
        for (auto it = entries_.begin(); it != entries_.end();)
            it = it->second.decoding ? std::next(it) : entries_.erase(it);
    }

  private:
    struct Entry {
        std::weak_ptr<const T> decoded;
        bool decoding = false;
    };

    void Finish(const std::string& key, const Ptr& made) {
        std::lock_guard<std::mutex> guard(lock_);
        Entry& entry = entries_[key];
        entry.decoded = made;
        entry.decoding = false;
        // Entries whose decode is gone are swept now and then, so the table stays small.
        if (entries_.size() >= 2 * swept_ + 64) {
            for (auto it = entries_.begin(); it != entries_.end();)
                it = it->second.decoding || !it->second.decoded.expired() ? std::next(it)
                                                                          : entries_.erase(it);
            swept_ = entries_.size();
        }
        finished_.notify_all();
    }

    std::mutex lock_;
    std::condition_variable finished_;
    std::unordered_map<std::string, Entry> entries_;
    size_t swept_ = 0;
};
