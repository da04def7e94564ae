#include "store/ProjectListing.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "store/IgnoreRules.h"
#include "store/Layout.h"
#include "zip/WorkerPool.h"

namespace kp {

namespace {

std::function<int(const std::string&)>& folderFault() {
    static std::function<int(const std::string&)> fault;
    return fault;
}

struct FolderId {
    std::uint64_t device;
    std::uint64_t inode;
};

// What one part of the tree gave, in listing order. A subfolder handed to another thread
// leaves a gap where its own part goes, so the joined listing is the one a single thread
// would have made: parents before their contents, entries in the order the folder gives them.
struct Part {
    ProjectListing list;
    std::vector<UnreadableItem> unreadable;
    std::vector<IgnoredItem> ignored;
    std::vector<std::string> temporaries;
    struct Gap {
        std::size_t list, unreadable, ignored, temporaries; // where in this part it goes
        std::unique_ptr<Part> part;
    };
    std::vector<Gap> gaps;
};

template <class T>
void moveRange(std::vector<T>& from, std::size_t& done, std::size_t upTo, std::vector<T>* to) {
    if (to)
        for (; done < upTo; ++done) to->push_back(std::move(from[done]));
    done = upTo;
}

// Moves a part, its gaps filled, to the end of the caller's lists; each part is freed as soon
// as it is joined, so a large tree is not held twice.
void join(Part& part, ProjectListing& list, const ScanOptions& options) {
    std::size_t l = 0, u = 0, i = 0, t = 0;
    for (Part::Gap& gap : part.gaps) {
        moveRange(part.list, l, gap.list, &list);
        moveRange(part.unreadable, u, gap.unreadable, options.unreadable);
        moveRange(part.ignored, i, gap.ignored, options.ignored);
        moveRange(part.temporaries, t, gap.temporaries, options.extractionTemporaries);
        join(*gap.part, list, options);
        gap.part.reset();
    }
    moveRange(part.list, l, part.list.size(), &list);
    moveRange(part.unreadable, u, part.unreadable.size(), options.unreadable);
    moveRange(part.ignored, i, part.ignored.size(), options.ignored);
    moveRange(part.temporaries, t, part.temporaries.size(), options.extractionTemporaries);
    part = Part{};
}

// Subfolders waiting for a thread. Looking up every entry of a large tree is most of a
// listing's time and the lookups of different folders do not wait for one another, so a
// second thread takes whole subfolders while the first goes on; a subfolder is only handed
// over while the queue is short, so that it never waits long for a thread.
class FolderQueue {
public:
    struct Job {
        FolderHandle handle;
        std::string path;
        std::vector<FolderId> ancestors;
        Part* part;
    };
    using Runner = std::function<void(Job&)>;

    explicit FolderQueue(unsigned threads) : m_threads(threads) {}
    bool wantsMore() const { return m_threads > 1 && m_waiting.load(std::memory_order_relaxed) < 2; }
    // Any scanning thread may hand a folder over; the helpers are started with the first.
    void push(Job job, const Runner& run) {
        {
            std::lock_guard lock(m_mutex);
            m_jobs.push_back(std::move(job));
            ++m_waiting;
            ++m_unfinished;
            while (m_workers.size() + 1 < m_threads) m_workers.emplace_back([this, run] { work(run); });
        }
        m_wake.notify_one();
    }
    // The calling thread's own folder is done: it helps with what is left and waits for the
    // rest. A failure of another thread (out of memory) is thrown here.
    void finish(const Runner& run) {
        {
            std::lock_guard lock(m_mutex);
            if (--m_unfinished == 0) m_wake.notify_all();
        }
        work(run);
        // Nothing is queued any more, so no thread adds a helper now.
        for (std::thread& t : m_workers) t.join();
        m_workers.clear();
        if (m_failure) std::rethrow_exception(m_failure);
    }

    // What is queued is dropped (the listing failed on the calling thread).
    void abandon() { m_failed = true; }

private:
    void work(const Runner& run) {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [&] { return !m_jobs.empty() || m_unfinished == 0; });
            if (m_jobs.empty()) return;
            Job job = std::move(m_jobs.front());
            m_jobs.pop_front();
            --m_waiting;
            lock.unlock();
            std::exception_ptr failure;
            try {
                if (!m_failed) run(job);
            } catch (...) {
                failure = std::current_exception();
            }
            lock.lock();
            if (failure && !m_failure) m_failure = failure;
            if (failure) m_failed = true;
            if (--m_unfinished == 0) m_wake.notify_all();
        }
    }

    unsigned m_threads;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Job> m_jobs;
    std::atomic<std::size_t> m_waiting{0};
    std::size_t m_unfinished = 1; // the calling thread's own folder, until finish()
    std::vector<std::thread> m_workers;
    std::exception_ptr m_failure; // the first, under m_mutex
    std::atomic<bool> m_failed{false};
};

struct Scanner {
    const ScanOptions& options;
    std::vector<std::string> excludedLower;
    std::size_t topLength = 0; // length of the listed folder's path, for relative paths
    FolderQueue* queue = nullptr;

    // The ignore file's rules speak of paths relative to the project's folder.
    bool isIgnored(Part& out, const std::string& path, bool isFolder) const {
        if (!options.ignore || options.ignore->empty()) return false;
        const IgnoreRule* rule = options.ignore->match(std::string_view(path).substr(topLength), isFolder);
        if (!rule) return false;
        if (options.ignored) out.ignored.push_back({path, rule});
        return true;
    }

    bool isExcluded(const std::string& name) const {
        if (excludedLower.empty()) return false;
        const std::string lower = lowerUtf8(name);
        for (const auto& e : excludedLower)
            if (e == lower) return true;
        return false;
    }

    static bool isAncestor(const std::vector<FolderId>& ancestors, const FileInfo& fi) {
        for (const auto& a : ancestors)
            if (a.device == fi.device && a.inode == fi.inode) return true;
        return false;
    }

    bool matches(const std::string& name) const {
        if (options.literalMask) return name == options.mask;
        return options.mask.empty() || options.mask == "*" || wildcardMatch(options.mask, name);
    }

    static ListingEntry entryFor(const std::string& path, const FileInfo& fi) {
        ListingEntry e;
        e.path = path;
        e.isFolder = fi.isFolder;
        e.dosTime = fi.dosTime;
        e.size = fi.size;
        e.attributes = fi.attributes;
        e.mode = fi.mode;
        e.mtime = fi.modificationTime;
        return e;
    }

    void unreadable(Part& out, const std::string& path, int error) const {
        if (options.unreadable) out.unreadable.push_back({path, error});
    }

    static int openError(const FolderHandle& handle, const std::string& path) {
        if (folderFault())
            if (const int err = folderFault()(path)) return err;
        return handle.error();
    }

    // Extraction writes each file aside under this name and renames it into place; one left
    // by a killed restore is no file of the project.
    static bool isExtractionTemporary(const FileInfo& fi) {
        return !fi.isFolder && fi.name.starts_with(kExtractionTemporaryPrefix);
    }

    void run(FolderQueue::Job& job) { scan(*job.part, job.handle, job.path, job.ancestors); }

    // Subfolders are opened relative to their parent, so paths of any length are listed.
    void scan(Part& out, const FolderHandle& handle, const std::string& folder, std::vector<FolderId>& ancestors) {
        std::vector<ReadFailure> failures;
        const std::vector<FileInfo> entries = handle.list(failures);
        for (const ReadFailure& f : failures)
            if (f.name.empty() || matches(f.name)) unreadable(out, f.name.empty() ? folder : folder + f.name, f.error);
        for (const FileInfo& fi : entries) {
            if (options.onEntry) options.onEntry();
            if (isExtractionTemporary(fi)) {
                if (options.extractionTemporaries) out.temporaries.push_back(folder + fi.name);
                continue;
            }
            if (!matches(fi.name)) continue;
            if (fi.isFolder) {
                if (isExcluded(fi.name)) continue;
                std::string path = folder + fi.name + "/";
                if (isIgnored(out, path, true)) continue;
                out.list.push_back(entryFor(path, fi));
                if (isAncestor(ancestors, fi)) continue; // a link back up: listed, not entered again
                FolderHandle child(handle, fi.name);
                if (const int err = openError(child, path)) {
                    unreadable(out, path, err);
                    continue;
                }
                ancestors.push_back({fi.device, fi.inode});
                if (queue && queue->wantsMore()) {
                    handOver(out, std::move(child), std::move(path), ancestors);
                } else {
                    scan(out, child, path, ancestors);
                }
                ancestors.pop_back();
            } else {
                if (isIgnored(out, folder + fi.name, false)) continue;
                out.list.push_back(entryFor(folder + fi.name, fi));
            }
        }
    }

    void handOver(Part& out, FolderHandle child, std::string path, const std::vector<FolderId>& ancestors) {
        auto part = std::make_unique<Part>();
        Part* target = part.get();
        out.gaps.push_back(
            {out.list.size(), out.unreadable.size(), out.ignored.size(), out.temporaries.size(), std::move(part)});
        queue->push({std::move(child), std::move(path), ancestors, target}, [this](FolderQueue::Job& job) { run(job); });
    }
};

} // namespace

std::string listingValue(const ListingEntry& e) {
    if (e.isDriveRoot) return "a:drive";
    if (!e.hasValue) return {};
    return "t:" + std::to_string(e.dosTime) + ",s:" + std::to_string(e.size) + ",a:" + std::to_string(e.attributes);
}

std::string listingLine(const ListingEntry& e) { return e.path + "\t" + listingValue(e); }

void ScanProject(ProjectListing& list, const std::string& folderIn, const ScanOptions& options) {
    const std::string folder = folderIn.empty() || folderIn.back() != '/' ? folderIn + "/" : folderIn;
    Scanner scanner{options, {}, folder.size()};
    for (const auto& e : options.excluded) scanner.excludedLower.push_back(lowerUtf8(e));

    const auto self = statPath(folder);
    if (list.empty()) {
        ListingEntry first;
        first.path = folder;
        first.isFolder = true;
        if (isDriveRoot(folder)) {
            first.isDriveRoot = true;
        } else if (self) {
            first = Scanner::entryFor(folder, *self);
        } else {
            first.hasValue = false;
        }
        list.push_back(first);
    }
    std::vector<FolderId> ancestors;
    if (self) ancestors.push_back({self->device, self->inode});
    const FolderHandle handle(folder);
    Part top;
    if (const int err = Scanner::openError(handle, folder)) {
        scanner.unreadable(top, folder, err);
    } else {
        // The window kept alive by onEntry lives on this thread: such a listing stays on it.
        FolderQueue queue(options.onEntry ? 1 : std::min(2u, defaultWorkerCount()));
        scanner.queue = &queue;
        std::exception_ptr failure;
        try {
            scanner.scan(top, handle, folder, ancestors);
        } catch (...) {
            failure = std::current_exception();
            queue.abandon();
        }
        queue.finish([&](FolderQueue::Job& job) { scanner.run(job); });
        if (failure) std::rethrow_exception(failure);
    }
    join(top, list, options);
}

void setFolderFaultForTesting(std::function<int(const std::string& folder)> fault) {
    folderFault() = std::move(fault);
}

} // namespace kp
