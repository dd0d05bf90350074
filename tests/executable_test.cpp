// What build\tessavon.exe is as a file: a 64-bit Windows GUI program whose only resource is its manifest (run
// as the invoking user, classic controls, no DPI setting) and which needs nothing beyond DLLs every Windows has,
// so it runs when copied alone onto any PC. The bank checker beside it, whose preview is the exam's window, is a
// console program held to the same.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

std::string ResourceName(LPCWSTR name) {
    return IS_INTRESOURCE(name) ? "#" + std::to_string(reinterpret_cast<ULONG_PTR>(name)) : WideToUtf8(name);
}

BOOL CALLBACK CollectType(HMODULE, LPWSTR type, LONG_PTR found) {
    reinterpret_cast<std::vector<std::string>*>(found)->push_back(ResourceName(type));
    return TRUE;
}

BOOL CALLBACK CollectName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR found) {
    reinterpret_cast<std::vector<std::string>*>(found)->push_back(ResourceName(name));
    return TRUE;
}

// The names of the XML elements in `xml`, in document order.
std::vector<std::string> ElementNames(const std::string& xml) {
    std::vector<std::string> names;
    for (size_t at = xml.find('<'); at != std::string::npos; at = xml.find('<', at + 1)) {
        if (at + 1 >= xml.size() || std::strchr("?!/", xml[at + 1])) continue;
        const size_t end = xml.find_first_of(" \t\r\n/>", at + 1);
        names.push_back(xml.substr(at + 1, end - at - 1));
    }
    return names;
}

// The attributes of the first element called `name`.
std::map<std::string, std::string> Attributes(const std::string& xml, const std::string& name) {
    std::map<std::string, std::string> attributes;
    const size_t start = xml.find("<" + name);
    if (start == std::string::npos) return attributes;
    const std::string tag = xml.substr(start, xml.find('>', start) - start);
    for (size_t eq = tag.find('='); eq != std::string::npos; eq = tag.find('=', eq + 1)) {
        size_t key_start = tag.find_last_of(" \t\r\n", eq) + 1;
        const size_t open = tag.find('"', eq);
        const size_t close = tag.find('"', open + 1);
        attributes[tag.substr(key_start, eq - key_start)] = tag.substr(open + 1, close - open - 1);
        eq = close;
    }
    return attributes;
}

// The checker carries the exam's manifest too, so that its preview's controls look and measure as the exam's.
TEST(Executable, OnlyResourceIsTheManifestAskingForNothingButTheUsersRights) {
    for (const std::wstring& path : {ProductExePath(), CheckerExePath()}) {
        SCOPED_TRACE(WideToUtf8(path));
        const HMODULE exe =
            LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(exe, nullptr) << "cannot open it";

        std::vector<std::string> types, names;
        EnumResourceTypesW(exe, CollectType, reinterpret_cast<LONG_PTR>(&types));
        EnumResourceNamesW(exe, RT_MANIFEST, CollectName, reinterpret_cast<LONG_PTR>(&names));
        EXPECT_EQ(types, std::vector<std::string>{ResourceName(RT_MANIFEST)});
        EXPECT_EQ(names, std::vector<std::string>{"#1"});

        const HRSRC found = FindResourceW(exe, MAKEINTRESOURCEW(1), RT_MANIFEST);
        ASSERT_NE(found, nullptr);
        const char* bytes = static_cast<const char*>(LockResource(LoadResource(exe, found)));
        ASSERT_NE(bytes, nullptr);
        const std::string manifest(bytes, SizeofResource(exe, found));
        FreeLibrary(exe);
        SCOPED_TRACE(manifest);

        // Nothing but the execution level: no common-controls dependency (visual styles) and no DPI awareness.
        EXPECT_EQ(ElementNames(manifest), (std::vector<std::string>{"assembly", "trustInfo", "security",
                                                                    "requestedPrivileges", "requestedExecutionLevel"}));
        EXPECT_EQ(Attributes(manifest, "requestedExecutionLevel"),
                  (std::map<std::string, std::string>{{"level", "asInvoker"}, {"uiAccess", "false"}}));
    }
}

// Reads the PE headers of the file itself, so nothing is loaded or resolved.
class PeFile {
public:
    explicit PeFile(const std::wstring& path) : bytes_(ReadWholeFile(path)) {
        if (bytes_.size() < sizeof(IMAGE_DOS_HEADER) || At<IMAGE_DOS_HEADER>(0).e_magic != IMAGE_DOS_SIGNATURE) return;
        nt_offset_ = At<IMAGE_DOS_HEADER>(0).e_lfanew;
        if (nt_offset_ + sizeof(IMAGE_NT_HEADERS64) > bytes_.size() || Nt().Signature != IMAGE_NT_SIGNATURE) return;
        valid_ = true;
    }
    bool valid() const { return valid_; }
    const IMAGE_NT_HEADERS64& Nt() const { return At<IMAGE_NT_HEADERS64>(nt_offset_); }

    // Names of the DLLs in the import and delay-import tables.
    std::vector<std::string> ImportedDlls() const {
        std::vector<std::string> dlls;
        AddDllNames<IMAGE_IMPORT_DESCRIPTOR>(IMAGE_DIRECTORY_ENTRY_IMPORT, &IMAGE_IMPORT_DESCRIPTOR::Name, dlls);
        AddDllNames<IMAGE_DELAYLOAD_DESCRIPTOR>(IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT,
                                                &IMAGE_DELAYLOAD_DESCRIPTOR::DllNameRVA, dlls);
        return dlls;
    }

private:
    template <typename T>
    const T& At(size_t offset) const {
        return *reinterpret_cast<const T*>(bytes_.data() + offset);
    }

    // File offset of a relative virtual address; past the end of the file when no section holds it.
    size_t Offset(DWORD rva) const {
        const auto* sections = reinterpret_cast<const IMAGE_SECTION_HEADER*>(
            bytes_.data() + nt_offset_ + offsetof(IMAGE_NT_HEADERS64, OptionalHeader) +
            Nt().FileHeader.SizeOfOptionalHeader);
        for (WORD k = 0; k < Nt().FileHeader.NumberOfSections; ++k) {
            const IMAGE_SECTION_HEADER& s = sections[k];
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + std::max(s.SizeOfRawData, s.Misc.VirtualSize))
                return rva - s.VirtualAddress + s.PointerToRawData;
        }
        return bytes_.size();
    }

    // Walks a table of descriptors that ends with one whose name is 0.
    template <typename Descriptor>
    void AddDllNames(int directory, DWORD Descriptor::*name, std::vector<std::string>& dlls) const {
        const IMAGE_DATA_DIRECTORY& table = Nt().OptionalHeader.DataDirectory[directory];
        if (table.Size == 0) return;
        for (size_t at = Offset(table.VirtualAddress); at + sizeof(Descriptor) <= bytes_.size();
             at += sizeof(Descriptor)) {
            const DWORD name_rva = At<Descriptor>(at).*name;
            if (name_rva == 0) break;
            dlls.push_back(String(name_rva));
        }
    }

    std::string String(DWORD rva) const {
        const size_t at = Offset(rva);
        if (at >= bytes_.size()) return "<outside the file>";
        return std::string(bytes_.data() + at, strnlen(bytes_.data() + at, bytes_.size() - at));
    }

    std::string bytes_;
    size_t nt_offset_ = 0;
    bool valid_ = false;
};

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

TEST(Executable, IsA64BitProgramImportingOnlyWindowsSystemDlls) {
    // Every DLL imported is loaded at every start, so the common controls, needed only for the tip of a shortened
    // option, are loaded when that tip is first needed. The checker measures texts in the exam's font as the exam
    // draws them, and its preview is the exam's window.
    const struct {
        std::wstring path;
        WORD subsystem;
        std::set<std::string> system_dlls;
    } programs[] = {
        {ProductExePath(), IMAGE_SUBSYSTEM_WINDOWS_GUI,
         {"KERNEL32.DLL", "USER32.DLL", "GDI32.DLL", "MSVCRT.DLL"}},
        {CheckerExePath(), IMAGE_SUBSYSTEM_WINDOWS_CUI, {"KERNEL32.DLL", "USER32.DLL", "GDI32.DLL", "MSVCRT.DLL"}},
    };
    for (const auto& program : programs) {
        SCOPED_TRACE(WideToUtf8(program.path));
        const PeFile exe(program.path);
        ASSERT_TRUE(exe.valid()) << "not a 64-bit PE file";
        EXPECT_EQ(exe.Nt().FileHeader.Machine, IMAGE_FILE_MACHINE_AMD64);
        EXPECT_EQ(exe.Nt().OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR64_MAGIC);
        EXPECT_EQ(exe.Nt().OptionalHeader.Subsystem, program.subsystem);

        const std::vector<std::string> imported = exe.ImportedDlls();
        EXPECT_TRUE(std::any_of(imported.begin(), imported.end(), [](const std::string& dll) {
            return Upper(dll) == "KERNEL32.DLL";
        })) << "import table not read";
        for (const std::string& dll : imported)
            EXPECT_EQ(program.system_dlls.count(Upper(dll)), 1u) << "imports " << dll << ", which is not one it may";
    }
}

}  // namespace
