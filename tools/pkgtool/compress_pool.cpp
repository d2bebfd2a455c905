#include "pkgtool/compress_pool.h"

#include "pkgtool/package_writer.h"

TCompressPool::TCompressPool(int jobs, int level)
    : level_(level), window_(16 * static_cast<size_t>(jobs < 1 ? 1 : jobs)),
      byteWindow_((2 * static_cast<size_t>(jobs < 1 ? 1 : jobs)) << 24)
{
    if (jobs <= 1) return;
    for (int i = 0; i < jobs; ++i) threads_.emplace_back([this] { Work(); });
}

TCompressPool::~TCompressPool()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    ready_.notify_all();
    for (std::thread& t : threads_) t.join();
}

void TCompressPool::Queue(std::string entry)
{
    auto job = std::make_shared<TJob>();
    job->Entry = std::move(entry);
    queuedBytes_ += job->Entry.size();
    order_.push_back(job);
    if (threads_.empty()) {
        job->Record = EncodeRecord(job->Entry, level_);
        job->Done = true;
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        todo_.push_back(std::move(job));
    }
    ready_.notify_one();
}

std::shared_ptr<TCompressPool::TJob> TCompressPool::TakeOldest()
{
    if (order_.empty()) return nullptr;
    std::shared_ptr<TJob> job = order_.front();
    order_.pop_front();
    queuedBytes_ -= job->Entry.size();
    std::unique_lock<std::mutex> lock(mutex_);
    encoded_.wait(lock, [&] { return job->Done; });
    return job;
}

void TCompressPool::Work()
{
    for (;;) {
        std::shared_ptr<TJob> job;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            ready_.wait(lock, [&] { return stopping_ || !todo_.empty(); });
            if (todo_.empty()) return;
            job = std::move(todo_.front());
            todo_.pop_front();
        }
        std::string record = EncodeRecord(job->Entry, level_);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            job->Record = std::move(record);
            job->Done = true;
        }
        encoded_.notify_all();
    }
}

int DefaultJobCount()
{
    const unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : static_cast<int>(n);
}
