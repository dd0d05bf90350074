// A large bank's entries parsed side by side: the calling thread reads the text and cuts it into runs, worker threads
// (and the calling thread, rather than wait for them) parse the runs and record their events, and the calling thread
// walks the recorded runs in the bank's order with the bank's rules, building every Question. Parsing builds
// nothing: under Wine every allocation takes one lock, and two threads each building questions ran no faster than
// one.
#include "bank_parallel_walk.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "byte_search.h"

namespace {

bool IsJsonSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// The last comma in `text` with "}" before it and "{" after it, white space aside: where two entries of the
// top-level array meet, as far as these bytes can tell. npos when there is none.
size_t LastCutBetweenObjects(const std::string& text) {
    for (size_t comma = text.rfind(','); comma != std::string::npos;
         comma = comma == 0 ? std::string::npos : text.rfind(',', comma - 1)) {
        size_t before = comma;
        while (before > 0 && IsJsonSpace(text[before - 1])) --before;
        if (before == 0 || text[before - 1] != '}') continue;
        size_t after = comma + 1;
        while (after < text.size() && IsJsonSpace(text[after])) ++after;
        if (after < text.size() && text[after] == '{') return comma;
    }
    return std::string::npos;
}

// A run of entries: its text until it is parsed, then its recorded events until they are walked.
struct Run {
    std::string text;
    bool first = false, last = false;
    std::string events;
    bool recorded = false;  // under the queue's lock
    bool parsed = false;
};

// Cuts the text, as it is read, into runs. The first run keeps the text's own start (a byte-order mark, white space,
// "["), the last its own end; the others are wrapped in "[" and "]".
struct Cutter {
    const PieceSource& next_piece;
    size_t run_bytes;
    std::string pending;  // read, not yet cut
    bool first = true;
    bool ended = false;   // nothing more is to be read
    bool gave_up = false; // no cut in four runs' worth of text
    bool done = false;    // Next has nothing more to give

    // Cuts the next run into `run`; false once the text is all cut, or when it cannot be cut (`gave_up`).
    bool Next(Run& run) {
        done = !Cut(run);
        return !done;
    }

    bool Cut(Run& run) {
        while (!ended && pending.size() < run_bytes) Read();
        size_t cut = LastCutBetweenObjects(pending);
        while (cut == std::string::npos && !ended) {
            if (pending.size() >= 4 * run_bytes) return !(gave_up = true);
            Read();
            cut = LastCutBetweenObjects(pending);
        }
        if (pending.empty()) {
            if (first) gave_up = true;  // an empty text is no bank
            return false;
        }
        run.first = first;
        run.last = ended && cut == std::string::npos;
        // The run takes the text read so far, and the text after the cut goes back to be read on: copying the
        // run out instead would copy the whole bank once more.
        run.text.swap(pending);
        pending.clear();
        if (!run.last) {
            pending += '[';
            pending.append(run.text, cut + 1, std::string::npos);
            run.text.resize(cut);
            run.text += ']';
        }
        first = false;
        return true;
    }

    void Read() {
        std::string_view piece;
        if (!next_piece(piece)) {
            ended = true;
            return;
        }
        // The parser takes a NUL byte outside a string for the end of the text (and one inside for an error), so
        // nothing after one may become a run.
        const size_t nul = FindNul(piece);
        ended = nul < piece.size();
        pending.append(piece.substr(0, nul));
    }
};

// What the reader and the workers share.
struct RunQueue {
    std::mutex lock;
    std::condition_variable changed;
    std::deque<Run*> waiting;  // cut, not yet taken by a worker
    bool closing = false;
};

// Parses runs off the queue and records their events until the queue is closed.
void RecordRuns(RunQueue& queue) {
    for (;;) {
        Run* run = nullptr;
        {
            std::unique_lock<std::mutex> hold(queue.lock);
            queue.changed.wait(hold, [&queue] { return !queue.waiting.empty() || queue.closing; });
            if (queue.closing) return;
            run = queue.waiting.front();
            queue.waiting.pop_front();
        }
        bool parsed = false;
        try {
            parsed = RecordRun(run->text, run->first, run->last, run->events);
        } catch (...) {
        }
        run->text.clear();
        {
            std::lock_guard<std::mutex> hold(queue.lock);
            run->parsed = parsed;
            run->recorded = true;
        }
        queue.changed.notify_all();
    }
}

// The runs in the bank's order, cut ahead of the walk so that every worker has two waiting and this thread one more,
// parsed by the workers and, whenever the run to walk next is not parsed yet, by this thread too (or, without
// workers, here as each is needed).
struct RunSupply {
    Cutter cutter;
    unsigned threads;
    RunQueue& queue;
    std::deque<Run> runs;  // a deque keeps each run where it is while more are added
    size_t next = 0;       // the next run to walk
    bool failed = false;
    // The texts and events of runs already walked, used again: each is about a megabyte, and under Wine a block
    // that large is mapped afresh and unmapped again every time, which stalls the other threads too.
    std::vector<std::string> spare;

    // The next run's events, or nullptr at the end of the text or when a run cannot be had (`failed`).
    const std::string* Next() {
        if (next > 0) {
            spare.push_back(std::move(runs[next - 1].text));
            spare.push_back(std::move(runs[next - 1].events));
        }
        if (threads == 0) {
            if (!cutter.Next(NewRun())) return End();
            Run& run = runs.back();
            ++next;
            if (!RecordRun(run.text, run.first, run.last, run.events)) return Fail();
            run.text.clear();
            return &run.events;
        }
        while (runs.size() < next + 2 * threads + 2 && !cutter.done) {
            if (!cutter.Next(NewRun())) {
                runs.pop_back();
                break;
            }
            {
                std::lock_guard<std::mutex> hold(queue.lock);
                queue.waiting.push_back(&runs.back());
            }
            queue.changed.notify_one();
        }
        if (cutter.gave_up) return Fail();
        if (next == runs.size()) return End();
        Run& run = runs[next++];
        std::unique_lock<std::mutex> hold(queue.lock);
        while (!run.recorded) {
            if (queue.waiting.empty()) {
                queue.changed.wait(hold);
                continue;
            }
            // Rather than wait, parse a waiting run here: this one if no worker has taken it, else the last cut.
            Run* own = queue.waiting.front() == &run ? &run : queue.waiting.back();
            if (own == &run)
                queue.waiting.pop_front();
            else
                queue.waiting.pop_back();
            hold.unlock();
            const bool parsed = RecordRun(own->text, own->first, own->last, own->events);
            own->text.clear();
            hold.lock();
            own->parsed = parsed;
            own->recorded = true;
        }
        return run.parsed ? &run.events : Fail();
    }
    Run& NewRun() {
        runs.emplace_back();
        for (std::string* buffer : {&runs.back().text, &runs.back().events}) {
            if (spare.empty()) break;
            buffer->swap(spare.back());
            buffer->clear();
            spare.pop_back();
        }
        return runs.back();
    }
    const std::string* End() { return cutter.gave_up ? Fail() : nullptr; }
    const std::string* Fail() {
        failed = true;
        return nullptr;
    }
};

}  // namespace

bool WalkRunsSideBySide(const PieceSource& next_piece, size_t run_bytes, unsigned threads, const EntrySink& sink) {
    RunQueue queue;
    RunSupply supply{Cutter{next_piece, run_bytes, std::string()}, threads, queue, std::deque<Run>(), 0, false,
                     std::vector<std::string>()};
    std::vector<std::thread> workers;
    bool walked = false;
    try {
        for (unsigned k = 0; k < threads; ++k) workers.emplace_back(RecordRuns, std::ref(queue));
        walked = WalkRecordedRuns([&supply] { return supply.Next(); }, sink) && !supply.failed;
    } catch (...) {
    }
    {
        std::lock_guard<std::mutex> hold(queue.lock);
        queue.closing = true;
    }
    queue.changed.notify_all();
    for (std::thread& worker : workers) worker.join();
    return walked;
}

unsigned SideBySideThreads(uint64_t text_bytes, size_t run_bytes) {
    // Below some ten runs the threads gain nothing measurable, and the runs in flight would weigh on the peak memory
    // of a bank of a few megabytes. (Counting the processors asks the system, so it is left until it matters.)
    if (text_bytes < 10 * run_bytes) return 0;
    const unsigned processors = std::min(std::thread::hardware_concurrency(), 8u);
    return processors >= 2 ? processors - 1 : 0;
}
