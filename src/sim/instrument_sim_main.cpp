// vexa-instrument-sim: the simulated test set (GPIB address 14) and DC source (address 5) served
// as raw-socket LAN instruments, each on its own TCP port. Every line a client sends (ended by
// LF, a CR before it dropped) is written to the instrument through the simulator library's own
// driver entry points, exactly as a GPIB write; when the line holds a query the answer is read
// back the same way and sent with its LF. The answers, timing (latency, acquisition, time-outs)
// and start-up settings are therefore those the library gives a GPIB program.
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "instrument/gpib_status.h"
#include "sim/gpib_entry_points.h"
#include "sim/scpi.h"

namespace {

// A client whose line grows beyond this many bytes (a CR before the LF included) is dropped.
constexpr std::size_t kMaxLineBytes = 64 * 1024;

constexpr int kTestSetAddress = 14;
constexpr int kDcSourceAddress = 5;

struct Options {
  int testset_port = 5025;
  int dcsource_port = 5026;
  std::string host = "127.0.0.1";
  std::optional<std::string> setup;
};

// One simulated instrument and the socket it listens on.
struct Served {
  const char* name;
  int address;
  int port;
  int listener = -1;
  int ud = -1;
};

void PrintUsage(FILE* to) {
  std::fputs(
      "Usage: vexa-instrument-sim [--testset-port N] [--dcsource-port M] [--host ADDRESS]\n"
      "                           [--setup \"name=value;...\"]\n"
      "Serves the simulated GSM test set and DC source as raw-socket instruments: one command\n"
      "per line (LF), answers ended by LF. Port 0 lets the system choose; the ports in use are\n"
      "printed as \"testset HOST:PORT\" and \"dcsource HOST:PORT\". --setup takes the settings of\n"
      "VEXA_SIM_SETUP. Default ports 5025 and 5026 on 127.0.0.1.\n",
      to);
}

bool ParsePort(const std::string& text, int& port) {
  if (text.empty() || text.size() > 5 ||
      !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return false;
  }
  port = std::atoi(text.c_str());
  return port <= 65535;
}

// Reads the command line; returns an exit code when the program is to stop at once.
std::optional<int> ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    std::string name = argv[i];
    if (name == "--help" || name == "-h") {
      PrintUsage(stdout);
      return 0;
    }
    std::optional<std::string> value;
    if (const std::size_t equals = name.find('='); equals != std::string::npos) {
      value = name.substr(equals + 1);
      name.erase(equals);
    } else if (i + 1 < argc) {
      value = argv[++i];
    }
    bool valid = value.has_value();
    if (!valid) {
    } else if (name == "--testset-port") {
      valid = ParsePort(*value, options.testset_port);
    } else if (name == "--dcsource-port") {
      valid = ParsePort(*value, options.dcsource_port);
    } else if (name == "--host") {
      options.host = *value;
      valid = !value->empty();
    } else if (name == "--setup") {
      options.setup = *value;
    } else {
      valid = false;
    }
    if (!valid) {
      std::fprintf(stderr, "vexa-instrument-sim: invalid option '%s'\n", argv[i]);
      PrintUsage(stderr);
      return 2;
    }
  }
  return std::nullopt;
}

bool SetNonBlocking(int fd) {
  const int flags = fcntl(fd, F_GETFL);
  return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0 &&
         fcntl(fd, F_SETFD, FD_CLOEXEC) == 0;
}

// Opens a listening socket on `host` (a numeric address), `port` (0: the system chooses).
// Returns the descriptor or -1 with the reason in `error`.
int Listen(const std::string& host, int port, std::string& error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICHOST | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const int lookup = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
  if (lookup != 0) {
    error = gai_strerror(lookup);
    return -1;
  }
  const int fd = socket(found->ai_family, found->ai_socktype, found->ai_protocol);
  const int on = 1;
  const bool listening = fd >= 0 && SetNonBlocking(fd) &&
                         setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) == 0 &&
                         bind(fd, found->ai_addr, found->ai_addrlen) == 0 && listen(fd, 4) == 0;
  if (!listening)
    error = std::strerror(errno);
  freeaddrinfo(found);
  if (!listening && fd >= 0)
    close(fd);
  return listening ? fd : -1;
}

// "HOST:PORT" of a listening socket ("[HOST]:PORT" for IPv6).
std::string BoundAddress(int fd) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  char host[NI_MAXHOST] = "?";
  char service[NI_MAXSERV] = "?";
  if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    getnameinfo(reinterpret_cast<sockaddr*>(&address), length, host, sizeof host, service,
                sizeof service, NI_NUMERICHOST | NI_NUMERICSERV);
  }
  const std::string shown_host =
      address.ss_family == AF_INET6 ? "[" + std::string(host) + "]" : std::string(host);
  return shown_host + ":" + service;
}

// True when the message holds a query, so that the instrument answers it: the rule by which
// the simulator's instruments decide whether a message has a response.
bool HasQuery(std::string_view message) {
  const std::vector<vexa::sim::Unit> units = vexa::sim::SplitMessage(message);
  return std::any_of(units.begin(), units.end(),
                     [](const vexa::sim::Unit& unit) { return unit.query; });
}

// One line through the simulated bus: the write, and for a query the read of the answer
// (whole, up to END). nullopt when there is nothing to send back: a command, a failed write,
// or a read that failed (the instrument stayed silent until the time-out).
std::optional<std::string> Exchange(int ud, std::string_view line) {
  if (ibwrt(ud, line.data(), static_cast<long>(line.size())) & vexa::gpib::kErr)
    return std::nullopt;
  if (!HasQuery(line))
    return std::nullopt;
  std::string answer;
  char chunk[4096];
  for (;;) {
    const int status = ibrd(ud, chunk, sizeof chunk);
    const long received = ThreadIbcntl();
    if ((status & vexa::gpib::kErr) || (received <= 0 && !(status & vexa::gpib::kEnd)))
      return std::nullopt;
    answer.append(chunk, static_cast<std::size_t>(std::max(received, 0L)));
    if (status & vexa::gpib::kEnd)
      break;
  }
  if (answer.empty() || answer.back() != '\n')
    answer += '\n';
  return answer;
}

// Waits until `fd` is ready for `events`; false when the program stops meanwhile.
bool WaitFor(int fd, short events, int stop_fd) {
  for (;;) {
    pollfd fds[] = {{stop_fd, POLLIN, 0}, {fd, events, 0}};
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR)
        continue;
      return false;
    }
    if (fds[0].revents)
      return false;
    if (fds[1].revents)
      return true;
  }
}

bool SendAll(int client, std::string_view data, int stop_fd) {
  while (!data.empty()) {
    const ssize_t sent = send(client, data.data(), data.size(), MSG_NOSIGNAL);
    if (sent > 0) {
      data.remove_prefix(static_cast<std::size_t>(sent));
    } else if (sent < 0 && errno == EINTR) {
    } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (!WaitFor(client, POLLOUT, stop_fd))
        return false;
    } else {
      return false;
    }
  }
  return true;
}

// Serves one client until it closes, breaks the line limit or the program stops. A line the
// client did not finish before closing is dropped unsent.
void ServeClient(const Served& served, int client, int stop_fd) {
  std::string pending;
  char buffer[4096];
  for (;;) {
    if (!WaitFor(client, POLLIN, stop_fd))
      return;
    const ssize_t received = recv(client, buffer, sizeof buffer, 0);
    if (received < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK))
      continue;
    if (received <= 0)
      return;
    pending.append(buffer, static_cast<std::size_t>(received));
    std::size_t start = 0;
    for (std::size_t end; (end = pending.find('\n', start)) != std::string::npos; start = end + 1) {
      if (end - start > kMaxLineBytes)
        return;
      std::string_view line(pending.data() + start, end - start);
      if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
      const std::optional<std::string> answer = Exchange(served.ud, line);
      if (answer && !SendAll(client, *answer, stop_fd))
        return;
    }
    pending.erase(0, start);
    if (pending.size() > kMaxLineBytes)
      return;
  }
}

// Accepts one client after the other until the program stops.
void Serve(const Served& served, int stop_fd) {
  while (WaitFor(served.listener, POLLIN, stop_fd)) {
    const int client = accept(served.listener, nullptr, nullptr);
    if (client < 0)
      continue;  // gone before it was accepted, or out of descriptors for now
    if (SetNonBlocking(client))
      ServeClient(served, client, stop_fd);
    close(client);
  }
}

}  // namespace

int main(int argc, char** argv) {
  // SIGINT and SIGTERM are taken by sigwait below; blocked here, before any thread starts,
  // they stay blocked in every thread.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

  Options options;
  if (const std::optional<int> exit_code = ParseOptions(argc, argv, options))
    return *exit_code;
  // The library reads its start-up settings from the environment when it is first used.
  if (options.setup)
    setenv("VEXA_SIM_SETUP", options.setup->c_str(), 1);

  Served instruments[] = {{"testset", kTestSetAddress, options.testset_port},
                          {"dcsource", kDcSourceAddress, options.dcsource_port}};
  for (Served& served : instruments) {
    std::string error;
    served.listener = Listen(options.host, served.port, error);
    if (served.listener < 0) {
      std::fprintf(stderr, "vexa-instrument-sim: cannot listen on %s port %d: %s\n",
                   options.host.c_str(), served.port, error.c_str());
      return 1;
    }
    served.ud = ibdev(0, served.address, 0, vexa::gpib::kTimeout10s, 1, 0);
    if (served.ud < 0) {
      std::fprintf(stderr, "vexa-instrument-sim: cannot open GPIB address %d (iberr %d)\n",
                   served.address, ThreadIberr());
      return 1;
    }
  }
  for (const Served& served : instruments)
    std::printf("%s %s\n", served.name, BoundAddress(served.listener).c_str());
  std::fflush(stdout);

  int stop_pipe[2];
  if (pipe(stop_pipe) != 0) {
    std::perror("vexa-instrument-sim: pipe");
    return 1;
  }
  std::thread servers[] = {std::thread(Serve, std::cref(instruments[0]), stop_pipe[0]),
                           std::thread(Serve, std::cref(instruments[1]), stop_pipe[0])};
  int signal_number = 0;
  while (sigwait(&stop_signals, &signal_number) != 0) {
  }
  // The pipe turns readable for every poll; releasing the descriptors ends a write or read
  // still waiting in the simulator (latency, acquisition, time-out).
  const char stop = 1;
  while (write(stop_pipe[1], &stop, 1) < 0 && errno == EINTR) {
  }
  for (const Served& served : instruments)
    ibonl(served.ud, 0);
  for (std::thread& server : servers)
    server.join();
  for (const Served& served : instruments)
    close(served.listener);
  close(stop_pipe[0]);
  close(stop_pipe[1]);
  return 0;
}
