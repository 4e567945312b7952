// vexa-instrument-sim as a child process on ports the system chooses, for the tests of the
// simulator server and of the LAN transport. Needs VEXA_INSTRUMENT_SIM_PATH defined.
#pragma once

#include <gmock/gmock.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace vexa::testing {

// vexa-instrument-sim started on ports the system chooses.
class ServerProcess {
 public:
  explicit ServerProcess(std::vector<std::string> extra = {},
                         const char* program_path = VEXA_INSTRUMENT_SIM_PATH) {
    std::vector<std::string> arguments = {program_path, "--testset-port", "0", "--dcsource-port",
                                          "0"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    int out[2];
    if (pipe(out) != 0)
      return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], STDOUT_FILENO);
      close(out[0]);
      close(out[1]);
      std::vector<char*> argv;
      for (std::string& argument : arguments)
        argv.push_back(argument.data());
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(out[1]);
    stdout_ = fdopen(out[0], "r");
    char line[256];
    const char* const names[] = {"testset", "dcsource"};
    for (int i = 0; i < 2; ++i) {
      if (!stdout_ || !std::fgets(line, sizeof line, stdout_)) {
        ADD_FAILURE() << "no '" << names[i] << "' line";
        return;
      }
      const std::string prefix = std::string(names[i]) + " 127.0.0.1:";
      EXPECT_THAT(line, ::testing::MatchesRegex(prefix + "[0-9]+\n"));
      if (std::string(line).rfind(prefix, 0) == 0)
        ports_[i] = std::atoi(line + prefix.size());
      EXPECT_GT(ports_[i], 0);
    }
  }
  ~ServerProcess() {
    if (pid_ > 0 && !stopped_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (stdout_)
      std::fclose(stdout_);
  }
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  // The port of the test set (GPIB address 14) or the DC source (address 5).
  int port(int address) const { return ports_[address == 14 ? 0 : 1]; }

  // Sends `signal_number` and returns the wait status of the process.
  int Stop(int signal_number) {
    kill(pid_, signal_number);
    int status = 0;
    waitpid(pid_, &status, 0);
    stopped_ = true;
    return status;
  }

 private:
  pid_t pid_ = -1;
  bool stopped_ = false;
  FILE* stdout_ = nullptr;
  int ports_[2] = {0, 0};  // test set, DC source
};

}  // namespace vexa::testing
