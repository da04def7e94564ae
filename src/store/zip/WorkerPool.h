// A few threads that compress the items of a save while the saving thread writes.
#pragma once
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

struct libdeflate_compressor;
struct z_stream_s;

namespace kp {

// Per-thread compression state, made once per worker rather than once per item.
class WorkerContext {
public:
    WorkerContext();
    ~WorkerContext();
    WorkerContext(const WorkerContext&) = delete;
    WorkerContext& operator=(const WorkerContext&) = delete;

    libdeflate_compressor* deflater() const { return m_deflater; }
    z_stream_s* stream(); // raw Deflate at level 6, reset before each use

private:
    libdeflate_compressor* m_deflater;
    z_stream_s* m_stream = nullptr;
};

class WorkerPool {
public:
    using Task = std::function<void(WorkerContext&)>;
    explicit WorkerPool(unsigned threads);
    // Tasks not yet started are dropped; running ones are waited for.
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    void submit(Task task);

private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Task> m_tasks;
    bool m_stopping = false;
    std::vector<std::thread> m_threads;
};

// Worker threads for a save: both cores, and a few more where there are more.
unsigned defaultWorkerCount();

} // namespace kp
