#include "header/options.h"

#include "binding/ccp4lib.h"

int32_t VERBLV(int32_t level) { return ccp4VerbosityLevel(level); }

// Only the markup initialiser's first call in a process counts; the later
// (0, 0) calls of the start-up and the MTZ initialisation change nothing.
void SILENT() {
  VERBLV(0);
  const int off = -1;
  ccp4h_init_lib_(&off, &off);
}
