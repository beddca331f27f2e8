// One record of a CSV file (RFC 4180) for a spreadsheet: fields separated
// by commas, quoted when they hold a comma, a quote, a line break or
// blanks at an end, the record ended by CR LF. A field that begins with a
// character a spreadsheet takes as the start of a formula ("=", "+", "-",
// "@", tab, CR) gets a "'" before it: a subject from a stranger never
// becomes a formula in the user's spreadsheet.
#ifndef REPLYVANE_RESPONDER_CSV_RECORD_H_
#define REPLYVANE_RESPONDER_CSV_RECORD_H_

#include <string>
#include <vector>

namespace replyvane::responder {

std::string CsvRecord(const std::vector<std::string>& fields);

}  // namespace replyvane::responder

#endif  // REPLYVANE_RESPONDER_CSV_RECORD_H_
