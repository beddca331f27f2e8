// The reply of a command/reply dialogue: its code as a number and as it
// appeared on the first line ("250", "+OK", "-ERR"), and the text of every
// reply line without its code part. The two code fields are coupled.
#ifndef REPLYVANE_NET_RFC_REPLY_H_
#define REPLYVANE_NET_RFC_REPLY_H_

#include <cstdint>
#include <string>
#include <vector>

namespace replyvane::net {

class RFCReply {
 public:
  RFCReply() = default;

  // The reply's code; 0 when none.
  int32_t NumericCode() const { return numeric_code_; }
  // A value above 0 also sets TextCode to its decimal text.
  void SetNumericCode(int32_t value);
  const std::string& TextCode() const { return text_code_; }
  // A non-empty text also sets NumericCode to its whole-text integer value,
  // or 0 when it does not convert ("+OK" gives 0).
  void SetTextCode(const std::string& value);
  const std::vector<std::string>& Text() const { return text_; }
  void SetText(const std::vector<std::string>& value) { text_ = value; }

  void Clear();
  // Fills the record from raw reply lines: the code from the first four
  // characters of the first line ("250-" counts as "250"), and from every
  // line the text from its fifth character on. No lines: cleared.
  void ParseReplyLines(const std::vector<std::string>& lines);

 private:
  int32_t numeric_code_ = 0;
  std::vector<std::string> text_;
  std::string text_code_;
};

}  // namespace replyvane::net

#endif  // REPLYVANE_NET_RFC_REPLY_H_
