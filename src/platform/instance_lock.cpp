#include "platform/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace {
int lock_descriptor = -1;
}

std::string Instance_Lock_Path() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::string folder = runtime && runtime[0] == '/' ? runtime : "/tmp";
  return folder + "/osterlin.lock";
}

bool Instance_Lock_Acquire() {
  if (lock_descriptor >= 0) return true;
  std::string path = Instance_Lock_Path();
  int descriptor = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (descriptor < 0) return true;
  if (flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
    bool held_elsewhere = errno == EWOULDBLOCK;
    close(descriptor);
    return !held_elsewhere;
  }
  lock_descriptor = descriptor;
  return true;
}

void Instance_Lock_Release() {
  if (lock_descriptor < 0) return;
  flock(lock_descriptor, LOCK_UN);
  close(lock_descriptor);
  lock_descriptor = -1;
}
