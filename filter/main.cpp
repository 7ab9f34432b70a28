#include "filter/korven.h"
#include "filter/startup.h"

int main(int argc, char** argv) {
  keep_command_line(argc, argv);
  KORVEN();
  return 0;
}
