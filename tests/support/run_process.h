// Runs a command line through the shell and collects its exit code, stdout and stderr; or
// keeps it running as a ChildProcess, to act on what it prints while it runs.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <array>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

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

// "exit N" or "signal N" for a wait status, for readable assertions.
inline std::string DescribeStatus(int status) {
  if (WIFEXITED(status))
    return "exit " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status))
    return "signal " + std::to_string(WTERMSIG(status));
  return "status " + std::to_string(status);
}

// A command line run by /bin/sh as a child process, its stdout and stderr each on a pipe that
// a thread reads as it comes; start the program with `exec` so that signals reach it, not the
// shell. The test waits for text to appear, sends signals and collects the wait status; every
// wait is for an event (the text, the end of the output), never for a time.
class ChildProcess {
 public:
  struct Options {
    // Standard output is closed after this many lines were read, as `| head -N` does; 0
    // closes it before the program starts; -1 reads it to the end. While it is open, its pipe
    // holds at most a page (4 KiB), so a program writing more than that is still writing
    // when the test closes it.
    int close_output_after_lines = -1;
    // Standard error goes into standard output's pipe (2>&1): one stream, in order.
    bool merge_error = false;
  };

  explicit ChildProcess(const std::string& command_line) : ChildProcess(command_line, Options{}) {}
  ChildProcess(const std::string& command_line, Options options) {
    int out[2] = {-1, -1};
    int err[2] = {-1, -1};
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
      streams_[0].ended = streams_[1].ended = true;
      return;
    }
    if (options.close_output_after_lines == 0) {
      close(out[0]);
      out[0] = -1;
    } else if (options.close_output_after_lines > 0) {
      fcntl(out[0], F_SETPIPE_SZ, 4096);
    }
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], STDOUT_FILENO);
      dup2(options.merge_error ? out[1] : err[1], STDERR_FILENO);
      execl("/bin/sh", "sh", "-c", command_line.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(out[1]);
    close(err[1]);
    if (out[0] >= 0) {
      readers_[0] = std::thread(&ChildProcess::Read, this, out[0], &streams_[0],
                                options.close_output_after_lines);
    } else {
      streams_[0].ended = true;
    }
    readers_[1] = std::thread(&ChildProcess::Read, this, err[0], &streams_[1], -1);
  }
  ~ChildProcess() {
    if (pid_ > 0 && !waited_) {
      kill(pid_, SIGKILL);
      Wait();
    }
    for (std::thread& reader : readers_) {
      if (reader.joinable())
        reader.join();
    }
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // True once standard output (standard error) holds `text`; false when it ended without.
  bool WaitForOutput(const std::string& text) { return WaitFor(streams_[0], text); }
  bool WaitForError(const std::string& text) { return WaitFor(streams_[1], text); }

  void Signal(int signal_number) {
    if (pid_ > 0)
      kill(pid_, signal_number);
  }

  // Waits for the program to end and both pipes to close; returns the wait status.
  int Wait() {
    if (!waited_ && pid_ > 0) {
      waitpid(pid_, &status_, 0);
      waited_ = true;
      for (std::thread& reader : readers_) {
        if (reader.joinable())
          reader.join();
      }
    }
    return status_;
  }

  // What standard output (what the test read of it) and standard error held so far.
  std::string out() { return Text(streams_[0]); }
  std::string err() { return Text(streams_[1]); }

 private:
  struct Stream {
    std::string text;
    bool ended = false;
  };

  void Read(int descriptor, Stream* stream, int close_after_lines) {
    // Small reads when the pipe is to close after some lines: the test takes little more
    // than those lines out of it.
    std::array<char, 4096> buffer{};
    const std::size_t chunk = close_after_lines > 0 ? 256 : buffer.size();
    int lines = 0;
    for (;;) {
      const ssize_t n = read(descriptor, buffer.data(), chunk);
      if (n < 0 && errno == EINTR)
        continue;
      if (n <= 0)
        break;
      const std::lock_guard lock(mutex_);
      stream->text.append(buffer.data(), static_cast<std::size_t>(n));
      changed_.notify_all();
      for (ssize_t i = 0; i < n; ++i)
        lines += buffer[static_cast<std::size_t>(i)] == '\n' ? 1 : 0;
      if (close_after_lines > 0 && lines >= close_after_lines)
        break;
    }
    close(descriptor);
    const std::lock_guard lock(mutex_);
    stream->ended = true;
    changed_.notify_all();
  }

  bool WaitFor(Stream& stream, const std::string& text) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock,
                  [&] { return stream.text.find(text) != std::string::npos || stream.ended; });
    return stream.text.find(text) != std::string::npos;
  }

  std::string Text(Stream& stream) {
    const std::lock_guard lock(mutex_);
    return stream.text;
  }

  pid_t pid_ = -1;
  bool waited_ = false;
  int status_ = -1;
  std::mutex mutex_;
  std::condition_variable changed_;
  Stream streams_[2];  // standard output, standard error
  std::thread readers_[2];
};

}  // namespace vexa::testing
