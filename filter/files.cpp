#include "filter/files.h"

#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "filter/errstp.h"

const char* logical_file(const char* logical_name) {
  const char* bound = std::getenv(logical_name);
  return bound ? bound : logical_name;
}

namespace {

bool same_file(const struct stat& a, const std::string& path) {
  struct stat b;
  return stat(path.c_str(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

// The library compares file names as text; it would empty an input reached
// through another path, a link or a symlink.  Identical text is left to the
// library's own refusal.
void check_output_is_new_file() {
  std::string out = logical_file("HKLOUT");
  struct stat st;
  if (stat(out.c_str(), &st) != 0)
    return;
  std::string in = logical_file("HKLIN");
  if (out != in && same_file(st, in))
    ERRSTP("HKLOUT is the same file as HKLIN: " + out);
  if (same_file(st, logical_file("MSKIN")))
    ERRSTP("HKLOUT is the same file as MSKIN: " + out);
}
