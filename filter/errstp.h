#pragma once
#include <string_view>

// The one file index: map unit of MSKIN, MTZ index of HKLIN and HKLOUT.
constexpr int IFILE = 1;

// Ends the run with " ERROR: " and the message, exit status 1.
[[noreturn]] void ERRSTP(std::string_view message);
