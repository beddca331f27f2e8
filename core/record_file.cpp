#include "core/record_file.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/text.h"

namespace replyvane::core {

namespace {

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(size_t(n));
  }
  return true;
}

void SyncFolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "."
                             : slash == 0               ? "/"
                                                        : path.substr(0, slash);
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

std::string WriteFailure(const std::string& path) {
  return "Cannot write " + path + ": " + ::strerror(errno);
}

}  // namespace

std::string RecordField(std::string_view text) {
  std::string field = core::BlankLineBreaks(text);
  for (char& c : field) {
    if (c == '\t') c = ' ';
  }
  return field;
}

std::vector<std::string_view> SplitRecordFields(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  for (;;) {
    const size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab - start));
    if (tab == std::string_view::npos) break;
    start = tab + 1;
  }
  return fields;
}

std::string AppendRecords(const std::string& path, std::string_view data,
                          bool to_disk) {
  const bool existed = ::access(path.c_str(), F_OK) == 0;
  const int fd =
      ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return WriteFailure(path);
  const bool ok = WriteAll(fd, data) && (!to_disk || ::fsync(fd) == 0);
  const std::string failure = ok ? "" : WriteFailure(path);
  ::close(fd);
  if (ok && to_disk && !existed) SyncFolderOf(path);
  return failure;
}

bool ReadRecordFile(const std::string& path, std::string& text) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat status;
  if (::fstat(fd, &status) == 0 && status.st_size > 0) {
    text.reserve(size_t(status.st_size));
  }
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof(buffer));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int error = errno;
      ::close(fd);
      errno = error;
      return false;
    }
    if (n == 0) break;
    text.append(buffer, size_t(n));
  }
  ::close(fd);
  return true;
}

}  // namespace replyvane::core
