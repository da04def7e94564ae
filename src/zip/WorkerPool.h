// A few threads that compress the items of a save while the saving thread writes.
#pragma once
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/InputFile.h"

struct libdeflate_compressor;
struct libdeflate_decompressor;
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
    libdeflate_decompressor* inflater(); // made on first use

    // Scratch buffers kept from item to item, so that thousands of small files do not each
    // pay for fresh (zeroed, faulted-in) memory. Contents are not preserved across calls,
    // except that growInput keeps the first `keep` bytes.
    char* input(std::size_t n) { return grow(m_input, m_inputSize, n, 0); }
    char* growInput(std::size_t n, std::size_t keep) { return grow(m_input, m_inputSize, n, keep); }
    char* output(std::size_t n) { return grow(m_output, m_outputSize, n, 0); }
    // Gives large scratch memory back after an unusually big item.
    void trim();
    // The folder of the file this worker read last.
    FolderCursor& folder() { return m_folder; }

private:
    static char* grow(std::unique_ptr<char[]>& buffer, std::size_t& size, std::size_t n, std::size_t keep);

    libdeflate_compressor* m_deflater;
    libdeflate_decompressor* m_inflater = nullptr;
    z_stream_s* m_stream = nullptr;
    std::unique_ptr<char[]> m_input, m_output;
    std::size_t m_inputSize = 0, m_outputSize = 0;
    FolderCursor m_folder;
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

// runInParallel for files of a listing: each thread takes runs of perTurn consecutive indexes,
// with a FolderCursor of its own, so files listed folder by folder are opened by their names.
void runByFolder(std::size_t count, unsigned threads, std::size_t perTurn,
                 const std::function<void(std::size_t, FolderCursor&)>& work);

// Runs work(i) for every i below count on up to `threads` threads, the calling one included.
// Where no thread can be had, the threads that did start do the work.
void runInParallel(std::size_t count, unsigned threads, const std::function<void(std::size_t)>& work);

// The same, each thread taking runs of perTurn consecutive indexes, turn(first, end) for each:
// files written folder by folder then mostly go into a folder no other thread writes in at
// that moment (creating a file locks its folder, so two threads creating files in one folder
// take turns and spin), and a run's items can be read from their archive at once.
void runInTurns(std::size_t count, unsigned threads, std::size_t perTurn,
                const std::function<void(std::size_t first, std::size_t end)>& turn);

} // namespace kp
