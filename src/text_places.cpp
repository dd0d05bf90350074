// Lines and columns in characters, and the marked line, for every place the checker shows.
#include "text_places.h"

#include <algorithm>
#include <cstdio>

#include "character_names.h"
#include "utf8_decoding.h"

namespace {

// Where an excerpt is cut: the longest line shown whole, in columns, and how much of it goes before the mark.
constexpr size_t EXCERPT_COLUMNS = 100, EXCERPT_BEFORE = 40;
constexpr size_t TAB_STOP = 4;

}  // namespace

char32_t CharacterAt(const std::string& text, size_t at, size_t& length) {
    const char32_t code = Utf8CodePointAt(text, at, length);
    if (code == NOT_UTF8) length = 1;
    return code;
}

size_t LineStart(const std::string& text, size_t offset) {
    const size_t newline = offset == 0 ? std::string::npos : text.rfind('\n', offset - 1);
    return newline == std::string::npos ? 0 : newline + 1;
}

size_t LineEnd(const std::string& text, size_t offset) {
    const size_t newline = text.find('\n', offset);
    return newline == std::string::npos ? text.size() : newline;
}

size_t LineNumber(const std::string& text, size_t offset) {
    return 1 + static_cast<size_t>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(offset), '\n'));
}

// One pass over the text however many places are asked for, in whatever order.
std::vector<std::pair<size_t, size_t>> LinesAndColumns(const std::string& text, const std::vector<size_t>& offsets) {
    std::vector<size_t> order(offsets.size());
    for (size_t k = 0; k < order.size(); ++k) order[k] = k;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return offsets[a] < offsets[b]; });
    std::vector<std::pair<size_t, size_t>> places(offsets.size());
    size_t line = 1, line_start = 0, counted_to = 0;
    for (size_t k : order) {
        const size_t offset = offsets[k];
        for (size_t at = text.find('\n', counted_to); at != std::string::npos && at < offset;
             at = text.find('\n', at + 1)) {
            ++line;
            line_start = at + 1;
        }
        counted_to = offset;
        places[k] = {line, offset - line_start + 1};
    }
    return places;
}

size_t CharacterColumn(const std::string& text, size_t line_start, size_t offset) {
    size_t column = 1, at = line_start == 0 && text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : line_start;
    for (size_t length = 1; at < offset && at < text.size(); at += length, ++column) CharacterAt(text, at, length);
    return column;
}

size_t CharacterColumnAt(const std::string& text, size_t line, size_t byte_column) {
    size_t line_start = 0;
    for (size_t k = 1; k < line; ++k) {
        line_start = text.find('\n', line_start);
        if (line_start == std::string::npos) return byte_column;
        ++line_start;
    }
    return byte_column == 0 ? 0 : CharacterColumn(text, line_start, line_start + byte_column - 1);
}

std::string MarkedLine(const std::string& text, size_t offset, size_t line) {
    const size_t line_start = LineStart(text, offset), line_end = LineEnd(text, offset);
    // Each character as shown, with the columns it takes and the byte it starts at.
    struct Cell {
        std::string shown;
        size_t columns;
        size_t byte;
    };
    std::vector<Cell> cells;
    size_t total = 0;
    for (size_t at = line_start == 0 && text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : line_start, length = 1;
         at < line_end; at += length) {
        const char32_t code = CharacterAt(text, at, length);
        Cell cell{std::string(), 1, at};
        if (code == '\t') {
            cell.columns = TAB_STOP - total % TAB_STOP;
            cell.shown.assign(cell.columns, ' ');
        } else if (code == NOT_UTF8) {
            cell.shown = "\xEF\xBF\xBD";
        } else if (code < 0x20 || code == 0x7F) {
            cell.shown = Utf8Of(code == 0x7F ? 0x2421 : 0x2400 + code);  // the control pictures, ␀ to ␟ and ␡
        } else {
            cell.shown = text.substr(at, length);
            cell.columns = ColumnsOf(code);
        }
        total += cell.columns;
        cells.push_back(std::move(cell));
    }
    // The columns before the mark, and the window of the line shown around it.
    size_t mark_column = 0;
    for (const Cell& cell : cells) mark_column += cell.byte < offset ? cell.columns : 0;
    const size_t from = total <= EXCERPT_COLUMNS || mark_column < EXCERPT_BEFORE ? 0 : mark_column - EXCERPT_BEFORE;
    std::string shown = from > 0 ? ELLIPSIS_UTF8 : "";
    size_t caret = from > 0 ? 1 : 0, column = 0;
    for (const Cell& cell : cells) {
        if (column >= from && column + cell.columns <= from + EXCERPT_COLUMNS) {
            shown += cell.shown;
            if (cell.byte < offset) caret += cell.columns;
        } else if (column >= from + EXCERPT_COLUMNS) {
            shown += ELLIPSIS_UTF8;
            break;
        }
        column += cell.columns;
    }
    char number[16];
    std::snprintf(number, sizeof number, "%5zu | ", line);
    return number + shown + "\n      | " + std::string(caret, ' ') + "^";
}
