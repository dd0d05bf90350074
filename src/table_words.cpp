// A cell's words as the importer compares them.
#include "table_words.h"

#include <algorithm>
#include <cwchar>

#include "character_names.h"
#include "utf8_decoding.h"

namespace {

// U+FEFF: a byte-order mark a reader kept, or one pasted before the first header name, hides nothing.
const wchar_t SPACES[] = L" \t\r\n\u3000\uFEFF";

wchar_t FoldedCharacter(wchar_t c) {
    if (c >= L'！' && c <= L'～') c = static_cast<wchar_t>(c - L'！' + L'!');
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

}  // namespace

std::wstring CellText(const std::string& cell) {
    std::wstring converted;
    size_t from = 0;
    for (size_t nul = cell.find('\0');; nul = cell.find('\0', from)) {
        converted += Utf8ToWide(cell.substr(from, nul == std::string::npos ? std::string::npos : nul - from));
        if (nul == std::string::npos) return converted;
        converted += L'\0';
        from = nul + 1;
    }
}

std::wstring Folded(const std::string& cell) {
    std::wstring text = CellText(cell);
    text.erase(0, std::min(text.size(), text.find_first_not_of(SPACES)));
    text.erase(text.find_last_not_of(SPACES) + 1);
    for (wchar_t& c : text) c = FoldedCharacter(c);
    return text;
}

bool FoldsTo(const std::wstring& text, const std::wstring& folded) {
    const size_t begin = text.find_first_not_of(SPACES);
    if (begin == std::wstring::npos) return folded.empty();
    const size_t end = text.find_last_not_of(SPACES) + 1;
    if (end - begin != folded.size()) return false;
    for (size_t k = 0; k < folded.size(); ++k)
        if (FoldedCharacter(text[begin + k]) != folded[k]) return false;
    return true;
}

long SmallNumber(const std::wstring& text) {
    if (text.empty() || text.size() > 9) return -1;
    long value = 0;
    for (const wchar_t c : text) {
        const wchar_t digit = c >= L'０' && c <= L'９' ? static_cast<wchar_t>(c - L'０' + L'0') : c;
        if (digit < L'0' || digit > L'9') return -1;
        value = value * 10 + (digit - L'0');
    }
    return value;
}

long LabelPosition(const std::wstring& text) {
    if (text.size() != 1) return -1;
    const wchar_t c = text[0];
    if (c >= L'a' && c <= L'z') return c - L'a';
    if (c >= L'Ａ' && c <= L'Ｚ') return c - L'Ａ';
    if (c >= L'ａ' && c <= L'ｚ') return c - L'ａ';
    const wchar_t* kana = std::wcschr(KANA, c);
    if (kana && c) return static_cast<long>(kana - KANA);
    // The half-width forms a Japanese spreadsheet's CSV may hold: ｱ ｲ ｳ ｴ ｵ ｶ ｷ ｸ ｹ ｺ.
    const wchar_t* half = std::wcschr(L"ｱｲｳｴｵｶｷｸｹｺ", c);
    return half && c ? static_cast<long>(half - L"ｱｲｳｴｵｶｷｸｹｺ") : -1;
}

std::string ColumnLetters(size_t column) {
    std::string letters;
    for (; column > 0; column = (column - 1) / 26) letters.insert(letters.begin(), static_cast<char>('A' + (column - 1) % 26));
    return letters;
}

std::string OptionLetter(size_t position) { return ColumnLetters(position + 1); }

std::string Thousands(size_t count) {
    const std::string digits = std::to_string(count);
    std::string grouped;
    for (size_t k = 0; k < digits.size(); ++k) {
        if (k && (digits.size() - k) % 3 == 0) grouped += ',';
        grouped += digits[k];
    }
    return grouped;
}

bool IsErrorValue(const std::string& cell) {
    // Every cell of the table is asked: most hold no "#" at all.
    if (cell.find('#') == std::string::npos) return false;
    const std::wstring text = Folded(cell);
    for (const wchar_t* value : {L"#n/a", L"#div/0!", L"#ref!", L"#name?", L"#value!", L"#num!", L"#null!",
                                 L"#spill!", L"#calc!", L"#getting_data", L"#field!", L"#blocked!", L"#connect!",
                                 L"#busy!", L"#unknown!"}) {
        if (text == value) return true;
    }
    return false;
}

std::string InvisibleCharacters(const std::string& cell) {
    const std::wstring text = Utf8ToWide(cell);
    std::string names;
    std::wstring seen;
    for (const wchar_t c : text) {
        const bool invisible = (c < 0x20 && c != L'\0') || c == 0x7F || c == 0xA0 || c == 0xAD ||
                               (c >= 0x2000 && c <= 0x200F) || (c >= 0x2028 && c <= 0x202F) ||
                               (c >= 0x2060 && c <= 0x2064) || c == 0x3000 || c == 0xFEFF;
        if (!invisible || seen.find(c) != std::wstring::npos) continue;
        seen += c;
        // The table of names holds no control characters; these are the ones a cell picks up from a line's end.
        const char* control = c == L'\r'   ? " CARRIAGE RETURN"
                              : c == L'\n' ? " LINE FEED"
                              : c == L'\t' ? " CHARACTER TABULATION"
                                           : "";
        names += (names.empty() ? "" : ", ") + CodePointText(static_cast<char32_t>(c)) + control;
    }
    return names;
}
