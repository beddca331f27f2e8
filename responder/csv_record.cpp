#include "responder/csv_record.h"

namespace replyvane::responder {

namespace {

std::string CsvField(const std::string& text) {
  std::string field = text;
  if (!field.empty() && std::string_view("=+-@\t\r").find(field.front()) !=
                            std::string_view::npos) {
    field.insert(field.begin(), '\'');
  }
  const bool quoted =
      field.find_first_of(",\"\r\n") != std::string::npos ||
      (!field.empty() && (field.front() == ' ' || field.back() == ' '));
  if (!quoted) return field;
  std::string out = "\"";
  for (char c : field) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

}  // namespace

std::string CsvRecord(const std::vector<std::string>& fields) {
  std::string record;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) record += ',';
    record += CsvField(fields[i]);
  }
  record += "\r\n";
  return record;
}

}  // namespace replyvane::responder
