// UTF-8 to UTF-16 conversions. Utf8ToWide takes any bytes (a parse-error message may quote ill-formed ones) and
// leaves them to the system's decoder; WideFromCheckedUtf8 decodes the bank's own texts, which the parser has
// already checked, without a system call per text.
#include "utf8_decoding.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>

std::wstring Utf8ToWide(const std::string& text) {
    // The terminating NUL goes through the conversion too. A decoder may take a character cut short at the very
    // end of its input to run to that end (Wine's does), and would then swallow what follows the cut byte, such as
    // the closing quote of a parse-error message; with the NUL there, the cut byte is followed by more input.
    const int byte_count = static_cast<int>(std::min<size_t>(text.size(), INT32_MAX - 1)) + 1;
    // No UTF-8 byte yields more than one UTF-16 unit (an ill-formed byte becomes at most one U+FFFD), so a buffer
    // as long as the input takes the whole text in one call.
    std::wstring wide(static_cast<size_t>(byte_count), L'\0');
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), byte_count, &wide[0], byte_count);
    // The result ends at the first NUL: the terminator, or a "\u0000" in the bank, which ends the text there as it
    // would for any C string the controls are given.
    wide.resize(static_cast<size_t>(n));
    const size_t nul = wide.find(L'\0');
    if (nul != std::wstring::npos) wide.resize(nul);
    return wide;
}

std::string Utf8FromWide(const std::wstring& text) {
    if (text.empty()) return std::string();
    const int units = static_cast<int>(std::min<size_t>(text.size(), INT32_MAX / 3));
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), units, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), units, &utf8[0], n, nullptr, nullptr);
    return utf8;
}

namespace {

// One unit per character, two for those beyond U+FFFF (four-byte sequences); continuation bytes add none. Counted
// in a loop the compiler turns into whole-register steps, which also notes a NUL on the way.
size_t Utf16Units(const unsigned char* bytes, size_t size, bool& nul) {
    size_t units = 0;
    unsigned char zero = 0;
    for (size_t i = 0; i < size; ++i) {
        units += ((bytes[i] & 0xC0) != 0x80) + (bytes[i] >= 0xF0);
        zero |= bytes[i] == 0;
    }
    nul = zero != 0;
    return units;
}

}  // namespace

// For well-formed input the conversion is fixed by Unicode, so this gives exactly what MultiByteToWideChar gives.
std::wstring WideFromCheckedUtf8(const std::string_view text, bool* held_nul) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    size_t size = text.size();
    bool nul = false;
    size_t units = Utf16Units(bytes, size, nul);
    if (nul) {
        size = text.find('\0');
        units = Utf16Units(bytes, size, nul);
        nul = true;
    }
    if (held_nul) *held_nul = nul;

    if (units == size) return std::wstring(bytes, bytes + size);  // all ASCII: widened as it is copied
    std::wstring wide(units, L'\0');
    size_t out = 0;
    for (size_t i = 0; i < size && out < units;) {
        const unsigned lead = bytes[i];
        const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        if (size - i < length) break;  // cannot happen in checked text; never read past it
        uint32_t code = length == 1 ? lead : lead & (0x7Fu >> length);
        for (size_t k = 1; k < length; ++k) code = (code << 6) | (bytes[i + k] & 0x3Fu);
        if (code >= 0x10000) {
            if (units - out < 2) break;
            code -= 0x10000;
            wide[out++] = static_cast<wchar_t>(0xD800 + (code >> 10));
            wide[out++] = static_cast<wchar_t>(0xDC00 + (code & 0x3FF));
        } else {
            wide[out++] = static_cast<wchar_t>(code);
        }
        i += length;
    }
    return wide;
}

char32_t Utf8CodePointAt(std::string_view text, size_t at, size_t& length) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[at + k]); };
    const unsigned char lead = byte(0);
    length = 1;
    if (lead < 0x80) return lead;
    size_t size = 0;
    unsigned char low = 0x80, high = 0xBF;  // the second byte's range
    if (lead >= 0xC2 && lead <= 0xDF) {
        size = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        size = 3;
        if (lead == 0xE0) low = 0xA0;  // shorter forms are overlong
        if (lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        size = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;  // beyond U+10FFFF
    } else {
        return NOT_UTF8;
    }
    char32_t code = lead & (0x7F >> size);
    for (size_t k = 1; k < size; ++k) {
        if (at + k >= text.size() || byte(k) < (k == 1 ? low : 0x80) || byte(k) > (k == 1 ? high : 0xBF))
            return NOT_UTF8;
        code = code << 6 | (byte(k) & 0x3F);
        length = k + 1;
    }
    return code;
}
