// Encodes package records on a fixed pool of threads and hands them back in
// the order they were queued, so the package is the same whatever the
// number of threads.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TCompressPool {
public:
    struct TJob {
        std::string Entry;   // the record's entry (header and data)
        std::string Record;  // its encoding, once done
        bool Done = false;
    };

    // jobs < 1 counts as 1; with one job everything runs on the caller's
    // thread. level: zlib's 0..9.
    TCompressPool(int jobs, int level);
    ~TCompressPool();
    TCompressPool(const TCompressPool&) = delete;
    TCompressPool& operator=(const TCompressPool&) = delete;

    // Queues an entry for encoding.
    void Queue(std::string entry);
    // Entries queued and not yet taken.
    size_t Pending() const { return order_.size(); }
    // Whether Queue would exceed the records kept in memory at once: many
    // small ones keep every thread busy, a few large ones bound the memory.
    bool Full() const { return order_.size() >= window_ || queuedBytes_ >= byteWindow_; }
    // The oldest queued job once it is encoded (waits for it).
    std::shared_ptr<TJob> TakeOldest();

private:
    void Work();
    const int level_;
    const size_t window_;
    const size_t byteWindow_;
    size_t queuedBytes_ = 0;
    std::deque<std::shared_ptr<TJob>> order_;  // queued, in order; the caller's side
    std::mutex mutex_;
    std::condition_variable ready_;    // a job was queued or the pool stops
    std::condition_variable encoded_;  // a job is done
    std::deque<std::shared_ptr<TJob>> todo_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

// Threads of the machine, at least 1.
int DefaultJobCount();
