#include "app/display_check.h"

#include <X11/Xlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace tavrin {
namespace {

// Whether a Wayland compositor listens at `name` (a socket path, or a name in XDG_RUNTIME_DIR).
bool WaylandAnswers(const std::string& name) {
  std::string path = name;
  if (path[0] != '/') {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime == nullptr || *runtime == '\0') return false;
    path = std::string(runtime) + "/" + name;
  }
  sockaddr_un address{};
  if (path.size() >= sizeof(address.sun_path)) return false;
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const bool answers = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
  close(fd);
  return answers;
}

}  // namespace

std::string DisplayProblem() {
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  const char* x = std::getenv("DISPLAY");
  const bool haveWayland = wayland != nullptr && *wayland != '\0';
  const bool haveX = x != nullptr && *x != '\0';
  if (!haveWayland && !haveX) return "DISPLAY is not set";
  if (haveWayland && WaylandAnswers(wayland)) return {};
  if (haveX) {
    if (Display* display = XOpenDisplay(x)) {
      XCloseDisplay(display);
      return {};
    }
    return std::string("no X server answers at DISPLAY=") + x;
  }
  return std::string("no compositor answers at WAYLAND_DISPLAY=") + wayland;
}

}  // namespace tavrin
