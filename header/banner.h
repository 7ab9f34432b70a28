#pragma once
#include <cstdint>
#include <string_view>

// The version block.
struct Ivers {
  int32_t IVTYPE;  // 1 test, 2 alpha, 3 beta, 4 release
  int32_t IVMAJ;
  int32_t IVMIN;
  int32_t IVPAT;
  int32_t IVRC;  // release candidate when 1 or more and IVTYPE is 3 or 4
};

// Prints the title block and the version line on stdout for mode 1 or 2;
// any other mode prints nothing.
void PRTVER(int32_t mode);

// Prints the version line on stdout and ends it.
void print_version_line(const Ivers& v, std::string_view platform, std::string_view date,
                        std::string_view time);
