// A large bank's entries walked side by side: the calling thread reads and cuts the text into runs, worker threads
// walk them, and the questions are joined in the runs' order at the end.
#include "bank_parallel_walk.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "bank_rules.h"

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

// A run of entries to walk, and where its questions go.
struct Run {
    std::string text;
    std::vector<Question>* questions;
};

// What the reader and the workers share.
struct RunQueue {
    std::mutex lock;
    std::condition_variable changed;
    std::deque<Run> waiting;
    bool reading_done = false;
    std::atomic<bool> failed{false};
};

// Walks one run as an array of its own; false when it does not load whole.
bool WalkRun(const Run& run) {
    bool good = true;
    std::string unused;
    const EntrySink collect = [&good, &run](size_t, Question& question, const std::string& problem, unsigned) {
        if (!problem.empty()) return good = false;
        run.questions->push_back(std::move(question));
        return true;
    };
    return WalkBankText(run.text, UINT64_MAX, collect, unused) && good;
}

// Takes runs off the queue and walks them until the reader is done and the queue empty; after a failure the rest
// are only taken off.
void WalkRuns(RunQueue& queue) {
    for (;;) {
        Run run;
        {
            std::unique_lock<std::mutex> hold(queue.lock);
            queue.changed.wait(hold, [&queue] { return !queue.waiting.empty() || queue.reading_done; });
            if (queue.waiting.empty()) return;
            run = std::move(queue.waiting.front());
            queue.waiting.pop_front();
        }
        queue.changed.notify_all();  // the reader may be waiting for room
        if (queue.failed) continue;
        bool good = false;
        try {
            good = WalkRun(run);
        } catch (...) {
        }
        if (!good) {
            queue.failed = true;
            queue.changed.notify_all();
        }
    }
}

// Cuts the text into runs and hands each to `walk` as it is cut. The first run keeps the text's own start (a
// byte-order mark, white space, "["), the last its own end; the others are wrapped in "[" and "]".
bool CutIntoRuns(const PieceSource& next_piece, size_t run_bytes, std::deque<std::vector<Question>>& results,
                 const std::function<bool(Run&&)>& walk) {
    std::string pending;  // read, not yet cut
    bool first = true, ended = false;
    std::string_view piece;
    for (bool more = next_piece(piece); more || !pending.empty(); more = !ended && next_piece(piece)) {
        if (more) {
            // The parser takes a NUL byte outside a string for the end of the text (and one inside for an error),
            // so nothing after one may become a run.
            const size_t nul = piece.find('\0');
            ended = nul != std::string_view::npos;
            pending.append(piece.substr(0, nul));
            if (pending.size() < run_bytes && !ended) continue;
        }
        Run run;
        if (more) {
            const size_t cut = LastCutBetweenObjects(pending);
            if (cut == std::string::npos) {
                if (pending.size() >= 4 * run_bytes) return false;
                continue;
            }
            run.text.reserve(cut + 2);
            if (!first) run.text = "[";
            run.text.append(pending, 0, cut);
            run.text += ']';
            pending.erase(0, cut + 1);
        } else {
            if (!first) run.text = "[";
            run.text += pending;
            pending.clear();
        }
        first = false;
        results.emplace_back();
        run.questions = &results.back();
        if (!walk(std::move(run))) return false;
    }
    return !first;  // an empty text is no bank
}

}  // namespace

bool WalkRunsSideBySide(const PieceSource& next_piece, size_t run_bytes, unsigned threads,
                        std::vector<Question>& questions) {
    // A deque keeps each run's questions where they are while more runs are added.
    std::deque<std::vector<Question>> results;
    RunQueue queue;
    std::vector<std::thread> workers;
    bool cut_whole = false;
    try {
        if (threads == 0) {
            cut_whole = CutIntoRuns(next_piece, run_bytes, results, [](Run&& run) { return WalkRun(run); });
        } else {
            for (unsigned k = 0; k < threads; ++k) workers.emplace_back(WalkRuns, std::ref(queue));
            // At most two runs wait per worker, so the text read ahead stays a few runs long.
            cut_whole = CutIntoRuns(next_piece, run_bytes, results, [&queue, threads](Run&& run) {
                std::unique_lock<std::mutex> hold(queue.lock);
                queue.changed.wait(hold, [&] { return queue.waiting.size() < 2 * threads || queue.failed; });
                if (queue.failed) return false;
                queue.waiting.push_back(std::move(run));
                queue.changed.notify_all();
                return true;
            });
        }
    } catch (...) {
        cut_whole = false;
    }
    if (!cut_whole) queue.failed = true;
    {
        std::lock_guard<std::mutex> hold(queue.lock);
        queue.reading_done = true;
    }
    queue.changed.notify_all();
    for (std::thread& worker : workers) worker.join();
    if (queue.failed) return false;

    try {
        size_t total = questions.size();
        for (const auto& run_questions : results) total += run_questions.size();
        questions.reserve(total);
    } catch (...) {
        return false;
    }
    for (auto& run_questions : results)
        for (Question& question : run_questions) questions.push_back(std::move(question));
    return true;
}
