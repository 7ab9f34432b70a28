#include "filter/startup.h"

#include "binding/ccp4lib.h"

namespace {
int saved_argc = 0;
char** saved_argv = nullptr;
}  // namespace

void keep_command_line(int argc, char** argv) {
  saved_argc = argc;
  saved_argv = argv;
}

// The same steps as the library's Fortran start-up, fed the real argv, so
// that no argument is cut at 500 characters.
void CCPFYP() {
  ccp4_utils_outbuf();
  ccp4_utils_noinpbuf();
  if (ccp4fyp(saved_argc, saved_argv) != 0)
    ccperror(1, ccp4_strerror(ccp4_errno));
  ccp4h_init_();
}
