// What a print routine writes, caught in a temporary file.
#pragma once
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>

inline std::string printed(const std::function<void(FILE*)>& write) {
  FILE* f = std::tmpfile();
  write(f);
  std::fflush(f);
  std::string text(size_t(std::ftell(f)), '\0');
  std::rewind(f);
  text.resize(std::fread(text.data(), 1, text.size(), f));
  std::fclose(f);
  return text;
}

inline std::string stdout_of(const std::function<void()>& write) {
  return printed([&](FILE* f) {
    std::fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    dup2(fileno(f), STDOUT_FILENO);
    write();
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    std::fseek(f, 0, SEEK_END);
  });
}
