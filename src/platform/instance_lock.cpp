#include "platform/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "platform/platform_state.h"

namespace {
struct Instance_Lock_State {
  int lock_descriptor = -1;
};

Instance_Lock_State state;
}

std::string Instance_Lock_Path() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::string folder = runtime && runtime[0] == '/' ? runtime : "/tmp";
  return folder + "/osterlin.lock";
}

bool Instance_Lock_Acquire() {
  if (state.lock_descriptor >= 0) return true;
  std::string path = Instance_Lock_Path();
  int descriptor = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (descriptor < 0) return true;
  if (flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
    bool held_elsewhere = errno == EWOULDBLOCK;
    close(descriptor);
    return !held_elsewhere;
  }
  state.lock_descriptor = descriptor;
  return true;
}

void Instance_Lock_Release() {
  if (state.lock_descriptor < 0) return;
  flock(state.lock_descriptor, LOCK_UN);
  close(state.lock_descriptor);
  state.lock_descriptor = -1;
}

void platform_state::Reset_Instance_Lock() { Instance_Lock_Release(); }
