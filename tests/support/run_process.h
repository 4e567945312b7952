// Runs a command line through the shell and collects its exit code, stdout and stderr.
#pragma once

#include <sys/wait.h>
#include <unistd.h>
#include <array>
#include <cstdio>
#include <string>

namespace vexa::testing {

struct ProcessResult {
  int exit_code = -1;
  std::string out;
  std::string err;
};

inline std::string ReadWhole(FILE* file) {
  std::string text;
  std::array<char, 4096> buffer{};
  std::size_t n = 0;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), file)) > 0)
    text.append(buffer.data(), n);
  return text;
}

inline ProcessResult RunProcess(const std::string& command_line) {
  char err_path[] = "/tmp/vexa_test_stderr_XXXXXX";
  const int err_fd = mkstemp(err_path);
  ProcessResult result;
  if (err_fd < 0)
    return result;
  close(err_fd);
  const std::string command = command_line + " 2>'" + err_path + "'";
  if (FILE* pipe = popen(command.c_str(), "r")) {
    result.out = ReadWhole(pipe);
    const int status = pclose(pipe);
    result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  if (FILE* err = std::fopen(err_path, "r")) {
    result.err = ReadWhole(err);
    std::fclose(err);
  }
  unlink(err_path);
  return result;
}

}  // namespace vexa::testing
