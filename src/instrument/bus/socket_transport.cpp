#include "instrument/bus/socket_transport.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "core/text_format.h"

namespace vexa {
namespace {

SharedStatus g_status;

bus::Status Publish(const bus::Status& status) {
  return g_status.Publish(status);
}

bus::Status Failure(int code, long count = 0) {
  int ibsta = bus::kErr;
  if (code == ETIMEDOUT)
    ibsta |= bus::kTimo;
  return bus::Status{ibsta, code, count};
}

bus::Status Done(long count, bool end = false) {
  return bus::Status{bus::kCmpl | (end ? bus::kEnd : 0), 0, count};
}

using Clock = std::chrono::steady_clock;

Clock::time_point Deadline(std::chrono::milliseconds timeout) {
  return Clock::now() + timeout;
}

// Whole seconds of `timeout`, rounded up, for the notes.
int Seconds(std::chrono::milliseconds timeout) {
  return static_cast<int>((timeout.count() + 999) / 1000);
}

// Waits for `events` on `fd` until `deadline`: 0 when ready, else the error code (ETIMEDOUT
// when the time ran out).
int WaitFor(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0)
      return ETIMEDOUT;
    pollfd watched{fd, events, 0};
    const int ready = poll(&watched, 1, static_cast<int>(std::min<long long>(left, 60000)));
    if (ready > 0)
      return 0;
    if (ready < 0 && errno != EINTR)
      return errno;
  }
}

}  // namespace

// One open connection: its socket and the bytes received beyond the last answer handed out.
struct SocketTransport::Link {
  explicit Link(int socket) : fd(socket) {}
  ~Link() { close(fd); }
  Link(const Link&) = delete;
  Link& operator=(const Link&) = delete;

  // Drops whatever arrived unasked (an answer nobody read): a new message makes an IEEE 488.2
  // instrument discard its unread output too. Returns 0, or ECONNRESET when the instrument
  // has closed the connection.
  int DiscardPending() {
    pending.clear();
    char chunk[4096];
    for (;;) {
      const ssize_t received = recv(fd, chunk, sizeof chunk, MSG_DONTWAIT);
      if (received > 0)
        continue;
      if (received == 0)
        return ECONNRESET;
      if (errno == EINTR)
        continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK)
        return 0;
      return errno;
    }
  }

  const int fd;         // kept by a reconnect (dup3)
  std::mutex io;        // one call at a time on this connection
  std::string pending;  // guarded by io
};

SocketTransport::SocketTransport(const InstrumentAddress& address,
                                 std::chrono::milliseconds timeout)
    : Transport(address.resource), host_(address.host), port_(address.port), timeout_(timeout) {}

SocketTransport::~SocketTransport() = default;

std::shared_ptr<SocketTransport::Link> SocketTransport::Find(int ud) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = links_.find(ud);
  return found == links_.end() ? nullptr : found->second;
}

int SocketTransport::Connect(int& error) const {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const int lookup = getaddrinfo(host_.c_str(), std::to_string(port_).c_str(), &hints, &found);
  if (lookup != 0) {
    error = lookup == EAI_SYSTEM ? errno : lookup;
    return -1;
  }
  const Clock::time_point deadline = Deadline(timeout_);
  error = ECONNREFUSED;
  int fd = -1;
  for (addrinfo* candidate = found; candidate && fd < 0; candidate = candidate->ai_next) {
    const int attempt =
        socket(candidate->ai_family, candidate->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
               candidate->ai_protocol);
    if (attempt < 0) {
      error = errno;
      continue;
    }
    int result = connect(attempt, candidate->ai_addr, candidate->ai_addrlen) == 0 ? 0 : errno;
    if (result == EINPROGRESS) {
      result = WaitFor(attempt, POLLOUT, deadline);
      if (result == 0) {
        socklen_t length = sizeof result;
        if (getsockopt(attempt, SOL_SOCKET, SO_ERROR, &result, &length) != 0)
          result = errno;
      }
    }
    if (result == 0) {
      fd = attempt;
    } else {
      error = result;
      close(attempt);
    }
  }
  freeaddrinfo(found);
  if (fd >= 0) {
    // Commands and answers are short: send each at once.
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  }
  return fd;
}

int SocketTransport::Reconnect(Link& link) const {
  int error = 0;
  const int fd = Connect(error);
  if (fd < 0)
    return error;
  // The new connection takes the old one's descriptor number, which is the session's
  // descriptor.
  const int result = dup3(fd, link.fd, O_CLOEXEC) < 0 ? errno : 0;
  close(fd);
  return result;
}

int SocketTransport::Open(bus::Status& status) {
  int error = 0;
  const int fd = Connect(error);
  if (fd < 0) {
    status = Publish(Failure(error));
    return -1;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    links_[fd] = std::make_shared<Link>(fd);
  }
  status = Publish(Done(0));
  return fd;
}

bus::Status SocketTransport::Clear(int ud) {
  const std::shared_ptr<Link> link = Find(ud);
  if (!link)
    return RefusedCall();
  // A raw socket has no device clear: the clear drops any answer left unread.
  std::lock_guard<std::mutex> io(link->io);
  const int error = link->DiscardPending();
  return Publish(error ? Failure(error) : Done(0));
}

bus::Status SocketTransport::Write(int ud, const void* buffer, long count) {
  const std::shared_ptr<Link> link = Find(ud);
  if (!link)
    return RefusedCall();
  std::lock_guard<std::mutex> io(link->io);
  int error = link->DiscardPending();
  // The instrument closed the connection (it was switched off and on, or dropped idle
  // clients): a new connection carries the command, as a GPIB device answers again on the
  // same descriptor once it is back. A query's answer cannot come that way, so reads do not.
  if (error == ECONNRESET)
    error = Reconnect(*link);
  if (error)
    return Publish(Failure(error));
  std::string message(static_cast<const char*>(buffer),
                      static_cast<std::size_t>(std::max(count, 0L)));
  message += '\n';
  const Clock::time_point deadline = Deadline(timeout_);
  std::size_t sent = 0;
  while (sent < message.size()) {
    const ssize_t n =
        send(link->fd, message.data() + sent, message.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (const int error = WaitFor(link->fd, POLLOUT, deadline))
        return Publish(Failure(error, static_cast<long>(std::min(sent, message.size() - 1))));
      continue;
    }
    return Publish(
        Failure(n < 0 ? errno : EPIPE, static_cast<long>(std::min(sent, message.size() - 1))));
  }
  return Publish(Done(static_cast<long>(message.size() - 1)));
}

bus::Status SocketTransport::Read(int ud, void* buffer, long count) {
  const std::shared_ptr<Link> link = Find(ud);
  if (!link)
    return RefusedCall();
  count = std::max(count, 0L);
  auto* out = static_cast<char*>(buffer);
  std::lock_guard<std::mutex> io(link->io);
  // Hands out the first `n` pending bytes.
  const auto deliver = [&](std::size_t n) {
    std::copy_n(link->pending.data(), n, out);
    link->pending.erase(0, n);
    return static_cast<long>(n);
  };
  const Clock::time_point deadline = Deadline(timeout_);
  for (;;) {
    const std::size_t end = link->pending.find('\n');
    if (end != std::string::npos && end < static_cast<std::size_t>(count))
      return Publish(Done(deliver(end + 1), true));
    if (link->pending.size() >= static_cast<std::size_t>(count))
      return Publish(Done(deliver(static_cast<std::size_t>(count))));
    char chunk[4096];
    const ssize_t received = recv(link->fd, chunk, sizeof chunk, MSG_DONTWAIT);
    if (received > 0) {
      link->pending.append(chunk, static_cast<std::size_t>(received));
      continue;
    }
    int error = 0;
    if (received == 0) {
      error = ECONNRESET;  // the instrument closed the connection
    } else if (errno == EINTR) {
      continue;
    } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
      error = WaitFor(link->fd, POLLIN, deadline);
      if (error == 0)
        continue;
    } else {
      error = errno;
    }
    // What arrived before the failure stays in the buffer, counted, as a GPIB read that
    // timed out part-way leaves it.
    return Publish(Failure(error, deliver(link->pending.size())));
  }
}

bus::Status SocketTransport::Close(int ud) {
  std::shared_ptr<Link> link;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = links_.find(ud);
    if (found == links_.end())
      return Failure(EBADF);
    link = std::move(found->second);
    links_.erase(found);
  }
  // The socket closes when the last call still using it returns.
  return Done(0);
}

bus::Status SocketTransport::TakeOffline(int ud) {
  return Publish(Close(ud));
}

void SocketTransport::ReleaseQuietly(int ud) {
  Close(ud);
}

void SocketTransport::Abort(int ud) {
  if (const std::shared_ptr<Link> link = Find(ud))
    shutdown(link->fd, SHUT_RDWR);  // without the link's lock: a call may hold it
  Close(ud);
}

bus::Status SocketTransport::RefusedCall() {
  return Publish(Failure(EBADF));
}

bus::Status SocketTransport::LastStatus() const {
  return g_status.Last();
}

std::string SocketTransport::ErrorName(int code) {
  if (code < 0) {
    switch (code) {
      case EAI_NONAME:
        return "EAI_NONAME";
      case EAI_AGAIN:
        return "EAI_AGAIN";
      case EAI_FAIL:
        return "EAI_FAIL";
      case EAI_FAMILY:
        return "EAI_FAMILY";
      case EAI_MEMORY:
        return "EAI_MEMORY";
      case EAI_SERVICE:
        return "EAI_SERVICE";
#ifdef EAI_NODATA
      case EAI_NODATA:
        return "EAI_NODATA";
#endif
      default:
        return "EAI";
    }
  }
  const char* name = code == 0 ? nullptr : strerrorname_np(code);
  return name ? name : "";
}

std::string SocketTransport::ErrorLine(const std::string& text, const bus::Status& status) const {
  return Format("%s status = 0x%x error = %d (%s)", text.c_str(),
                static_cast<unsigned>(status.ibsta), status.iberr, ErrorName(status.iberr).c_str());
}

std::string SocketTransport::OpenFailureNote(const bus::Status& status) const {
  const std::string where = host_ + " port " + std::to_string(port_);
  switch (status.iberr) {
    case ETIMEDOUT:
      return Format("No answer from %s within %d s", where.c_str(), Seconds(timeout_));
    case ECONNREFUSED:
      return Format("%s refused the connection (no instrument listening there?)", where.c_str());
    case EHOSTUNREACH:
    case ENETUNREACH:
      return Format("%s cannot be reached from this computer", where.c_str());
    default:
      break;
  }
  if (status.iberr < 0)
    return Format("Host %s not found (%s)", host_.c_str(), gai_strerror(status.iberr));
  return Format("Cannot connect to %s: %s", where.c_str(), std::strerror(status.iberr));
}

std::string SocketTransport::Note() const {
  return Format("LAN socket to %s port %d (LF-terminated, %d s time-out)", host_.c_str(), port_,
                Seconds(timeout_));
}

}  // namespace vexa
