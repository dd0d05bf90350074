// Number formats as Excel documents them: up to four sections (positive; negative; zero; text), each either a
// number's digits or a date's parts, with literals around them. Decimal rounding is done on the value's 15
// significant digits, half away from zero, as the spreadsheet rounds, not on its binary value as printf would.
#include "number_formats.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// The value's 15 significant digits, and the power of ten of the first.
struct Decimal {
    std::string digits;
    int exponent = 0;
};

Decimal ToDecimal(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.14e", std::fabs(value));
    Decimal decimal;
    for (const char* p = text; *p && *p != 'e'; ++p) {
        if (*p != '.') decimal.digits += *p;
    }
    decimal.exponent = std::atoi(std::strchr(text, 'e') + 1);
    return decimal;
}

// The value's digits rounded to `decimals` places, half away from zero: the integer part (at least "0") and the
// fraction, `decimals` digits long.
struct Fixed {
    std::string whole;
    std::string fraction;
};

Fixed ToFixed(double value, int decimals) {
    Fixed fixed;
    if (value == 0) return {"0", std::string(static_cast<size_t>(decimals), '0')};
    const Decimal decimal = ToDecimal(value);
    // All digits, with the decimal point after `point` of them (which may be negative or past the end).
    std::string digits = decimal.digits;
    int point = decimal.exponent + 1;
    if (point < 0) {
        digits.insert(0, static_cast<size_t>(-point), '0');
        point = 0;
    }
    const int keep = point + decimals;
    if (static_cast<int>(digits.size()) < keep) digits.append(static_cast<size_t>(keep) - digits.size(), '0');
    const bool up = keep < static_cast<int>(digits.size()) && digits[static_cast<size_t>(keep)] >= '5';
    digits.resize(static_cast<size_t>(keep));
    if (up) {
        int at = keep - 1;
        while (at >= 0 && digits[static_cast<size_t>(at)] == '9') digits[static_cast<size_t>(at--)] = '0';
        if (at >= 0) {
            ++digits[static_cast<size_t>(at)];
        } else {
            digits.insert(0, "1");
            ++point;
        }
    }
    fixed.whole = digits.substr(0, static_cast<size_t>(point));
    fixed.fraction = digits.substr(static_cast<size_t>(point));
    const size_t first = fixed.whole.find_first_not_of('0');
    fixed.whole = first == std::string::npos ? "0" : fixed.whole.substr(first);
    return fixed;
}

size_t SignificantDigits(const std::string& text) {
    size_t count = 0;
    bool started = false;
    for (char c : text) {
        if (c == 'E') break;
        if (c >= '1' && c <= '9') started = true;
        if (started && c >= '0' && c <= '9') ++count;
    }
    return count;
}

std::string TrimZeros(std::string fraction) {
    while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
    return fraction;
}

// General, as a cell of the standard width shows it: at most 11 characters; in decimals when that keeps as many
// significant digits as the scientific form does, otherwise in the scientific form with up to five decimals.
std::string ShowGeneral(double value) {
    if (value == 0) return "0";
    const std::string sign = value < 0 ? "-" : "";
    const double magnitude = std::fabs(value);
    const int exponent = ToDecimal(magnitude).exponent;
    std::string fixed;
    if (exponent < 11) {
        const Fixed f = ToFixed(magnitude, exponent >= 0 ? std::max(0, 9 - exponent) : 9);
        if (f.whole.size() <= 11) {
            const std::string fraction = TrimZeros(f.fraction);
            fixed = f.whole + (fraction.empty() ? "" : "." + fraction);
        }
    }
    const double mantissa = magnitude / std::pow(10.0, exponent);
    Fixed m = ToFixed(mantissa, 5);
    int shown_exponent = exponent;
    if (m.whole.size() > 1) {  // 9.999999 rounded up to 10.00000
        m = {"1", "00000"};
        ++shown_exponent;
    }
    char power[8];
    std::snprintf(power, sizeof power, "E%c%02d", shown_exponent < 0 ? '-' : '+', std::abs(shown_exponent));
    const std::string fraction = TrimZeros(m.fraction);
    const std::string scientific = m.whole + (fraction.empty() ? "" : "." + fraction) + power;
    if (!fixed.empty() && SignificantDigits(fixed) >= SignificantDigits(scientific)) return sign + fixed;
    return sign + scientific;
}

enum class Part { Literal, Digit, Point, Comma, Percent, Exponent, Year, Month, Day, Hour, Minute, Second,
                  AmPm, Elapsed, SubSecond, General };

struct Token {
    Part part;
    std::string text;  // a literal's text; a date part's letters; a digit's placeholder; the exponent's sign
};

// One section of a format, cut into tokens; `refused` when it holds what cannot be shown exactly.
struct Section {
    std::vector<Token> tokens;
    bool date = false;
    bool names = false;     // month or day names
    bool english = true;    // no locale tag of another language
    bool refused = false;
};

bool IsDateLetter(char c) {
    return c == 'y' || c == 'm' || c == 'd' || c == 'h' || c == 's';
}

Section CutSection(const std::string& code) {
    Section section;
    auto literal = [&](const std::string& text) {
        if (!section.tokens.empty() && section.tokens.back().part == Part::Literal) {
            section.tokens.back().text += text;
        } else {
            section.tokens.push_back({Part::Literal, text});
        }
    };
    size_t i = 0;
    while (i < code.size() && !section.refused) {
        const char c = code[i];
        const char lower = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        if (c == '"') {
            const size_t close = code.find('"', i + 1);
            if (close == std::string::npos) {
                section.refused = true;
                break;
            }
            literal(code.substr(i + 1, close - i - 1));
            i = close + 1;
        } else if (c == '\\' && i + 1 < code.size()) {
            size_t length = 1;
            while (i + 1 + length < code.size() && (code[i + 1 + length] & 0xC0) == 0x80) ++length;
            literal(code.substr(i + 1, length));
            i += 1 + length;
        } else if (c == '_' && i + 1 < code.size()) {
            // Room the width of the next character: a space in the text the spreadsheet saves.
            literal(" ");
            i += 2;
            while (i < code.size() && (code[i] & 0xC0) == 0x80) ++i;
        } else if (c == '[') {
            const size_t close = code.find(']', i);
            if (close == std::string::npos) {
                section.refused = true;
                break;
            }
            const std::string inside = code.substr(i + 1, close - i - 1);
            std::string lowered;
            for (char ch : inside) lowered += static_cast<char>(ch >= 'A' && ch <= 'Z' ? ch - 'A' + 'a' : ch);
            static const char* const COLOURS[] = {"black", "blue", "cyan", "green", "magenta", "red", "white",
                                                  "yellow"};
            bool colour = lowered.rfind("color", 0) == 0;
            for (const char* name : COLOURS) colour = colour || lowered == name;
            if (colour) {
                // Colours do not reach the text.
            } else if (!lowered.empty() && lowered.find_first_not_of(lowered[0]) == std::string::npos &&
                       (lowered[0] == 'h' || lowered[0] == 'm' || lowered[0] == 's')) {
                section.tokens.push_back({Part::Elapsed, lowered});
                section.date = true;
            } else if (lowered.rfind('$', 0) == 0) {
                // [$text-locale]: the text is shown; the locale only names months and days.
                const size_t dash = inside.find('-');
                literal(inside.substr(1, dash == std::string::npos ? std::string::npos : dash - 1));
                if (dash != std::string::npos) {
                    const unsigned long locale = std::strtoul(inside.c_str() + dash + 1, nullptr, 16);
                    if ((locale & 0xFF) != 0x09 && locale != 0) section.english = false;
                    // F800 and F400 are the system's long date and time, different on every PC.
                    if ((locale & 0xFFFF) == 0xF800 || (locale & 0xFFFF) == 0xF400) section.refused = true;
                }
            } else {
                section.refused = true;  // conditions, [DBNum1] and the like
            }
            i = close + 1;
        } else if (c == '0' || c == '#') {
            section.tokens.push_back({Part::Digit, std::string(1, c)});
            ++i;
        } else if (c == '.') {
            if (!section.tokens.empty() && (section.tokens.back().part == Part::Second) && i + 1 < code.size() &&
                code[i + 1] == '0') {
                size_t end = i + 1;
                while (end < code.size() && code[end] == '0') ++end;
                section.tokens.push_back({Part::SubSecond, code.substr(i + 1, end - i - 1)});
                i = end;
            } else {
                section.tokens.push_back({Part::Point, "."});
                ++i;
            }
        } else if (c == ',') {
            section.tokens.push_back({Part::Comma, ","});
            ++i;
        } else if (c == '%') {
            section.tokens.push_back({Part::Percent, "%"});
            ++i;
        } else if ((c == 'E' || c == 'e') && i + 1 < code.size() && (code[i + 1] == '+' || code[i + 1] == '-')) {
            section.tokens.push_back({Part::Exponent, std::string(1, code[i + 1])});
            i += 2;
        } else if (lower == 'g' && (code.compare(i, 7, "General") == 0 || code.compare(i, 7, "general") == 0 ||
                                    code.compare(i, 8, "G/\xE6\xA8\x99\xE6\xBA\x96") == 0)) {
            // General among literals; a Japanese Excel writes it G/標準.
            section.tokens.push_back({Part::General, "General"});
            i += code[i + 1] == '/' ? 8 : 7;
        } else if (code.compare(i, 5, "AM/PM") == 0 || code.compare(i, 5, "am/pm") == 0 ||
                   code.compare(i, 3, "A/P") == 0 || code.compare(i, 3, "a/p") == 0) {
            const size_t length = code[i + 1] == '/' ? 3 : 5;
            section.tokens.push_back({Part::AmPm, code.substr(i, length)});
            section.date = true;
            i += length;
        } else if (IsDateLetter(lower)) {
            size_t end = i;
            while (end < code.size() && (code[end] == c || code[end] == lower)) ++end;
            const std::string run(end - i, lower);
            const Part part = lower == 'y' ? Part::Year : lower == 'm' ? Part::Month : lower == 'd' ? Part::Day
                              : lower == 'h' ? Part::Hour : Part::Second;
            section.tokens.push_back({part, run});
            section.date = true;
            i = end;
        } else if (static_cast<unsigned char>(c) >= 0x80 || std::string("$-+/():!^&'~{}<>= ").find(c) !=
                                                               std::string::npos) {
            size_t length = 1;
            while (i + length < code.size() && (code[i + length] & 0xC0) == 0x80) ++length;
            literal(code.substr(i, length));
            i += length;
        } else {
            section.refused = true;  // ? * @ g e b and the other letters: alignment, fills, eras, text
        }
    }
    // A month right after hours or right before seconds is minutes.
    for (size_t t = 0; t < section.tokens.size(); ++t) {
        Token& token = section.tokens[t];
        if (token.part == Part::Month || token.part == Part::Day) {
            if (token.text.size() >= 3) section.names = true;
        }
        if (token.part != Part::Month || token.text.size() > 2) continue;
        for (size_t b = t; b-- > 0;) {
            if (section.tokens[b].part == Part::Literal) continue;
            if (section.tokens[b].part == Part::Hour || section.tokens[b].part == Part::Elapsed) {
                token.part = Part::Minute;
            }
            break;
        }
        for (size_t a = t + 1; a < section.tokens.size(); ++a) {
            if (section.tokens[a].part == Part::Literal) continue;
            if (section.tokens[a].part == Part::Second) token.part = Part::Minute;
            break;
        }
    }
    if (section.date) {
        for (const Token& token : section.tokens) {
            if (token.part == Part::Digit || token.part == Part::Point || token.part == Part::Percent ||
                token.part == Part::Exponent || token.part == Part::Comma) {
                if (token.part == Part::Comma) continue;  // a comma between date parts is a literal
                section.refused = true;
            }
        }
        for (Token& token : section.tokens) {
            if (token.part == Part::Comma) token.part = Part::Literal;
        }
    } else {
        for (const Token& token : section.tokens) {
            if (token.part == Part::Literal && token.text.find('/') != std::string::npos) section.refused = true;
        }
    }
    if (section.names && !section.english) section.refused = true;
    return section;
}

std::string Pad(long long number, size_t width) {
    std::string text = std::to_string(number);
    if (text.size() < width) text.insert(0, width - text.size(), '0');
    return text;
}

ShownNumber ShowDate(const Section& section, double value, bool date1904) {
    if (value < 0 || value >= 2958466) return {"", true};  // shown as #### by the spreadsheet
    int subsecond_digits = 0;
    bool ampm = false;
    for (const Token& token : section.tokens) {
        if (token.part == Part::SubSecond) subsecond_digits = static_cast<int>(token.text.size());
        if (token.part == Part::AmPm) ampm = true;
    }
    long long unit = 86400;
    for (int i = 0; i < subsecond_digits; ++i) unit *= 10;
    const long long ticks = std::llround(value * static_cast<double>(unit));
    const long long day = ticks / unit;
    const long long in_day = ticks % unit;
    long long tick_per_second = unit / 86400;
    const long long seconds_total = in_day / tick_per_second;
    const long long subsecond = in_day % tick_per_second;
    const long long hour = seconds_total / 3600;
    const long long minute = seconds_total / 60 % 60;
    const long long second = seconds_total % 60;

    // The civil date of the serial day.
    long long year = 1900, month = 1, mday = 0;
    long long weekday = 0;  // 0 Sunday
    if (!date1904 && day == 0) {
        year = 1900, month = 1, mday = 0, weekday = 6;
    } else if (!date1904 && day == 60) {
        year = 1900, month = 2, mday = 29, weekday = 3;
    } else {
        // Days since 1970-01-01, then the civil date by the proleptic Gregorian calendar (H. Hinnant's method).
        long long z = date1904 ? day - 24107 : (day < 60 ? day - 25568 : day - 25569);
        weekday = ((z % 7) + 11) % 7;  // 1970-01-01 was a Thursday
        z += 719468;
        const long long era = (z >= 0 ? z : z - 146096) / 146097;
        const long long doe = z - era * 146097;
        const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
        const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
        const long long mp = (5 * doy + 2) / 153;
        mday = doy - (153 * mp + 2) / 5 + 1;
        month = mp < 10 ? mp + 3 : mp - 9;
        year = yoe + era * 400 + (month <= 2);
    }
    static const char* const MONTHS[] = {"January", "February", "March", "April", "May", "June", "July",
                                         "August", "September", "October", "November", "December"};
    static const char* const DAYS[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday",
                                       "Saturday"};
    std::string text;
    for (const Token& token : section.tokens) {
        const size_t n = token.text.size();
        switch (token.part) {
        case Part::Literal: text += token.text; break;
        case Part::Year: text += n <= 2 ? Pad(year % 100, 2) : Pad(year, 4); break;
        case Part::Month:
            if (n <= 2) text += Pad(month, n);
            else if (n == 3) text += std::string(MONTHS[month - 1]).substr(0, 3);
            else if (n == 4) text += MONTHS[month - 1];
            else text += MONTHS[month - 1][0];
            break;
        case Part::Day:
            if (n <= 2) text += Pad(mday, n);
            else if (n == 3) text += std::string(DAYS[weekday]).substr(0, 3);
            else text += DAYS[weekday];
            break;
        case Part::Hour: {
            const long long shown = ampm ? (hour % 12 == 0 ? 12 : hour % 12) : hour;
            text += Pad(shown, std::min<size_t>(n, 2));
            break;
        }
        case Part::Minute: text += Pad(minute, std::min<size_t>(n, 2)); break;
        case Part::Second: text += Pad(second, std::min<size_t>(n, 2)); break;
        case Part::SubSecond: text += "." + Pad(subsecond, n); break;
        case Part::AmPm: {
            const bool pm = hour >= 12;
            if (n == 3) text += pm ? token.text[2] : token.text[0];
            else text += pm ? token.text.substr(3, 2) : token.text.substr(0, 2);
            break;
        }
        case Part::Elapsed: {
            const long long total = day * 86400 + seconds_total;
            const long long shown = token.text[0] == 'h' ? total / 3600 : token.text[0] == 'm' ? total / 60 : total;
            text += Pad(shown, token.text.size());
            break;
        }
        default: return {"", true};
        }
    }
    return {text, false};
}

ShownNumber ShowDigits(const Section& section, double value) {
    // Where the digits are: the integer part, the fraction, the exponent; literals only before and after them.
    const std::vector<Token>& tokens = section.tokens;
    const bool general =
        std::any_of(tokens.begin(), tokens.end(), [](const Token& t) { return t.part == Part::General; });
    if (general) {
        std::string text;
        for (const Token& token : tokens) {
            if (token.part == Part::General) text += ShowGeneral(value);
            else if (token.part == Part::Literal) text += token.text;
            else return {"", true};
        }
        return {text, false};
    }
    size_t first = tokens.size(), last = 0;
    for (size_t t = 0; t < tokens.size(); ++t) {
        if (tokens[t].part == Part::Digit) {
            first = std::min(first, t);
            last = t;
        }
    }
    if (first == tokens.size()) {  // no digits at all: literals only, shown as they are
        std::string text;
        for (const Token& token : tokens) text += token.text;
        return {text, false};
    }
    size_t whole_zeros = 0, whole_digits = 0, fraction_zeros = 0, fraction_digits = 0, exponent_digits = 0;
    bool point = false, grouped = false, has_hash = false;
    std::string exponent_sign;
    int scale = 0;
    for (size_t t = first; t <= last; ++t) {
        const Token& token = tokens[t];
        if (token.part == Part::Digit) {
            if (!exponent_sign.empty()) {
                ++exponent_digits;
            } else if (point) {
                ++fraction_digits;
                if (token.text == "0") ++fraction_zeros;
            } else {
                ++whole_digits;
                if (token.text == "0") ++whole_zeros;
                else has_hash = true;
            }
        } else if (token.part == Part::Point && !point && exponent_sign.empty()) {
            point = true;
        } else if (token.part == Part::Comma && !point && exponent_sign.empty()) {
            grouped = true;
        } else if (token.part == Part::Exponent && exponent_sign.empty()) {
            exponent_sign = token.text;
        } else if (token.part != Part::Percent) {
            return {"", true};  // a literal among the digits, as in 000-0000
        }
    }
    // Commas right after the last digit of the integer part divide by a thousand each.
    size_t after = last + 1;
    while (after < tokens.size() && tokens[after].part == Part::Comma) {
        ++scale;
        ++after;
    }
    if (after < tokens.size() && tokens[after].part == Part::Point) {
        point = true;
        ++after;
    }
    std::string prefix, suffix;
    double magnitude = std::fabs(value);
    for (size_t t = 0; t < tokens.size(); ++t) {
        if (t >= first && t < after) continue;
        if (tokens[t].part == Part::Percent) magnitude *= 100;
        if (tokens[t].part == Part::Digit || tokens[t].part == Part::Point || tokens[t].part == Part::Exponent ||
            tokens[t].part == Part::Comma) {
            return {"", true};
        }
        (t < first ? prefix : suffix) += tokens[t].text;
    }
    for (size_t t = first; t < after; ++t) {
        if (tokens[t].part == Part::Percent) magnitude *= 100;
    }
    for (int i = 0; i < scale; ++i) magnitude /= 1000;

    std::string exponent_text;
    if (!exponent_sign.empty()) {
        if (exponent_digits == 0 || whole_digits == 0) return {"", true};
        int exponent = magnitude == 0 ? 0 : ToDecimal(magnitude).exponent;
        const int step = has_hash ? static_cast<int>(whole_digits) : 1;
        const int shift = has_hash ? 0 : static_cast<int>(whole_zeros) - 1;
        exponent = has_hash ? static_cast<int>(std::floor(exponent / static_cast<double>(step))) * step
                            : exponent - shift;
        Fixed mantissa = ToFixed(magnitude / std::pow(10.0, exponent), static_cast<int>(fraction_digits));
        const size_t room = has_hash ? whole_digits : whole_zeros;
        if (magnitude != 0 && mantissa.whole.size() > room) {
            exponent += step;
            mantissa = ToFixed(magnitude / std::pow(10.0, exponent), static_cast<int>(fraction_digits));
        }
        const std::string sign = exponent < 0 ? "-" : exponent_sign == "+" ? "+" : "";
        exponent_text = "E" + sign + Pad(std::abs(exponent), exponent_digits);
        magnitude = 0;  // the mantissa is laid out below
        Fixed shown = mantissa;
        std::string whole = shown.whole == "0" && whole_zeros == 0 ? "" : shown.whole;
        if (whole.size() < whole_zeros) whole.insert(0, whole_zeros - whole.size(), '0');
        std::string fraction = shown.fraction;
        while (fraction.size() > fraction_zeros && fraction.back() == '0') fraction.pop_back();
        const bool negative = value < 0 && (SignificantDigits(shown.whole + fraction) > 0);
        return {std::string(negative ? "-" : "") + prefix + whole + (point ? "." : "") + fraction + exponent_text +
                    suffix,
                false};
    }
    const Fixed shown = ToFixed(magnitude, static_cast<int>(fraction_digits));
    std::string whole = shown.whole == "0" ? "" : shown.whole;
    if (whole.size() < whole_zeros) whole.insert(0, whole_zeros - whole.size(), '0');
    if (grouped) {
        std::string digits;
        for (size_t i = 0; i < whole.size(); ++i) {
            if (i && (whole.size() - i) % 3 == 0) digits += ',';
            digits += whole[i];
        }
        whole = digits;
    }
    std::string fraction = shown.fraction;
    while (fraction.size() > fraction_zeros && fraction.back() == '0') fraction.pop_back();
    const bool negative = value < 0 && SignificantDigits(shown.whole + shown.fraction) > 0;
    return {std::string(negative ? "-" : "") + prefix + whole + (point ? "." : "") + fraction + suffix, false};
}

std::vector<std::string> CutSections(const std::string& code) {
    std::vector<std::string> sections(1);
    bool quoted = false;
    for (size_t i = 0; i < code.size(); ++i) {
        const char c = code[i];
        if (c == '"') quoted = !quoted;
        if (c == '\\' && !quoted && i + 1 < code.size()) {
            sections.back() += code.substr(i, 2);
            ++i;
            continue;
        }
        if (c == ';' && !quoted) {
            sections.emplace_back();
        } else {
            sections.back() += c;
        }
    }
    return sections;
}

}  // namespace

std::string BuiltInFormatCode(int id, const std::string& short_date) {
    switch (id) {
    case 0: return "General";
    case 1: return "0";
    case 2: return "0.00";
    case 3: return "#,##0";
    case 4: return "#,##0.00";
    case 9: return "0%";
    case 10: return "0.00%";
    case 11: return "0.00E+00";
    case 14: return short_date;
    case 15: return "d-mmm-yy";
    case 16: return "d-mmm";
    case 17: return "mmm-yy";
    case 18: return "h:mm AM/PM";
    case 19: return "h:mm:ss AM/PM";
    case 20: return "h:mm";
    case 21: return "h:mm:ss";
    case 22: return short_date + " h:mm";
    case 37: return "#,##0 ;(#,##0)";
    case 38: return "#,##0 ;[Red](#,##0)";
    case 39: return "#,##0.00;(#,##0.00)";
    case 40: return "#,##0.00;[Red](#,##0.00)";
    case 45: return "mm:ss";
    case 46: return "[h]:mm:ss";
    case 47: return "mm:ss.0";
    case 48: return "##0.0E+0";
    case 49: return "@";
    default: return std::string();  // 5-8 and 41-44 currencies, 12-13 fractions, 27-36 and 50-81 by language
    }
}

std::string UserShortDateFormat() {
    wchar_t picture[80] = {};
    if (!GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SSHORTDATE, picture, 80)) return "m/d/yyyy";
    // Windows' picture (M for months, 'quoted' literals) turned into a format code.
    std::string code;
    for (const wchar_t* p = picture; *p; ++p) {
        if (*p == L'\'') {
            std::string literal;
            for (++p; *p && *p != L'\''; ++p) {
                char bytes[8];
                const int n = WideCharToMultiByte(CP_UTF8, 0, p, 1, bytes, sizeof bytes, nullptr, nullptr);
                literal.append(bytes, static_cast<size_t>(n));
            }
            code += "\"" + literal + "\"";
            if (!*p) break;
        } else if (*p == L'M') {
            code += 'm';
        } else if (*p == L'g') {
            code += 'g';  // an era: refused when shown
        } else {
            char bytes[8];
            const int n = WideCharToMultiByte(CP_UTF8, 0, p, 1, bytes, sizeof bytes, nullptr, nullptr);
            code.append(bytes, static_cast<size_t>(n));
        }
    }
    return code;
}

ShownNumber ShowNumber(double value, const std::string& code, bool date1904) {
    if (!std::isfinite(value)) return {"", true};
    std::string lowered;
    for (char c : code) lowered += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (code.empty() || lowered == "general" || code == "@") return {ShowGeneral(value), false};
    std::vector<std::string> sections = CutSections(code);
    if (sections.size() > 4) return {"", true};
    // Which section shows the value, and whether it is shown without its sign.
    size_t chosen = 0;
    bool unsigned_value = false;
    if (value < 0 && sections.size() >= 2) {
        chosen = 1;
        unsigned_value = true;
    } else if (value == 0 && sections.size() >= 3) {
        chosen = 2;
    }
    std::string text = sections[chosen];
    std::string lowered_section;
    for (char c : text) lowered_section += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (lowered_section == "general") return {ShowGeneral(unsigned_value ? std::fabs(value) : value), false};
    const Section section = CutSection(text);
    if (section.refused) return {"", true};
    const double shown = unsigned_value ? std::fabs(value) : value;
    return section.date ? ShowDate(section, shown, date1904) : ShowDigits(section, shown);
}
