// vexa-instrument-sim: the simulated test set (GPIB address 14) and DC source (address 5) served
// as raw-socket LAN instruments, each on its own TCP port. Every line a client sends (ended by
// LF, a CR before it dropped) is written to the instrument through the simulator library's own
// driver entry points, exactly as a GPIB write; when the line holds a query the answer is read
// back the same way and sent with its LF. The answers, timing (latency, acquisition, time-outs)
// and start-up settings are therefore those the library gives a GPIB program.
//
// Every client is served at once, up to --max-clients per instrument: one thread per instrument
// waits on all its clients and runs their lines one at a time (a write and the read of its
// answer together) in the order they arrive, so that no client reads an answer to another's
// query and a client that sent a command and left has it run before the next client asks.
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
#include <list>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "instrument/bus/bus_status.h"
#include "sim/gpib_entry_points.h"
#include "sim/scpi.h"

namespace {

// A client whose line grows beyond this many bytes (a CR before the LF included) is dropped:
// the longest message an instrument takes.
constexpr std::size_t kMaxLineBytes = vexa::sim::kMaxMessageBytes;
constexpr int kDefaultMaxClients = 64;
constexpr int kMaxMaxClients = 1000;

constexpr int kTestSetAddress = 14;
constexpr int kDcSourceAddress = 5;

struct Options {
  int testset_port = 5025;
  int dcsource_port = 5026;
  std::string host = "127.0.0.1";
  std::optional<std::string> setup;
  int max_clients = kDefaultMaxClients;
};

// One simulated instrument and the socket it listens on.
struct Served {
  const char* name;
  int address;
  int port;
  int max_clients = kDefaultMaxClients;
  int listener = -1;
  int ud = -1;
};

void PrintUsage(FILE* to) {
  std::fputs(
      "Usage: vexa-instrument-sim [--testset-port N] [--dcsource-port M] [--host ADDRESS]\n"
      "                           [--setup \"name=value;...\"] [--max-clients K]\n"
      "Serves the simulated GSM test set and DC source as raw-socket instruments: one command\n"
      "per line (LF), answers ended by LF. Port 0 lets the system choose; the ports in use are\n"
      "printed as \"testset HOST:PORT\" and \"dcsource HOST:PORT\". --setup takes the settings of\n"
      "VEXA_SIM_SETUP. Default ports 5025 and 5026 on 127.0.0.1. Each instrument serves up to\n"
      "K clients at once (default 64, at most 1000); a client beyond them is sent one line\n"
      "saying so and closed.\n",
      to);
}

// A decimal number from 0 to `max` (at most 65535), digits only.
bool ParseUnsigned(const std::string& text, int max, int& value) {
  if (text.empty() || text.size() > 5 ||
      !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return false;
  }
  value = std::atoi(text.c_str());
  return value <= max;
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
      valid = ParseUnsigned(*value, 65535, options.testset_port);
    } else if (name == "--dcsource-port") {
      valid = ParseUnsigned(*value, 65535, options.dcsource_port);
    } else if (name == "--host") {
      options.host = *value;
      valid = !value->empty();
    } else if (name == "--setup") {
      options.setup = *value;
    } else if (name == "--max-clients") {
      valid =
          ParseUnsigned(*value, kMaxMaxClients, options.max_clients) && options.max_clients >= 1;
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
                         bind(fd, found->ai_addr, found->ai_addrlen) == 0 &&
                         listen(fd, SOMAXCONN) == 0;
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

// One line through the simulated bus: the write, and for a query the read of the answer
// (whole, up to END). nullopt when there is nothing to send back: a command, a failed write,
// or a read that failed (the instrument stayed silent until the time-out).
std::optional<std::string> Exchange(int ud, std::string_view line) {
  if (ibwrt(ud, line.data(), static_cast<long>(line.size())) & vexa::bus::kErr)
    return std::nullopt;
  // The rule by which the simulator's instruments decide whether a message has a response.
  if (!vexa::sim::HasQuery(line))
    return std::nullopt;
  std::string answer;
  char chunk[4096];
  for (;;) {
    const int status = ibrd(ud, chunk, sizeof chunk);
    const long received = ThreadIbcntl();
    if ((status & vexa::bus::kErr) || (received <= 0 && !(status & vexa::bus::kEnd)))
      return std::nullopt;
    answer.append(chunk, static_cast<std::size_t>(std::max(received, 0L)));
    if (status & vexa::bus::kEnd)
      break;
  }
  if (answer.empty() || answer.back() != '\n')
    answer += '\n';
  return answer;
}

// One connected client: the bytes received and not yet taken as lines, and the answers not
// yet sent.
struct Client {
  int fd = -1;
  std::string received;
  std::size_t scanned = 0;  // bytes of `received` known to hold no LF
  std::string unsent;
  bool finished = false;  // the client sent its end (or broke the line limit)
};

// Answers not yet sent beyond this many bytes stop the reading of that client's lines until it
// reads them.
constexpr std::size_t kMaxUnsentBytes = 1024 * 1024;

// Takes in what `client` has sent, without waiting; notes its end.
void ReadInput(Client& client) {
  char buffer[4096];
  for (int chunk = 0; chunk < 16 && !client.finished; ++chunk) {
    const ssize_t received = recv(client.fd, buffer, sizeof buffer, 0);
    if (received < 0 && errno == EINTR)
      continue;
    if (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
      return;
    if (received <= 0) {
      client.finished = true;
      return;
    }
    client.received.append(buffer, static_cast<std::size_t>(received));
  }
}

// Runs the client's whole lines on the instrument, in order, while its unsent answers stay
// within bounds. A line over the limit ends the client (the lines after it are not run); a
// line it did not finish before its end is dropped.
void RunLines(const Served& served, Client& client) {
  std::size_t start = 0;
  std::size_t end = 0;
  while (client.unsent.size() <= kMaxUnsentBytes &&
         (end = client.received.find('\n', std::max(start, client.scanned))) != std::string::npos) {
    if (end - start > kMaxLineBytes) {
      client.finished = true;
      client.received.clear();
      client.scanned = 0;
      return;
    }
    std::string_view line(client.received.data() + start, end - start);
    if (!line.empty() && line.back() == '\r')
      line.remove_suffix(1);
    if (const std::optional<std::string> answer = Exchange(served.ud, line))
      client.unsent += *answer;
    start = end + 1;
  }
  client.received.erase(0, start);
  // With no LF left (the usual case) the next search starts at the bytes still to come.
  client.scanned = end == std::string::npos ? client.received.size() : 0;
  if (client.scanned > kMaxLineBytes) {
    client.finished = true;  // a line over the limit, not even ended
    client.received.clear();
    client.scanned = 0;
  }
}

// Sends what it can of the client's answers without waiting; false when the connection broke.
bool Send(Client& client) {
  while (!client.unsent.empty()) {
    const ssize_t sent = send(client.fd, client.unsent.data(), client.unsent.size(), MSG_NOSIGNAL);
    if (sent > 0) {
      client.unsent.erase(0, static_cast<std::size_t>(sent));
    } else if (sent < 0 && errno == EINTR) {
    } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      return true;
    } else {
      return false;
    }
  }
  return true;
}

// Tells a client beyond the limit why it is closed, and closes it.
void Refuse(const Served& served, int client) {
  const std::string reason = "vexa-instrument-sim: the " + std::string(served.name) +
                             " serves at most " + std::to_string(served.max_clients) +
                             " clients at once; connection closed\n";
  std::fprintf(stderr, "vexa-instrument-sim: %s refused a client, %d already connected\n",
               served.name, served.max_clients);
  send(client, reason.data(), reason.size(), MSG_NOSIGNAL);
  shutdown(client, SHUT_WR);
  // What the client sent already is read, so that closing does not reset the connection
  // before the client has read the reason.
  char discard[4096];
  for (int i = 0; i < 16 && recv(client, discard, sizeof discard, 0) > 0; ++i) {
  }
  close(client);
}

// Serves the instrument's clients until the program stops, all of them at once and their
// lines one at a time, in the order they arrive: whole lines already received from the clients
// connected are run before new clients are taken, so a client that sent a command and left
// has it run before the next client's lines.
void Serve(const Served& served, int stop_fd) {
  std::list<Client> clients;  // in the order they connected
  std::vector<pollfd> fds;
  for (;;) {
    fds.assign({{stop_fd, POLLIN, 0}, {served.listener, POLLIN, 0}});
    for (const Client& client : clients) {
      const short wanted = static_cast<short>(
          (client.finished || client.unsent.size() > kMaxUnsentBytes ? 0 : POLLIN) |
          (client.unsent.empty() ? 0 : POLLOUT));
      fds.push_back({client.fd, wanted, 0});
    }
    if (poll(fds.data(), fds.size(), -1) < 0) {
      if (errno == EINTR)
        continue;
      break;
    }
    if (fds[0].revents)
      break;
    std::size_t index = 2;
    for (auto it = clients.begin(); it != clients.end(); ++index) {
      Client& client = *it;
      const short events = fds[index].revents;
      bool keep = true;
      if (events & (POLLIN | POLLHUP | POLLERR))
        ReadInput(client);
      RunLines(served, client);
      if (!client.unsent.empty())
        keep = Send(client);
      // Closed once it has sent its end and has all its answers.
      if (!keep || (events & POLLERR) || (client.finished && client.unsent.empty())) {
        close(client.fd);
        it = clients.erase(it);
      } else {
        ++it;
      }
    }
    if (fds[1].revents & POLLIN) {
      for (;;) {
        const int fd = accept(served.listener, nullptr, nullptr);
        if (fd < 0)
          break;  // none waiting (or gone, or out of descriptors for now)
        if (!SetNonBlocking(fd)) {
          close(fd);
        } else if (std::ssize(clients) >= served.max_clients) {
          Refuse(served, fd);
        } else {
          clients.emplace_back().fd = fd;
        }
      }
    }
  }
  for (const Client& client : clients)
    close(client.fd);
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

  Served instruments[] = {
      {"testset", kTestSetAddress, options.testset_port, options.max_clients},
      {"dcsource", kDcSourceAddress, options.dcsource_port, options.max_clients}};
  for (Served& served : instruments) {
    std::string error;
    served.listener = Listen(options.host, served.port, error);
    if (served.listener < 0) {
      std::fprintf(stderr, "vexa-instrument-sim: cannot listen on %s port %d: %s\n",
                   options.host.c_str(), served.port, error.c_str());
      return 1;
    }
    served.ud = ibdev(0, served.address, 0, vexa::bus::kTimeout10s, 1, 0);
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
