// The loader benchmark behind `make bench`: synthetic banks of 1,000, 10,000 and 100,000 questions are loaded with
// the real LoadQuestions from a real questions.json, and compared in the same run with a bare parse of the same
// bytes from memory and with merely reading the file. It also reports PrepareExam's time, the peak memory of a
// process that loads the bank, and how long the real tessavon.exe takes from start to a visible window.
// Figures are medians of several runs; ratios within one run are what to compare between machines.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "bank_generator.h"
#include "question_bank.h"
#include "test_support.h"

namespace {

constexpr uint32_t BANK_SEED = 2024;
constexpr int START_RUNS = 15;
const char PEAK_ARGUMENT[] = "--peak";
const wchar_t PEAK_FILE[] = L"peak.txt";

double NowMs() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Reads the whole file in binary with no translation: the floor for any loader.
std::string ReadFileBytes(const wchar_t* path) {
    std::string bytes;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    LARGE_INTEGER size;
    GetFileSizeEx(file, &size);
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    size_t done = 0;
    while (done < bytes.size() &&
           ReadFile(file, &bytes[done], static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30)), &got,
                    nullptr) &&
           got > 0) {
        done += got;
    }
    bytes.resize(done);
    CloseHandle(file);
    return bytes;
}

std::wstring OwnFolder() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.find_last_of(L'\\'));
}

// Child mode: load questions.json of the working folder once and write the process's peak memory to peak.txt.
int MeasurePeakInThisProcess() {
    PROCESS_MEMORY_COUNTERS before = {}, after = {};
    before.cb = after.cb = sizeof before;
    GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof before);
    const bool loaded = LoadQuestions(nullptr);
    PrepareExam();
    GetProcessMemoryInfo(GetCurrentProcess(), &after, sizeof after);
    FILE* out = _wfopen(PEAK_FILE, L"w");
    if (!out) return 1;
    std::fprintf(out, "%d %zu %zu %zu %zu\n", loaded ? 1 : 0, before.PeakWorkingSetSize, after.PeakWorkingSetSize,
                 before.PeakPagefileUsage, after.PeakPagefileUsage);
    std::fclose(out);
    return 0;
}

struct PeakMemory {
    double working_set_before_mb = 0, working_set_mb = 0, pagefile_before_mb = 0, pagefile_mb = 0;
};

// Runs this program again in the working folder, in child mode, so the peak belongs to one load alone.
PeakMemory MeasurePeakInChild() {
    wchar_t own_path[MAX_PATH];
    GetModuleFileNameW(nullptr, own_path, MAX_PATH);
    std::wstring command_line = L"\"" + std::wstring(own_path) + L"\" --peak";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    PeakMemory peak;
    DeleteFileW(PEAK_FILE);
    if (!CreateProcessW(own_path, &command_line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return peak;
    WaitForSingleObject(process.hProcess, 120000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    FILE* in = _wfopen(PEAK_FILE, L"r");
    if (!in) return peak;
    int loaded = 0;
    size_t values[4] = {};
    if (std::fscanf(in, "%d %zu %zu %zu %zu", &loaded, &values[0], &values[1], &values[2], &values[3]) == 5 &&
        loaded) {
        peak = {values[0] / 1048576.0, values[1] / 1048576.0, values[2] / 1048576.0, values[3] / 1048576.0};
    }
    std::fclose(in);
    return peak;
}

// Milliseconds from CreateProcess to the first visible window of `window_class`, median of START_RUNS runs.
// Polling adds up to 10 ms to every run alike.
double StartToWindowMs(const std::wstring& exe, const std::wstring& work_dir, const wchar_t* window_class) {
    std::vector<double> runs;
    for (int run = 0; run < START_RUNS; ++run) {
        const double start = NowMs();
        RunningProgram program(exe, work_dir);
        if (!program.started() || !WaitForProcessWindow(program.pid(), window_class, 30000)) return -1;
        runs.push_back(NowMs() - start);
    }
    return Median(runs);
}

struct LoadFigures {
    size_t questions = 0;
    double file_mb = 0, read_ms = 0, bare_ms = 0, bare_free_ms = 0, load_ms = 0, prepare_ms = 0;
    PeakMemory peak;
};

LoadFigures MeasureLoad(size_t questions, int runs) {
    LoadFigures f;
    f.questions = questions;
    std::vector<double> read, bare, bare_free, load, prepare;
    for (int run = 0; run < runs; ++run) {
        double t = NowMs();
        const std::string bytes = ReadFileBytes(L"questions.json");
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
    f.peak = MeasurePeakInChild();
    return f;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], PEAK_ARGUMENT) == 0) return MeasurePeakInThisProcess();

    TempWorkFolder folder;
    std::printf("Loader benchmark: generated banks, medians of several runs, times in ms\n\n");
    std::printf("%9s %8s %8s %8s %8s %9s %7s %9s %9s %8s %15s %15s\n", "questions", "file MB", "read", "parse",
                "+free", "load", "MB/s", "load/parse", "load/read", "prepare", "peak WS MB", "peak commit MB");
    std::vector<std::pair<size_t, std::wstring>> start_banks;
    const size_t sizes[] = {1000, 10000, 100000};
    for (size_t questions : sizes) {
        folder.Write(L"questions.json", GenerateBank(BANK_SEED, questions));
        const LoadFigures f = MeasureLoad(questions, questions >= 100000 ? 7 : 15);
        char ws[32], commit[32];
        std::snprintf(ws, sizeof ws, "%.0f (%.1fx)", f.peak.working_set_mb, f.peak.working_set_mb / f.file_mb);
        std::snprintf(commit, sizeof commit, "%.0f (%.1fx)", f.peak.pagefile_mb, f.peak.pagefile_mb / f.file_mb);
        std::printf("%9zu %8.2f %8.1f %8.1f %8.1f %9.1f %7.1f %9.2fx %8.1fx %8.3f %15s %15s\n", f.questions, f.file_mb,
                    f.read_ms, f.bare_ms, f.bare_free_ms, f.load_ms, f.file_mb / (f.load_ms / 1000.0),
                    f.load_ms / f.bare_ms, f.load_ms / f.read_ms, f.prepare_ms, ws, commit);
        std::fflush(stdout);
        std::printf("%9s peak before loading: working set %.0f MB, commit %.0f MB\n", "", f.peak.working_set_before_mb,
                    f.peak.pagefile_before_mb);
    }

    std::printf("\nStart to visible window, median of %d runs (ms)\n", START_RUNS);
    std::printf("  trivial window program:             %8.0f\n",
                StartToWindowMs(OwnFolder() + L"\\bench_trivial_window.exe", folder.path(), L"Trivial Window"));
    for (size_t questions : {static_cast<size_t>(100), static_cast<size_t>(1000), static_cast<size_t>(10000),
                             static_cast<size_t>(100000)}) {
        folder.Write(L"questions.json", GenerateBank(BANK_SEED, questions));
        std::printf("  tessavon.exe, %6zu questions:       %8.0f\n", questions,
                    StartToWindowMs(ProductExePath(), folder.path(), L"Sample Window Class"));
        std::fflush(stdout);
    }
    return 0;
}
