// The loader benchmark behind `make bench`: synthetic banks of 1,000, 10,000 and 100,000 questions are loaded with
// the real LoadQuestions from a real questions.json, and compared in the same run with a bare parse of the same
// bytes from memory and with merely reading the file. It also reports PrepareExam's time, the peak memory of a
// process that loads the bank, and how long the real tessavon.exe takes from start to a visible window, and its own
// peak memory, on banks of 60 to 100,000 questions, beside other builds when asked: that fresh-process figure of
// the exe is the one a candidate waits for. The bank checker is timed on the 2,000- and 100,000-question banks
// against the exam's load of the same file.
// Figures are medians of several runs; ratios within one run are what to compare between machines.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "bank_check.h"
#include "bench_timing.h"
#include "bank_file.h"
#include "bank_generator.h"
#include "main_window.h"
#include "question_bank.h"
#include "test_support.h"

namespace {

constexpr uint32_t BANK_SEED = 2024;
constexpr int START_RUNS = 15;
constexpr int COLD_RUNS = 5;
const char CHILD_ARGUMENT[] = "--child";
const wchar_t CHILD_ARGUMENT_W[] = L"--child";
const wchar_t CHILD_FILE[] = L"child.txt";

// What one run in a fresh process measured: the time of the work and the process's memory before and after it.
struct ChildFigures {
    double ms = -1;
    double working_set_before_mb = 0, working_set_mb = 0, commit_before_mb = 0, commit_mb = 0;
};

// Child mode: in a fresh process, either parse questions.json bare (`parse`, after reading it untimed) or load it
// with LoadQuestions and draw the exam (`load`), then write the time and peak memory to child.txt. A fresh process
// is how the program meets its bank: nothing freed earlier is there to reuse.
int RunAsChild(const char* kind) {
    const bool load = std::strcmp(kind, "load") == 0;
    const std::string bytes = load ? std::string() : ReadWholeFile(L"questions.json");
    PROCESS_MEMORY_COUNTERS before = {}, after = {};
    before.cb = after.cb = sizeof before;
    GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof before);
    const double start = NowMs();
    bool done = true;
    if (load) {
        done = LoadQuestions(nullptr);
        PrepareExam();
    } else {
        const nlohmann::json document = nlohmann::json::parse(bytes.begin(), bytes.end(), nullptr, true, false);
        done = !document.is_discarded();
    }
    const double ms = NowMs() - start;
    GetProcessMemoryInfo(GetCurrentProcess(), &after, sizeof after);
    FILE* out = _wfopen(CHILD_FILE, L"w");
    if (!out) return 1;
    std::fprintf(out, "%d %.3f %zu %zu %zu %zu\n", done ? 1 : 0, ms, before.PeakWorkingSetSize, after.PeakWorkingSetSize,
                 before.PeakPagefileUsage, after.PeakPagefileUsage);
    std::fclose(out);
    return 0;
}

// Runs this program again in the working folder as a child of kind `kind`.
ChildFigures RunChild(const wchar_t* kind) {
    wchar_t own_path[MAX_PATH];
    GetModuleFileNameW(nullptr, own_path, MAX_PATH);
    std::wstring command_line = L"\"" + std::wstring(own_path) + L"\" " + CHILD_ARGUMENT_W + L" " + kind;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ChildFigures figures;
    DeleteFileW(CHILD_FILE);
    if (!CreateProcessW(own_path, &command_line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return figures;
    WaitForSingleObject(process.hProcess, 120000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    FILE* in = _wfopen(CHILD_FILE, L"r");
    if (!in) return figures;
    int done = 0;
    double ms = 0;
    size_t values[4] = {};
    if (std::fscanf(in, "%d %lf %zu %zu %zu %zu", &done, &ms, &values[0], &values[1], &values[2], &values[3]) == 6 &&
        done) {
        const double mb = 1048576.0;
        figures = {ms, values[0] / mb, values[1] / mb, values[2] / mb, values[3] / mb};
    }
    std::fclose(in);
    return figures;
}

// Milliseconds from CreateProcess to the first visible window of `window_class`, looked for every millisecond, and
// the program's peak memory up to then (its load is over once the window shows).
ChildFigures OneStart(const std::wstring& exe, const std::wstring& work_dir, const wchar_t* window_class) {
    ChildFigures figures;
    const double start = NowMs();
    RunningProgram program(exe, work_dir);
    if (!program.started()) return figures;
    while (ProcessWindows(program.pid(), window_class, true).empty()) {
        if (NowMs() - start > 30000) return figures;
        Sleep(1);
    }
    figures.ms = NowMs() - start;
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(program.handle(), &memory, sizeof memory)) {
        figures.working_set_mb = memory.PeakWorkingSetSize / 1048576.0;
        figures.commit_mb = memory.PeakPagefileUsage / 1048576.0;
    }
    return figures;
}

// Median start-up of each program (exe, window class) in each of `work_dirs`, START_RUNS runs each, taken in turn
// one of each at a time after one untimed start of each, so that the machine's changing load touches all alike;
// with the median peak memory. The figures are listed folder by folder, each folder's programs in order. With
// `bare_parse_ms`, each turn also parses the working folder's bank bare in a fresh process, and the median is set.
std::vector<ChildFigures> StartToWindow(const std::vector<std::pair<std::wstring, const wchar_t*>>& programs,
                                        const std::vector<std::wstring>& work_dirs, double* bare_parse_ms = nullptr) {
    std::vector<std::vector<ChildFigures>> runs(programs.size() * work_dirs.size());
    std::vector<double> bare;
    for (int run = -1; run < START_RUNS; ++run) {
        if (bare_parse_ms) {
            const double ms = RunChild(L"parse").ms;
            if (run >= 0) bare.push_back(ms);
        }
        for (size_t d = 0; d < work_dirs.size(); ++d) {
            for (size_t k = 0; k < programs.size(); ++k) {
                const ChildFigures figures = OneStart(programs[k].first, work_dirs[d], programs[k].second);
                if (run >= 0) runs[d * programs.size() + k].push_back(figures);
            }
        }
    }
    std::vector<ChildFigures> medians;
    for (const auto& program_runs : runs) {
        std::vector<double> ms, working_set, commit;
        for (const ChildFigures& figures : program_runs) {
            ms.push_back(figures.ms);
            working_set.push_back(figures.working_set_mb);
            commit.push_back(figures.commit_mb);
        }
        ChildFigures median;
        median.ms = Median(ms);
        median.working_set_mb = Median(working_set);
        median.commit_mb = Median(commit);
        medians.push_back(median);
    }
    if (bare_parse_ms) *bare_parse_ms = Median(bare);
    return medians;
}

struct LoadFigures {
    double file_mb = 0, read_ms = 0, bare_ms = 0, bare_free_ms = 0, load_ms = 0, prepare_ms = 0;
    double cold_bare_ms = 0, cold_load_ms = 0;
    ChildFigures cold_bare, cold_load;  // memory of the last cold runs
};

LoadFigures MeasureLoad(size_t questions, int runs) {
    LoadFigures f;
    std::vector<double> read, bare, bare_free, load, prepare;
    for (int run = 0; run < runs; ++run) {
        // The whole file in binary with no translation: the floor for any loader.
        double t = NowMs();
        const std::string bytes = ReadWholeFile(L"questions.json");
        read.push_back(NowMs() - t);
        f.file_mb = bytes.size() / 1048576.0;
        {
            t = NowMs();
            nlohmann::json document = nlohmann::json::parse(bytes.begin(), bytes.end(), nullptr, true, false);
            bare.push_back(NowMs() - t);
            t = NowMs();
            document = nullptr;
            bare_free.push_back(NowMs() - t);
        }

        allQuestions.clear();
        allQuestions.shrink_to_fit();
        examQuestions.clear();
        t = NowMs();
        const bool loaded = LoadQuestions(nullptr);
        load.push_back(NowMs() - t);
        if (!loaded || allQuestions.size() != questions) {
            std::printf("LoadQuestions failed on the generated bank of %zu questions\n", questions);
            return f;
        }
        t = NowMs();
        PrepareExam();
        prepare.push_back(NowMs() - t);
    }
    allQuestions.clear();
    allQuestions.shrink_to_fit();
    examQuestions.clear();
    f.read_ms = Median(read);
    f.bare_ms = Median(bare);
    f.bare_free_ms = Median(bare_free);
    f.load_ms = Median(load);
    f.prepare_ms = Median(prepare);

    std::vector<double> cold_bare, cold_load;
    for (int run = 0; run < COLD_RUNS; ++run) {
        f.cold_bare = RunChild(L"parse");
        cold_bare.push_back(f.cold_bare.ms);
        f.cold_load = RunChild(L"load");
        cold_load.push_back(f.cold_load.ms);
    }
    f.cold_bare_ms = Median(cold_bare);
    f.cold_load_ms = Median(cold_load);
    return f;
}

std::string MemoryFigure(double mb, double before_mb, double file_mb) {
    char text[48];
    std::snprintf(text, sizeof text, "%.0f (+%.0f, %.1fx)", mb, mb - before_mb, (mb - before_mb) / file_mb);
    return text;
}

// The program itself as a candidate meets it, each start a fresh process: from CreateProcess to its visible window
// on a bank of 60 questions and on larger ones, its load being the difference, against a bare parse of the same
// bank in a fresh process and a window program that does nothing else; and its peak memory above the 60-question
// start, per byte of the file. TESSAVON_BENCH_OTHER_EXE adds other builds (an older one, say; several separated by
// ';') to the same run, started in turn with this one so that the machine's changing load touches all alike. Only
// a fresh process shows what a start pays: in one process a load reuses what an earlier one has freed.
void ReportStartUp(TempWorkFolder& folder, bool larger_banks) {
    std::vector<std::pair<std::wstring, const wchar_t*>> programs = {
        {OwnExeFolder() + L"\\bench_trivial_window.exe", L"Trivial Window"}, {ProductExePath(), CLASS_NAME}};
    const wchar_t* others = _wgetenv(L"TESSAVON_BENCH_OTHER_EXE");
    std::vector<std::wstring> other_exes;
    for (std::wstring rest = others ? others : L""; !rest.empty();) {
        const size_t end = std::min(rest.find(L';'), rest.size());
        if (end > 0) other_exes.push_back(rest.substr(0, end));
        rest.erase(0, end + 1);
    }
    for (const std::wstring& exe : other_exes) programs.emplace_back(exe, CLASS_NAME);

    // The 60-question bank in a folder of its own, started in turn with each larger bank, so both meet the same
    // moment of the machine.
    const std::wstring small_dir = folder.path() + L"\\small";
    CreateDirectoryW(small_dir.c_str(), nullptr);
    WriteWholeFile(small_dir + L"\\questions.json", GenerateBank(BANK_SEED, EXAM_QUESTION_LIMIT));
    std::printf("\nThe program from CreateProcess to its visible window, a fresh process each start, median of %d runs,\n"
                "programs, banks and a bare parse of the larger bank in a fresh process started in turn; \"load\" is the\n"
                "window's time less that of the 60-question bank, against that bare parse; peak memory above the\n"
                "60-question start, per byte of the file:\n", START_RUNS);
    std::printf("%-18s %9s %9s %8s %8s %10s %12s %12s\n", "", "questions", "file MB", "window", "load", "load/parse",
                "working set", "commit");
    std::vector<size_t> sizes = {100000};
    if (larger_banks) sizes = {1000, 10000, 100000};
    for (const size_t questions : sizes) {
        const std::string bank = GenerateBank(BANK_SEED, questions);
        const double file_mb = bank.size() / 1048576.0;
        folder.Write(L"questions.json", bank);
        double bare = 0;
        const std::vector<ChildFigures> both = StartToWindow(programs, {small_dir, folder.path()}, &bare);
        const std::vector<ChildFigures> small(both.begin(), both.begin() + programs.size());
        const std::vector<ChildFigures> large(both.begin() + programs.size(), both.end());
        std::printf("%-18s %9zu %9.2f %8s %8.1f  (bare parse)\n", "", questions, file_mb, "", bare);
        std::printf("%-18s %9d %9s %8.1f\n", "trivial window", EXAM_QUESTION_LIMIT, "", small[0].ms);
        for (size_t k = 1; k < programs.size(); ++k) {
            const std::string name = k == 1 ? "tessavon.exe" : "other build " + std::to_string(k - 1);
            std::printf("%-18s %9d %9s %8.1f\n", name.c_str(), EXAM_QUESTION_LIMIT, "", small[k].ms);
        }
        for (size_t k = 1; k < programs.size(); ++k) {
            const std::string name = k == 1 ? "tessavon.exe" : "other build " + std::to_string(k - 1);
            const double load = large[k].ms - small[k].ms;
            std::printf("%-18s %9zu %9.2f %8.1f %8.1f %9.2fx %11.2fx %11.2fx\n", name.c_str(), questions, file_mb,
                        large[k].ms, load, load / bare, (large[k].working_set_mb - small[k].working_set_mb) / file_mb,
                        (large[k].commit_mb - small[k].commit_mb) / file_mb);
        }
        std::fflush(stdout);
    }
    for (size_t k = 0; k < other_exes.size(); ++k)
        std::printf("  other build %zu: %s\n", k + 1, WideToUtf8(other_exes[k]).c_str());
    std::fflush(stdout);
}

// A generated bank with every text cut short (at a character): questions of 120 bytes, options of 30.
std::string ShortTextBank(size_t questions) {
    const std::string bytes = GenerateBank(BANK_SEED, questions);
    nlohmann::json bank = nlohmann::json::parse(bytes);
    const auto cut = [](nlohmann::json& text, size_t limit) {
        std::string value = text.get<std::string>();
        if (value.size() <= limit) return;
        while ((static_cast<unsigned char>(value[limit]) & 0xC0) == 0x80) --limit;
        text = value.substr(0, limit);
    };
    for (nlohmann::json& entry : bank) {
        cut(entry["questionText"], 120);
        for (nlohmann::json& option : entry["options"]) cut(option, 30);
    }
    return bank.dump(2);
}

// `bank` with "answer" written for "correctAnswer" in every entry.
std::string MisspeltAnswerBank(std::string bank) {
    const std::string key = "\"correctAnswer\"";
    for (size_t at = bank.find(key); at != std::string::npos; at = bank.find(key, at))
        bank.replace(at, key.size(), "\"answer\"");
    return bank;
}

// The checker against the exam on the same questions.json, alternating so both meet the same cache: the exam's
// LoadQuestions, the checker's read and CheckBank in this process, and the real tessavon-check.exe from start to end;
// TESSAVON_BENCH_OTHER_CHECK_EXE adds another build of the checker (an older one, say), run in turn with this one.
void ReportChecker(TempWorkFolder& folder) {
    const wchar_t* other = _wgetenv(L"TESSAVON_BENCH_OTHER_CHECK_EXE");
    const HDC dc = NewCheckingDc();
    std::printf("\nBank checker on generated banks, median of 9 runs (ms): \"load\" is the exam's LoadQuestions, \"check\"\n"
                "the checker's read and check in one process, \"exe\" tessavon-check.exe from start to end; \"short\"\n"
                "banks hold the same entries cut to questions of 120 bytes and options of 30, which fit the usual layout;\n"
                "\"answer\" banks write \"answer\" for \"correctAnswer\" in every entry, so each entry gets an error with a\n"
                "marked line and a note, as when an author misspells the key throughout:\n");
    std::printf("%17s %8s %8s %11s %8s%s\n", "questions", "load", "check", "check/load", "exe",
                other ? "    other exe" : "");
    for (const char* kind : {"", "short", "answer"})
    for (size_t questions : {static_cast<size_t>(2000), static_cast<size_t>(100000)}) {
        const std::string bank_kind = kind;
        std::string bank = bank_kind == "short" ? ShortTextBank(questions) : GenerateBank(BANK_SEED, questions);
        if (bank_kind == "answer") bank = MisspeltAnswerBank(bank);
        folder.Write(L"questions.json", bank);
        // Every entry of an "answer" bank is refused: the exam would stop at the first with a box, so it is not timed.
        const size_t errors = bank_kind == "answer" ? questions : 0;
        std::vector<double> load, check, exe, other_exe;
        bool clean = true;
        for (int run = 0; run < 9; ++run) {
            allQuestions.clear();
            allQuestions.shrink_to_fit();
            double t = NowMs();
            if (errors == 0) LoadQuestions(nullptr);
            load.push_back(NowMs() - t);
            allQuestions.clear();
            allQuestions.shrink_to_fit();

            t = NowMs();
            const BankReport report =
                CheckBank(dc, "questions.json", ReadBankFile(L"questions.json", BANK_SIZE_LIMIT).text);
            check.push_back(NowMs() - t);
            clean = clean && report.questions == questions && report.errors == errors &&
                    (errors > 0 || report.problems.empty());

            std::string output;
            DWORD status = 0;
            t = NowMs();
            RunForOutput(CheckerExePath(), L"questions.json", folder.path(), output, status);
            exe.push_back(NowMs() - t);
            clean = clean && status == (errors > 0 ? 1u : 0u);
            if (other) {
                t = NowMs();
                RunForOutput(other, L"questions.json", folder.path(), output, status);
                other_exe.push_back(NowMs() - t);
            }
        }
        if (errors == 0) {
            std::printf("%10zu%7s %8.1f %8.1f %10.2fx %8.1f", questions, kind, Median(load), Median(check),
                        Median(check) / Median(load), Median(exe));
        } else {
            std::printf("%10zu%7s %8s %8.1f %11s %8.1f", questions, kind, "-", Median(check), "-", Median(exe));
        }
        if (other) std::printf(" %8.1f (%.2fx)", Median(other_exe), Median(exe) / Median(other_exe));
        std::printf("%s\n", clean ? "" : "  (the checker did not find what the bank holds)");
        std::fflush(stdout);
    }
    DeleteDC(dc);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2 && std::strcmp(argv[1], CHILD_ARGUMENT) == 0) return RunAsChild(argv[2]);

    TempWorkFolder folder;
    // Only the start-up or only the checker's figures, which are quick to take.
    if (argc > 1 && std::strcmp(argv[1], "--start-up") == 0) {
        ReportStartUp(folder, argc > 2 && std::strcmp(argv[2], "--all-sizes") == 0);
        return 0;
    }
    if (argc > 1 && std::strcmp(argv[1], "--checker") == 0) {
        ReportChecker(folder);
        return 0;
    }
    const size_t sizes[] = {1000, 10000, 100000};
    std::vector<LoadFigures> figures;
    for (size_t questions : sizes) {
        folder.Write(L"questions.json", GenerateBank(BANK_SEED, questions));
        figures.push_back(MeasureLoad(questions, questions >= 100000 ? 7 : 15));
    }

    std::printf("Loader on generated banks (times in ms)\n\n");
    std::printf("In one process, median of 15 runs (7 for 100,000 questions); \"parse\" is a bare parse of the same bytes\n"
                "from memory, \"free\" the release of its document, \"read\" reading the file's bytes:\n");
    std::printf("%10s %8s %7s %7s %7s %7s %7s %10s %9s %8s\n", "questions", "file MB", "read", "parse", "free", "load",
                "MB/s", "load/parse", "load/read", "prepare");
    for (size_t i = 0; i < figures.size(); ++i) {
        const LoadFigures& f = figures[i];
        std::printf("%10zu %8.2f %7.1f %7.1f %7.1f %7.1f %7.1f %9.2fx %8.1fx %8.3f\n", sizes[i], f.file_mb, f.read_ms,
                    f.bare_ms, f.bare_free_ms, f.load_ms, f.file_mb / (f.load_ms / 1000.0), f.load_ms / f.bare_ms,
                    f.load_ms / f.read_ms, f.prepare_ms);
    }
    std::printf("\nIn a fresh process for each run, median of %d runs; peak memory of the process, in MB (growth during "
                "the\nrun, and that growth per byte of the file):\n", COLD_RUNS);
    std::printf("%10s %7s %7s %10s %24s %24s %24s\n", "questions", "parse", "load", "load/parse", "load: peak working set",
                "load: peak commit", "parse: peak working set");
    for (size_t i = 0; i < figures.size(); ++i) {
        const LoadFigures& f = figures[i];
        std::printf("%10zu %7.1f %7.1f %9.2fx %24s %24s %24s\n", sizes[i], f.cold_bare_ms, f.cold_load_ms,
                    f.cold_load_ms / f.cold_bare_ms,
                    MemoryFigure(f.cold_load.working_set_mb, f.cold_load.working_set_before_mb, f.file_mb).c_str(),
                    MemoryFigure(f.cold_load.commit_mb, f.cold_load.commit_before_mb, f.file_mb).c_str(),
                    MemoryFigure(f.cold_bare.working_set_mb, f.cold_bare.working_set_before_mb, f.file_mb).c_str());
    }
    std::fflush(stdout);

    ReportChecker(folder);
    ReportStartUp(folder, true);
    return 0;
}
