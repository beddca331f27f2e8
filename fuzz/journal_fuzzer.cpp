// Feeds arbitrary bytes to the answered-message journal as the file it
// reads at every check: whatever the damage, the reading keeps what parses,
// and the file it writes back reads again whole, with the same records and
// no report.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/exception.h"
#include "core/private_file.h"
#include "responder/journal.h"

namespace {

const std::string& Folder() {
  static const std::string folder = [] {
    std::string path = "/tmp/replyvane-journal-fuzz-XXXXXX";
    if (::mkdtemp(path.data()) == nullptr) std::abort();
    return path;
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using replyvane::responder::AnsweredJournal;
  const std::string path = Folder() + "/answered.dat";
  // Earlier runs' copies of damaged files would pile up.
  for (int n = 1; n < 4; ++n) {
    const std::string bad =
        path + ".bad" + (n == 1 ? "" : "." + std::to_string(n));
    ::unlink(bad.c_str());
  }
  replyvane::core::WritePrivateFile(
      path, std::string_view(reinterpret_cast<const char*>(data), size));
  AnsweredJournal journal(path);
  journal.Load();
  AnsweredJournal again(path);
  if (!again.Load().empty()) std::abort();
  if (again.Size() != journal.Size()) std::abort();
  return 0;
}
