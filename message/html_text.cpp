#include "message/html_text.h"

#include <cstdint>

#include "core/text.h"

namespace replyvane::message {

namespace {

struct NamedReference {
  std::string_view name;
  uint32_t code_point;
};

// The references that mailers actually write; others stay as they are.
constexpr NamedReference kNamed[] = {
    {"amp", '&'},      {"lt", '<'},        {"gt", '>'},       {"quot", '"'},
    {"apos", '\''},    {"nbsp", 0xA0},     {"copy", 0xA9},    {"reg", 0xAE},
    {"trade", 0x2122}, {"euro", 0x20AC},   {"pound", 0xA3},   {"yen", 0xA5},
    {"cent", 0xA2},    {"sect", 0xA7},     {"deg", 0xB0},     {"middot", 0xB7},
    {"bull", 0x2022},  {"hellip", 0x2026}, {"ndash", 0x2013}, {"mdash", 0x2014},
    {"lsquo", 0x2018}, {"rsquo", 0x2019},  {"ldquo", 0x201C}, {"rdquo", 0x201D},
    {"laquo", 0xAB},   {"raquo", 0xBB},    {"times", 0xD7},   {"auml", 0xE4},
    {"ouml", 0xF6},    {"uuml", 0xFC},     {"Auml", 0xC4},    {"Ouml", 0xD6},
    {"Uuml", 0xDC},    {"szlig", 0xDF},    {"eacute", 0xE9},  {"egrave", 0xE8},
    {"agrave", 0xE0},  {"aacute", 0xE1},   {"ccedil", 0xE7},  {"ntilde", 0xF1},
    {"oacute", 0xF3},  {"iacute", 0xED},   {"uacute", 0xFA},  {"Eacute", 0xC9},
    {"zwnj", 0x200C},  {"shy", 0xAD},      {"ensp", 0x2002},  {"emsp", 0x2003},
    {"thinsp", 0x2009}};

// Elements whose contents are not text.
constexpr std::string_view kHiddenElements[] = {"script", "style", "head",
                                                "title"};

// Elements that end a line where they open or close.
constexpr std::string_view kBreakingElements[] = {
    "br", "p",  "div", "tr", "li", "ul",         "ol",  "table", "h1", "h2",
    "h3", "h4", "h5",  "h6", "hr", "blockquote", "pre", "dd",    "dt", "body"};

bool IsAsciiAlnum(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
         (c >= '0' && c <= '9');
}

// The lower-case element name at the start of a tag's text ("/p" -> "p").
std::string TagName(std::string_view tag) {
  size_t i = 0;
  if (i < tag.size() && tag[i] == '/') ++i;
  size_t end = i;
  while (end < tag.size() && IsAsciiAlnum(tag[end])) ++end;
  return core::LowerCase(tag.substr(i, end - i));
}

// Decodes the reference at `text[i]` == '&'; returns the bytes and sets
// `used`, or returns "&" with used 1 when it is no known reference.
std::string DecodeReference(std::string_view text, size_t i, size_t& used) {
  used = 1;
  // References are short: looking no further keeps the scan linear.
  const size_t found = text.substr(i + 1, 12).find(';');
  if (found == std::string_view::npos) return "&";
  const size_t semi = i + 1 + found;
  std::string_view body = text.substr(i + 1, semi - i - 1);
  if (body.size() >= 2 && body[0] == '#') {
    const bool hex = body[1] == 'x' || body[1] == 'X';
    std::string_view digits = body.substr(hex ? 2 : 1);
    if (digits.empty() || digits.size() > 7) return "&";
    uint32_t value = 0;
    for (char c : digits) {
      int digit;
      if (c >= '0' && c <= '9') {
        digit = c - '0';
      } else if (hex && c >= 'a' && c <= 'f') {
        digit = c - 'a' + 10;
      } else if (hex && c >= 'A' && c <= 'F') {
        digit = c - 'A' + 10;
      } else {
        return "&";
      }
      value = value * (hex ? 16 : 10) + uint32_t(digit);
    }
    used = semi - i + 1;
    return Utf8Of(value);
  }
  for (const NamedReference& named : kNamed) {
    if (named.name == body) {
      used = semi - i + 1;
      return Utf8Of(named.code_point);
    }
  }
  return "&";
}

// Collects text into lines: blanks collapse, breaks end the line, and no
// more than one empty line stands between two lines of text.
class LineCollector {
 public:
  void AddText(std::string_view text) {
    for (char c : text) {
      if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f') {
        pending_blank_ = !current_.empty();
      } else {
        if (pending_blank_) current_ += ' ';
        pending_blank_ = false;
        current_ += c;
      }
    }
  }
  void Break() {
    pending_blank_ = false;
    if (current_.empty()) {
      if (!lines_.empty() && !lines_.back().empty()) lines_.emplace_back();
      return;
    }
    lines_.push_back(std::move(current_));
    current_.clear();
  }
  std::vector<std::string> Finish() {
    Break();
    while (!lines_.empty() && lines_.back().empty()) lines_.pop_back();
    return std::move(lines_);
  }

 private:
  std::vector<std::string> lines_;
  std::string current_;
  bool pending_blank_ = false;
};

bool IsOneOf(const std::string& name, const std::string_view* list,
             size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (list[i] == name) return true;
  }
  return false;
}

}  // namespace

std::string Utf8Of(uint32_t cp) {
  if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    cp = 0xFFFD;
  }
  std::string out;
  if (cp < 0x80) {
    out += char(cp);
  } else if (cp < 0x800) {
    out += char(0xC0 | (cp >> 6));
    out += char(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += char(0xE0 | (cp >> 12));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  } else {
    out += char(0xF0 | (cp >> 18));
    out += char(0x80 | ((cp >> 12) & 0x3F));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  }
  return out;
}

std::vector<std::string> HtmlToTextLines(std::string_view html) {
  LineCollector out;
  std::string hidden;  // the element whose contents are being skipped
  size_t i = 0;
  while (i < html.size()) {
    const char c = html[i];
    if (c == '<') {
      if (html.substr(i, 4) == "<!--") {
        const size_t end = html.find("-->", i + 4);
        i = end == std::string_view::npos ? html.size() : end + 3;
        continue;
      }
      const size_t end = html.find('>', i + 1);
      if (end == std::string_view::npos) break;  // a tag cut off at the end
      std::string_view tag = html.substr(i + 1, end - i - 1);
      const std::string name = TagName(tag);
      const bool closing = !tag.empty() && tag[0] == '/';
      i = end + 1;
      if (!hidden.empty()) {
        if (closing && name == hidden) hidden.clear();
        continue;
      }
      if (!closing &&
          IsOneOf(name, kHiddenElements, std::size(kHiddenElements)) &&
          (tag.empty() || tag.back() != '/')) {
        hidden = name;
        continue;
      }
      if (IsOneOf(name, kBreakingElements, std::size(kBreakingElements))) {
        out.Break();
      } else if (name == "td" || name == "th") {
        out.AddText(" ");
      }
      continue;
    }
    if (!hidden.empty()) {
      ++i;
      continue;
    }
    if (c == '&') {
      size_t used = 1;
      std::string decoded = DecodeReference(html, i, used);
      // A no-break space is a blank in text.
      out.AddText(decoded == "\xC2\xA0" ? " " : decoded);
      i += used;
      continue;
    }
    const size_t next = html.find_first_of("<&", i);
    const size_t stop = next == std::string_view::npos ? html.size() : next;
    out.AddText(html.substr(i, stop - i));
    i = stop;
  }
  return out.Finish();
}

}  // namespace replyvane::message
