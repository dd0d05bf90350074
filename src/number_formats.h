// A workbook's number shown as the spreadsheet shows it in its cell, and so as the spreadsheet's own CSV would hold
// it: General, fixed decimals, thousands, percentages, scientific, leading zeros, dates and times. A format whose
// display cannot be reproduced exactly (fractions, conditions, eras, alignment) is refused, never guessed.
#pragma once

#include <string>

struct ShownNumber {
    std::string text;     // as the cell shows it
    bool refused = false;  // the format cannot be shown exactly: text is empty
};

// The format code of a built-in format id (0 to 49, as styles.xml refers to them), or empty for an id whose
// display depends on the spreadsheet's language (currencies, Japanese eras) or is not defined. Id 14, and the date
// of id 22, is the Windows user's short date, `short_date` (as UserShortDateFormat gives it): that is what the
// spreadsheet itself shows on the author's PC.
std::string BuiltInFormatCode(int id, const std::string& short_date);

// The Windows user locale's short date as a format code ("m/d/yyyy" in the United States, "yyyy/mm/dd" in Japan).
std::string UserShortDateFormat();

// `value` in the format `code`; dates count from 1900 as Excel does (its 29 February 1900 and all), or from 1904.
ShownNumber ShowNumber(double value, const std::string& code, bool date1904 = false);
