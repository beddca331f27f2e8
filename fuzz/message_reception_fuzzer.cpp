// Feeds arbitrary bytes as a server's message to ReadHeader and ReadBody.
// The connection is faked below the line reader: the input buffer is filled
// from memory, so the real line limit, dot handling and part decoders run.
// The input running out and the reception limits are expected results; any
// other failure (reading is lenient about content), a crash, a sanitizer
// report or an attachment file left open is a finding.
//
//   CXX=clang++ cmake -S . -B build/fuzz -DREPLYVANE_BUILD_FUZZ=ON
//         -DREPLYVANE_BUILD_APP=OFF   (one line)
//   cmake --build build/fuzz -j2 --target message_reception_fuzzer
//   build/fuzz/fuzz/message_reception_fuzzer -max_total_time=30
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/exception.h"
#include "fuzz/attachment_files.h"
#include "fuzz/memory_message_client.h"
#include "mail/message_client.h"
#include "mail/temp_file.h"
#include "message/message.h"
#include "net/exceptions.h"

namespace {

using replyvane::fuzz::MemoryMessageClient;

std::string temp_dir;
int free_fd = -1;

// The lowest free descriptor number.
int LowestFreeFd() {
  int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  ::close(fd);
  return fd;
}

// True when a descriptor of this process is open on an attachment file.
bool AttachmentFileOpen() {
  bool open = false;
  if (DIR* dir = ::opendir("/proc/self/fd")) {
    while (dirent* entry = ::readdir(dir)) {
      char target[4096];
      std::string link = std::string("/proc/self/fd/") + entry->d_name;
      ssize_t n = ::readlink(link.c_str(), target, sizeof(target));
      if (n > 0 && std::string_view(target, size_t(n)).find("/Vorn") !=
                       std::string_view::npos) {
        open = true;
      }
    }
    ::closedir(dir);
  }
  return open;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  temp_dir = replyvane::fuzz::UsePrivateTempFolder("message_reception_fuzzer");
  free_fd = LowestFreeFd();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  if (size < 1) return 0;
  // The first byte picks the reading mode and the receive chunk size.
  uint8_t mode = bytes[0];
  std::string_view data(reinterpret_cast<const char*>(bytes) + 1, size - 1);
  MemoryMessageClient client(data, 1 + (mode >> 3) * 37);
  client.SetMaxLineLength(mode & 4 ? 16384 : 256);
  replyvane::message::Message msg;
  msg.SetNoDecode(mode & 1);
  try {
    if (client.ReadHeader(msg, mode & 2 ? "." : "").empty()) {
      client.ReadBody(msg, ".");
    }
  } catch (const replyvane::net::ConnClosedGracefully&) {
    // The input ended inside the message: the peer went away.
  } catch (const replyvane::net::ReceptionLimitExceeded&) {
    // An endless header, reply or text: the limits end it.
  } catch (const replyvane::core::Exception& failure) {
    // Anything about the message's own content is read leniently: a content
    // failure that escapes would stop a check.
    ::fprintf(stderr, "content failure escaped: %s\n", failure.what());
    ::abort();
  }
  // The descriptor table is looked at closely only when it changed, since
  // the fuzzer itself opens files now and then.
  if (int fd = LowestFreeFd(); fd != free_fd) {
    if (AttachmentFileOpen()) ::abort();
    free_fd = fd;
  }
  replyvane::fuzz::RemoveAttachmentFiles(temp_dir);
  return 0;
}
