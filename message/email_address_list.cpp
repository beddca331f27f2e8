// Splitting of an address header value into items. Commas inside quoted
// strings and comments do not split; a group's display name and colon are
// dropped. Each element goes whole to the item parser.
#include "message/email_address_list.h"

#include <algorithm>
#include <stdexcept>

namespace replyvane::message {

namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

std::string_view TrimLeftView(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  return text;
}

// The element being collected, with a cheap "only blanks?" test: the known
// blank prefix is not scanned twice.
class Element {
 public:
  std::string& Text() { return text_; }
  bool IsBlankText() {
    while (blank_prefix_ < text_.size() && IsBlank(text_[blank_prefix_])) {
      ++blank_prefix_;
    }
    return blank_prefix_ == text_.size();
  }
  void Clear() {
    text_.clear();
    blank_prefix_ = 0;
  }

 private:
  std::string text_;
  size_t blank_prefix_ = 0;
};

bool IsBlankText(std::string_view text) {
  return std::all_of(text.begin(), text.end(), IsBlank);
}

}  // namespace

EMailAddressList::EMailAddressList(const EMailAddressList& other) {
  *this = other;
}

EMailAddressList& EMailAddressList::operator=(const EMailAddressList& other) {
  if (this == &other) return *this;
  std::vector<std::unique_ptr<EMailAddressItem>> items;
  items.reserve(other.items_.size());
  for (const auto& item : other.items_) {
    items.push_back(std::make_unique<EMailAddressItem>(*item));
  }
  items_ = std::move(items);
  return *this;
}

EMailAddressItem& EMailAddressList::AddItem() {
  items_.push_back(std::make_unique<EMailAddressItem>());
  return *items_.back();
}

void EMailAddressList::Delete(int index) {
  if (index < 0 || index >= Count()) {
    throw std::out_of_range("EMailAddressList::Delete");
  }
  items_.erase(items_.begin() + index);
}

std::string EMailAddressList::AddressesText() const {
  std::string text;
  for (size_t i = 0; i < items_.size(); ++i) {
    if (i > 0) text += ", ";
    text += items_[i]->Text();
  }
  return text;
}

bool EMailAddressList::ParseInto(EMailAddressItem& item,
                                 std::string_view text) {
  if (!lenient_) {
    item.SetText(text);
    return true;
  }
  try {
    item.SetText(text);
    return true;
  } catch (const EmailParseError&) {
    return false;
  }
}

void EMailAddressList::AddItemText(std::string_view text) {
  EMailAddressItem& item = AddItem();
  if (!ParseInto(item, text) && item.Address().empty()) items_.pop_back();
}

void EMailAddressList::AddParsed(std::string_view text) {
  EMailAddressItem& item = AddItem();
  // A failing element stays with what it parsed.
  if (!ParseInto(item, text) && item.Address().empty()) {
    items_.pop_back();
    return;
  }
  std::string printed = item.Text();
  std::string_view trimmed = printed;
  while (!trimmed.empty() && IsBlank(trimmed.back())) trimmed.remove_suffix(1);
  trimmed = TrimLeftView(trimmed);
  if (trimmed.empty() || trimmed == "<>") items_.pop_back();
}

void EMailAddressList::SetAddressesText(std::string_view text) {
  Clear();
  if (IsBlankText(text)) return;
  if (text.find_first_of(":;(\", \t") == std::string_view::npos) {
    AddItemText(TrimLeftView(text));
    return;
  }
  Element current;
  bool in_quote = false;
  int depth = 0;
  std::string_view data = text;
  for (;;) {
    std::string_view set =
        depth > 0 ? "()\\" : (in_quote ? "\"\\" : ":;(\", \t");
    size_t p = data.find_first_of(set);
    if (p == std::string_view::npos) break;
    const std::string_view before = data.substr(0, p);
    size_t used = p + 1;
    switch (data[p]) {
      case '"':
        in_quote = !in_quote;
        current.Text() += data.substr(0, used);
        break;
      case '(':
      case ')':
        depth += data[p] == '(' ? 1 : -1;
        current.Text() += data.substr(0, used);
        break;
      case ',':
        current.Text() += before;
        AddParsed(current.Text());
        current.Clear();
        break;
      case ':':
        current.Clear();  // a group's display name
        break;
      case ';':
        current.Text() += before;
        if (!current.IsBlankText()) {
          AddItemText(TrimLeftView(current.Text()));
          current.Clear();
        }
        break;
      case '\\':
        used = std::min(p + 2, data.size());
        current.Text() += data.substr(0, used);
        break;
      default:  // blank or tab
        current.Text() += data.substr(0, used);
        break;
    }
    data.remove_prefix(used);
  }
  if (current.IsBlankText() && IsBlankText(data)) return;
  current.Text() += data;
  AddParsed(TrimLeftView(current.Text()));
}

void EMailAddressList::ReadAddressesText(std::string_view text) {
  lenient_ = true;
  try {
    SetAddressesText(text);
  } catch (...) {
    lenient_ = false;
    throw;
  }
  lenient_ = false;
}

}  // namespace replyvane::message
