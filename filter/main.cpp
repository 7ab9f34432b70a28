#include "filter/contain.h"
#include "filter/korven.h"
#include "filter/startup.h"

int main(int argc, char** argv) {
  keep_command_line(argc, argv);
  return run_contained(KORVEN);
}
