// The importer's benchmark behind `make bench` (driven by scripts/import-bench.sh, which then times Python's csv and
// json modules on the same tables): writes tables of 1,000, 10,000 and 100,000 generated questions (and, with
// --large, about 100 MB of short rows) into the working folder, runs the real tessavon-import.exe on each in fresh
// processes, in turn with tessavon-check.exe on the bank it wrote, and reports the median times and the importer's peak
// memory as a multiple of the table's size. Then it times the import's stages in its own process on the same tables,
// to show where the time goes. `--workbook XLSX CSV` (the script makes both) times the importer on a workbook and on
// its CSV in turn, and where ReadWorkbook's time goes: inflating, XmlLite, the cells.
// Its figures for the script go to importer.txt: one line per table, "FILE ROWS BYTES MS PEAK_BYTES CHECK_MS".
// TESSAVON_BENCH_OTHER_IMPORT_EXE names another build's importer to run in turn with this one.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "bank_check.h"
#include "bench_timing.h"
#include "bank_generator.h"
#include "bank_import.h"
#include "import_files.h"
#include "table_reading.h"
#include "workbook_reading.h"
#include "xml_reading.h"
#include "zip_archive.h"
#include "test_support.h"

namespace {

constexpr uint32_t TABLE_SEED = 2031;
constexpr int RUNS = 5;
constexpr size_t LARGE_TABLE_BYTES = 100u << 20;

// A cell as a spreadsheet writes it in CSV: in quotes, with quotes doubled, when it holds a comma, a quote or a line
// break.
std::string CsvCell(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string cell = "\"";
    for (const char c : text) cell += c == '"' ? std::string("\"\"") : std::string(1, c);
    return cell + "\"";
}

// A table of `rows` generated questions with a header, as a spreadsheet saves "CSV UTF-8" (CR LF, with the mark).
std::string GeneratedTable(size_t rows) {
    std::string table = "\xEF\xBB\xBFquestion,A,B,C,D,answer\r\n";
    for (size_t k = 0; k < rows; ++k) {
        const GeneratedEntry entry = GenerateEntry(TABLE_SEED, k);
        table += CsvCell(entry.questionText);
        for (const std::string& option : entry.options) table += "," + CsvCell(option);
        table += ",";
        table += static_cast<char>('A' + entry.correctAnswer);
        table += "\r\n";
    }
    return table;
}

// About `bytes` of short rows (a vocabulary drill): each question is different, so the checker finds no duplicate.
std::string ShortRowsTable(size_t bytes) {
    std::string table = "question,A,B,C,D,answer\r\n";
    for (size_t k = 0; table.size() < bytes; ++k) {
        const std::string n = std::to_string(k);
        table += "What is the word number " + n + " of the list in English?,apple " + n + ",pear " + n + ",plum " + n +
                 ",fig " + n + "," + static_cast<char>('A' + k % 4) + "\r\n";
    }
    return table;
}

size_t CountRows(const std::string& table) {
    const Table read = ReadTable(table);
    return read.rows.empty() ? 0 : read.rows.size() - 1;
}

// A program of the build, beside the bench's folder.
std::wstring BuiltExe(const wchar_t* name) {
    std::wstring path = OwnExeFolder();     // build\bench
    path.resize(path.find_last_of(L'\\'));  // build
    return path + L"\\" + name;
}

// One run of the real importer on `table` in a fresh process, its output thrown away: milliseconds from
// CreateProcess to its end, and its peak memory. The peak is read while it runs, and once more after it ended:
// Windows keeps an ended process's figures while a handle to it is open, Wine does not, and its peak only grows, so
// the last reading taken while it ran is its peak but for its last moments.
struct ImporterRun {
    double ms = -1;
    size_t peak = 0;  // the larger of the peak working set and the peak committed memory
    DWORD status = 99;
};

ImporterRun RunProgram(std::wstring command) {
    ImporterRun run;
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    const HANDLE nul = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                   OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nul;
    startup.hStdOutput = nul;
    startup.hStdError = nul;
    PROCESS_INFORMATION process = {};
    const double start = NowMs();
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                        &process)) {
        CloseHandle(nul);
        return run;
    }
    const auto read_peak = [&] {
        PROCESS_MEMORY_COUNTERS memory = {};
        memory.cb = sizeof memory;
        if (GetProcessMemoryInfo(process.hProcess, &memory, sizeof memory))
            run.peak = std::max({run.peak, memory.PeakWorkingSetSize, memory.PeakPagefileUsage});
    };
    while (WaitForSingleObject(process.hProcess, 2) == WAIT_TIMEOUT) read_peak();
    run.ms = NowMs() - start;
    read_peak();
    GetExitCodeProcess(process.hProcess, &run.status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    CloseHandle(nul);
    return run;
}

ImporterRun RunImporter(const std::wstring& table, const std::wstring& exe = BuiltExe(L"tessavon-import.exe")) {
    return RunProgram(L"\"" + exe + L"\" -o bench-bank.json \"" + table + L"\"");
}

// Another build's importer (TESSAVON_BENCH_OTHER_IMPORT_EXE), run in turn with this one to compare the two as a ratio
// within one run; empty when none is given.
std::wstring OtherImporter() {
    const wchar_t* other = _wgetenv(L"TESSAVON_BENCH_OTHER_IMPORT_EXE");
    return other ? other : L"";
}

// The checker alone on the bank the importer wrote: the part of the import that is the exam's page measuring.
ImporterRun RunChecker() { return RunProgram(L"\"" + BuiltExe(L"tessavon-check.exe") + L"\" bench-bank.json"); }

// The memory this process has committed, in MB.
double CommittedMb() {
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    return static_cast<double>(memory.PagefileUsage) / 1048576.0;
}

// One stage of the import: milliseconds `work` takes in this process, and the memory held after it.
struct Stage {
    double ms = 0;
    double held_mb = 0;
};

Stage Timed(const std::function<void()>& work, double base_mb) {
    const double start = NowMs();
    work();
    return {NowMs() - start, CommittedMb() - base_mb};
}

// The import's stages, one after the other as ImportTableBytes and the importer run them, each timed alone, with what
// the process holds after each (every stage's result is kept, as the import keeps them until it ends).
void PrintStages(const std::wstring& file, size_t rows) {
    std::string bytes;
    Table table;
    ImportedTable imported;
    std::string bank;
    const HDC dc = NewCheckingDc();
    const double base = CommittedMb();
    const Stage stages[] = {
        Timed([&] { bytes = ReadTableFile(file, "table").bytes; }, base),
        Timed([&] {
            table = ReadTable(bytes);
            std::string().swap(bytes);  // as the import gives back its file's bytes once cut
        }, base),
        Timed([&] { imported = ImportTable(table); }, base),
        Timed([&] { bank = BankJson(imported.questions); }, base),
        Timed([&] { CheckBank(dc, "bench-bank.json", bank); }, base),
        Timed([&] { WriteBankWhole(L"bench-bank.json", "bench-bank.json", bank); }, base),
    };
    DeleteDC(dc);
    double total = 0;
    std::printf("%10zu", rows);
    for (const Stage& stage : stages) {
        std::printf(" %6.0f (%4.0f)", stage.ms, stage.held_mb);
        total += stage.ms;
    }
    std::printf(" %8.0f %9.1f\n", total, total * 1000 / static_cast<double>(rows));
}

// Runs of `programs` in turn, `runs` times, so the machine's load touches all alike: each one's median time, its
// peak memory over the runs, and the worst exit status.
struct Figures {
    double ms = 0;
    size_t peak = 0;
    DWORD status = 0;
};

std::vector<Figures> InTurn(const std::vector<std::function<ImporterRun()>>& programs, int runs) {
    std::vector<std::vector<double>> times(programs.size());
    std::vector<Figures> figures(programs.size());
    for (int k = 0; k < runs; ++k) {
        for (size_t p = 0; p < programs.size(); ++p) {
            const ImporterRun run = programs[p]();
            times[p].push_back(run.ms);
            figures[p].peak = std::max(figures[p].peak, run.peak);
            figures[p].status = std::max(figures[p].status, run.status);
        }
    }
    for (size_t p = 0; p < programs.size(); ++p) figures[p].ms = Median(times[p]);
    return figures;
}

// A workbook beside the CSV of the same rows (both made by the script): the real importer on each in turn, then where
// the workbook's time goes in this process: its sheet's part inflated, that XML read by XmlLite with nothing done
// with its nodes, and the whole ReadWorkbook.
int CompareWorkbook(const std::wstring& workbook, const std::wstring& csv) {
    const std::vector<Figures> figures =
        InTurn({[&] { return RunImporter(workbook); }, [&] { return RunImporter(csv); }}, RUNS);
    const std::string bytes = ReadTableFile(workbook, "workbook").bytes;
    const double mb = 1048576.0;
    std::printf("\nThe real tessavon-import.exe on a workbook and on its CSV, in turn, median of %d runs\n", RUNS);
    std::printf("%-22s %10s %9s %9s %12s\n", "table", "ms", "MB", "peak MB", "peak/CSV's");
    std::printf("%-22s %10.0f %9.1f %9.0f %11.1fx%s\n", WideToUtf8(workbook).c_str(), figures[0].ms,
                static_cast<double>(bytes.size()) / mb, static_cast<double>(figures[0].peak) / mb,
                static_cast<double>(figures[0].peak) / static_cast<double>(figures[1].peak),
                figures[0].status ? "  (the importer did not write the bank)" : "");
    std::printf("%-22s %10.0f %9s %9.0f\n", WideToUtf8(csv).c_str(), figures[1].ms, "",
                static_cast<double>(figures[1].peak) / mb);
    std::printf("workbook / CSV: %.2fx\n", figures[0].ms / figures[1].ms);

    const ZipArchive archive = ReadZipDirectory(bytes);
    std::vector<double> inflate, xml, nodes, whole;
    size_t xml_bytes = 0, node_count = 0;
    for (int k = 0; k < RUNS; ++k) {
        ZipContent sheet, strings;
        double start = NowMs();
        for (const ZipEntry& entry : archive.entries) {
            if (entry.name == "xl/worksheets/sheet1.xml") sheet = ReadZipEntry(bytes, entry);
            if (entry.name == "xl/sharedStrings.xml") strings = ReadZipEntry(bytes, entry);
        }
        inflate.push_back(NowMs() - start);
        xml_bytes = sheet.bytes.size() + strings.bytes.size();
        start = NowMs();
        size_t count = 0;
        const auto visit = [&](const XmlNode&) { return ++count > 0; };
        ReadXml(sheet.bytes, visit);
        ReadXml(strings.bytes, visit);
        xml.push_back(NowMs() - start);
        node_count = count;
        start = NowMs();
        const Table table = ReadWorkbook(bytes, "");
        whole.push_back(NowMs() - start);
        if (!table.problems.empty()) std::printf("ReadWorkbook: %s\n", table.problems[0].text.c_str());
    }
    const double read = Median(whole), inflated = Median(inflate), parsed = Median(xml);
    std::printf("\nReadWorkbook in this process, median of %d: %.0f ms in all; inflating the sheet and its strings "
                "(%.1f MB of XML) %.0f ms,\nXmlLite reading them (%zu nodes, nothing done with them) %.0f ms (%.1f MB/s), "
                "the rest (the cells made of the nodes) %.0f ms\n",
                RUNS, read, static_cast<double>(xml_bytes) / mb, inflated, node_count, parsed,
                static_cast<double>(xml_bytes) / mb / (parsed / 1000), read - inflated - parsed);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--workbook") == 0) {
        std::wstring workbook, csv;
        for (const char* c = argv[2]; *c; ++c) workbook += static_cast<wchar_t>(*c);
        for (const char* c = argv[3]; *c; ++c) csv += static_cast<wchar_t>(*c);
        return CompareWorkbook(workbook, csv);
    }
    const bool large = argc > 1 && std::strcmp(argv[1], "--large") == 0;
    struct Case {
        std::wstring file;
        size_t rows;
        std::string bytes;
    };
    std::vector<Case> cases;
    for (const size_t rows : {1000u, 10000u, 100000u})
        cases.push_back({L"table-" + std::to_wstring(rows) + L".csv", rows, GeneratedTable(rows)});
    if (large) {
        std::string table = ShortRowsTable(LARGE_TABLE_BYTES);
        cases.push_back({L"table-short-rows.csv", CountRows(table), std::move(table)});
    }
    FILE* figures = _wfopen(L"importer.txt", L"w");
    if (!figures) return 1;
    std::printf("The real tessavon-import.exe in a fresh process, and tessavon-check.exe on the bank it wrote, in turn, "
                "median of %d runs\n(1 for the short rows); peak memory is the larger of the peak working set and the "
                "peak committed memory\n", RUNS);
    std::printf("%-22s %9s %9s %10s %10s %9s %12s %10s %9s\n", "table", "rows", "table MB", "ms", "us a row",
                "peak MB", "peak/table", "check ms", "check MB");
    for (Case& c : cases) {
        if (!WriteWholeFile(c.file, c.bytes)) return 1;
        const size_t size = c.bytes.size();
        std::string().swap(c.bytes);
        std::vector<std::function<ImporterRun()>> programs = {[&] { return RunImporter(c.file); },
                                                               [] { return RunChecker(); }};
        const std::wstring other = OtherImporter();
        if (!other.empty()) programs.push_back([&] { return RunImporter(c.file, other); });
        const std::vector<Figures> runs = InTurn(programs, c.rows > 100000 ? 1 : RUNS);
        if (!other.empty()) {
            std::printf("%-22s the other importer: %.0f ms, peak %.0f MB; this one takes %.2fx its time\n", "",
                        runs[2].ms, static_cast<double>(runs[2].peak) / 1048576.0, runs[0].ms / runs[2].ms);
        }
        const double ms = runs[0].ms;
        const double mb = 1048576.0;
        std::printf("%-22s %9zu %9.1f %10.0f %10.1f %9.0f %11.1fx %10.0f %9.0f%s\n", WideToUtf8(c.file).c_str(),
                    c.rows, size / mb, ms, ms * 1000 / static_cast<double>(c.rows), runs[0].peak / mb,
                    static_cast<double>(runs[0].peak) / static_cast<double>(size), runs[1].ms, runs[1].peak / mb,
                    runs[0].status ? "  (the importer did not write the bank)" : "");
        std::fprintf(figures, "%s %zu %zu %.3f %zu %.3f\n", WideToUtf8(c.file).c_str(), c.rows, size, ms,
                     runs[0].peak, runs[1].ms);
    }
    std::fclose(figures);
    std::printf("\nThe import's stages in the benchmark's own process, ms (and MB held after it): the table's file read, "
                "cut into\nrows of cells, made questions, the bank's JSON, the checker, the bank written\n");
    std::printf("%10s %13s %13s %13s %13s %13s %13s %8s %9s\n", "rows", "read", "cut", "columns", "json", "check",
                "write", "total", "us a row");
    for (const Case& c : cases) PrintStages(c.file, c.rows);
    DeleteFileW(L"bench-bank.json");
    return 0;
}
