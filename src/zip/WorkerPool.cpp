#include "zip/WorkerPool.h"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <cstring>
#include <libdeflate.h>
#include <new>
#include <zlib.h>

namespace kp {

namespace {
// libdeflate's level 4 compresses source text about as well as zlib's normal level 6 (what
// zip -6 writes), in two thirds of the time of its own level 6.
constexpr int kWholeLevel = 4;
constexpr int kPieceLevel = 6; // zlib's normal level, for the pieces of large files
} // namespace

WorkerContext::WorkerContext() : m_deflater(libdeflate_alloc_compressor(kWholeLevel)) {
    if (!m_deflater) throw std::bad_alloc();
}

WorkerContext::~WorkerContext() {
    libdeflate_free_compressor(m_deflater);
    libdeflate_free_decompressor(m_inflater);
    if (m_stream) {
        deflateEnd(m_stream);
        delete m_stream;
    }
}

z_stream_s* WorkerContext::stream() {
    if (!m_stream) {
        auto* zs = new z_stream{};
        if (deflateInit2(zs, kPieceLevel, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
            delete zs;
            throw std::bad_alloc();
        }
        m_stream = zs;
    } else {
        deflateReset(m_stream);
    }
    return m_stream;
}

libdeflate_decompressor* WorkerContext::inflater() {
    if (!m_inflater && !(m_inflater = libdeflate_alloc_decompressor())) throw std::bad_alloc();
    return m_inflater;
}

char* WorkerContext::grow(std::unique_ptr<char[]>& buffer, std::size_t& size, std::size_t n,
                          std::size_t keep) {
    if (n <= size) return buffer.get();
    const std::size_t newSize = std::max(n, size + size / 2);
    std::unique_ptr<char[]> bigger(new char[newSize]); // deliberately not zeroed
    if (keep > 0) std::memcpy(bigger.get(), buffer.get(), std::min(keep, size));
    buffer = std::move(bigger);
    size = newSize;
    return buffer.get();
}

void WorkerContext::trim() {
    constexpr std::size_t kKeep = 1u << 20;
    if (m_inputSize > kKeep) {
        m_input.reset();
        m_inputSize = 0;
    }
    if (m_outputSize > kKeep) {
        m_output.reset();
        m_outputSize = 0;
    }
}

WorkerPool::WorkerPool(unsigned threads) {
    for (unsigned i = 0; i < std::max(1u, threads); ++i)
        m_threads.emplace_back([this] { run(); });
}

WorkerPool::~WorkerPool() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_tasks.clear();
    }
    m_wake.notify_all();
    for (auto& t : m_threads)
        t.join();
}

void WorkerPool::submit(Task task) {
    {
        std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
    }
    m_wake.notify_one();
}

void WorkerPool::run() {
    WorkerContext context;
    for (;;) {
        Task task;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_tasks.empty(); });
            if (m_stopping) return;
            task = std::move(m_tasks.front());
            m_tasks.pop_front();
        }
        task(context);
    }
}

void runInParallel(std::size_t count, unsigned threads, const std::function<void(std::size_t)>& work) {
    std::atomic<std::size_t> next{0};
    auto loop = [&] {
        for (std::size_t i; (i = next.fetch_add(1)) < count;)
            work(i);
    };
    std::vector<std::thread> helpers;
    const unsigned wanted = std::clamp<unsigned>(threads, 1, 16);
    try {
        for (unsigned t = 1; t < wanted && t < count; ++t)
            helpers.emplace_back(loop);
    } catch (const std::system_error&) {
    }
    loop();
    for (auto& h : helpers)
        h.join();
}

void runByFolder(std::size_t count, unsigned threads, std::size_t perTurn,
                 const std::function<void(std::size_t, FolderCursor&)>& work) {
    runInTurns(count, threads, perTurn, [&](std::size_t first, std::size_t end) {
        FolderCursor folder;
        for (std::size_t i = first; i < end; ++i)
            work(i, folder);
    });
}

void runInTurns(std::size_t count, unsigned threads, std::size_t perTurn,
                const std::function<void(std::size_t first, std::size_t end)>& turn) {
    runInParallel((count + perTurn - 1) / perTurn, threads, [&](std::size_t k) {
        turn(k * perTurn, std::min(count, (k + 1) * perTurn));
    });
}

unsigned defaultWorkerCount() {
    return std::clamp(std::thread::hardware_concurrency(), 2u, 4u);
}

} // namespace kp
