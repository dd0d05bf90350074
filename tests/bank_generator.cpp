// Synthetic banks: every entry is computed from (seed, index) alone, so huge banks need no stored texts.
#include "bank_generator.h"

#include <cstdio>

#include "bank_reference.h"

namespace {

const char* const ENGLISH_WORDS[] = {
    "network", "address", "router",  "switch",    "frame",   "packet",  "layer",   "protocol", "subnet",
    "gateway", "server",  "client",  "port",      "session", "domain",  "record",  "cache",    "query",
    "default", "secure",  "traffic", "interface", "host",    "mask",    "route",   "table",    "which",
    "the",     "of",      "is",      "a",         "to",      "and",     "does",    "when",     "used",
    "most",    "for",     "by",      "with",      "R&D",     "TCP/IP",  "IPv6",    "VLAN",     "\"quoted\"",
};
const char* const JAPANESE_WORDS[] = {
    "\xE3\x83\x8D\xE3\x83\x83\xE3\x83\x88\xE3\x83\xAF\xE3\x83\xBC\xE3\x82\xAF",  // ネットワーク
    "\xE3\x82\xA2\xE3\x83\x89\xE3\x83\xAC\xE3\x82\xB9",                          // アドレス
    "\xE8\xA8\xAD\xE5\xAE\x9A",                                                  // 設定
    "\xE5\x95\x8F\xE9\xA1\x8C",                                                  // 問題
    "\xE6\xAD\xA3\xE3\x81\x97\xE3\x81\x84",                                      // 正しい
    "\xE3\x81\xAE",                                                              // の
    "\xE3\x81\xAF",                                                              // は
    "\xE3\x82\x92",                                                              // を
    "\xE3\x81\xA9\xE3\x82\x8C\xE3\x81\x8B",                                      // どれか
    "\xE9\x80\x9A\xE4\xBF\xA1",                                                  // 通信
    "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E",                                      // 日本語
    "\xE3\x80\x81",                                                              // 、
    "\xF0\x9F\x93\xA1",                                                          // 📡 (outside the BMP)
};

// Words from `words` until the text is at least `min_bytes` long, cut back to at most `max_bytes` on a word
// boundary.
template <size_t N>
std::string Sentence(SplitMix64& random, const char* const (&words)[N], const char* separator, size_t min_bytes,
                     size_t max_bytes) {
    const size_t target = min_bytes + random.Below(max_bytes - min_bytes + 1);
    std::string text;
    for (;;) {
        const std::string word = words[random.Below(N)];
        const size_t next = text.size() + (text.empty() ? 0 : std::char_traits<char>::length(separator)) + word.size();
        if (next > target && text.size() >= min_bytes) break;
        if (next > max_bytes) break;
        if (!text.empty()) text += separator;
        text += word;
    }
    return text;
}

}  // namespace

GeneratedEntry GenerateEntry(uint32_t seed, size_t index) {
    SplitMix64 random{(static_cast<uint64_t>(seed) << 40) ^ index};
    GeneratedEntry entry;
    const bool japanese = random.Below(4) == 0;
    if (japanese) {
        entry.questionText = Sentence(random, JAPANESE_WORDS, "", 100, 300);
        for (int i = 0; i < 4; ++i) entry.options.push_back(Sentence(random, JAPANESE_WORDS, "", 20, 80));
    } else {
        entry.questionText = Sentence(random, ENGLISH_WORDS, " ", 100, 300) + "?";
        for (int i = 0; i < 4; ++i) entry.options.push_back(Sentence(random, ENGLISH_WORDS, " ", 20, 80));
    }
    // Now and then a line break or a tab, which the file must carry escaped.
    if (random.Below(16) == 0) {
        size_t at = random.Below(entry.questionText.size());
        while ((entry.questionText[at] & 0xC0) == 0x80) ++at;  // not inside a character
        entry.questionText.insert(at, "\n");
    }
    if (random.Below(32) == 0) entry.options[random.Below(4)] += "\t(see notes)";
    entry.correctAnswer = static_cast<int>(random.Below(4));
    return entry;
}

std::string JsonStringLiteral(const std::string& text, bool ascii_only) {
    std::string out = "\"";
    char escape[16];
    size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(static_cast<char>(c));
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20) {
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else if (c >= 0x80 && ascii_only) {
            // Take the whole UTF-8 sequence and write its UTF-16 units as escapes.
            const size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
            const std::wstring units = ReferenceWide(text.substr(i, length));
            for (wchar_t unit : units) {
                std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(unit));
                out += escape;
            }
            i += length;
            continue;
        } else {
            out.push_back(static_cast<char>(c));
        }
        ++i;
    }
    return out + "\"";
}

std::string GenerateBank(uint32_t seed, size_t count) {
    std::string bank = "[\n";
    bank.reserve(count * 700);
    for (size_t index = 0; index < count; ++index) {
        const GeneratedEntry entry = GenerateEntry(seed, index);
        // One Japanese entry in ten is saved with \u escapes, as ASCII-only editors write it.
        const bool ascii_only = index % 10 == 3;
        bank += "  {\n    \"questionText\": " + JsonStringLiteral(entry.questionText, ascii_only) +
                ",\n    \"options\": [\n";
        for (size_t i = 0; i < entry.options.size(); ++i) {
            bank += "      " + JsonStringLiteral(entry.options[i], ascii_only) +
                    (i + 1 < entry.options.size() ? ",\n" : "\n");
        }
        bank += "    ],\n    \"correctAnswer\": " + std::to_string(entry.correctAnswer) +
                (index + 1 < count ? "\n  },\n" : "\n  }\n");
    }
    return bank + "]\n";
}
