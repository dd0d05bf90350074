// A cell's words as the importer compares them.
#include "table_words.h"

#include <algorithm>
#include <cwchar>

#include "utf8_decoding.h"

std::wstring Folded(const std::string& cell) {
    std::wstring text = Utf8ToWide(cell);
    const wchar_t* spaces = L" \t\r\n\u3000";
    text.erase(0, std::min(text.size(), text.find_first_not_of(spaces)));
    text.erase(text.find_last_not_of(spaces) + 1);
    for (wchar_t& c : text)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return text;
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
    return kana && c ? static_cast<long>(kana - KANA) : -1;
}

std::string ColumnLetters(size_t column) {
    std::string letters;
    for (; column > 0; column = (column - 1) / 26) letters.insert(letters.begin(), static_cast<char>('A' + (column - 1) % 26));
    return letters;
}
