#include "platform/command_channel.h"

#include "platform/session.h"

#include <QByteArray>
#include <QFile>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

namespace command_channel {
namespace {
constexpr const char *names[] = {"draw", "toggle", "settings", "quit"};
constexpr int maxLine = 64;

bool addressOf(sockaddr_un *a) {
  const QByteArray path = QFile::encodeName(socketPath());
  std::memset(a, 0, sizeof *a);
  a->sun_family = AF_UNIX;
  if (path.isEmpty() || size_t(path.size()) >= sizeof a->sun_path)
    return false;
  std::memcpy(a->sun_path, path.constData(), size_t(path.size()));
  return true;
}

// One accepted peer: reads its line without blocking the event loop, and
// gives up on a peer that says nothing.
class Peer : public QObject {
public:
  Peer(int fd, const std::function<void(Command)> &handler)
      : fd_(fd), handler_(handler), notifier_(fd, QSocketNotifier::Read) {
    connect(&notifier_, &QSocketNotifier::activated, this, &Peer::readSome);
    QTimer::singleShot(2000, this, [this] { finish(); });
  }
  ~Peer() override { ::close(fd_); }

private:
  void readSome() {
    char buf[maxLine];
    const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
      return;
    if (n <= 0)
      return finish();
    line_.append(buf, int(n));
    const int end = line_.indexOf('\n');
    if (end < 0) {
      if (line_.size() > maxLine)
        finish();
      return;
    }
    const std::optional<Command> c = fromName(line_.left(end).trimmed().constData());
    const char *answer = c ? "ok\n" : "unknown\n";
    [[maybe_unused]] ssize_t w = ::send(fd_, answer, std::strlen(answer), MSG_NOSIGNAL);
    // Run after the answer is out: a command may open a modal dialog or end the process.
    if (c) {
      auto handler = handler_;
      const Command cmd = *c;
      QTimer::singleShot(0, [handler, cmd] { handler(cmd); });
    }
    finish();
  }
  void finish() {
    notifier_.setEnabled(false);
    deleteLater();
  }

  int fd_;
  std::function<void(Command)> handler_;
  QSocketNotifier notifier_;
  QByteArray line_;
};
} // namespace

std::optional<Command> fromName(const char *name) {
  for (int i = 0; i < 4; ++i)
    if (std::strcmp(name, names[i]) == 0)
      return Command(i);
  return std::nullopt;
}

const char *nameOf(Command c) { return names[int(c)]; }

QString socketPath() {
  const QString dir = session::privateDir();
  return dir.isEmpty() ? QString() : dir + QStringLiteral("/morvane.sock");
}

bool send(Command c) {
  sockaddr_un addr;
  if (!addressOf(&addr))
    return false;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0)
    return false;
  // A hung instance must not hang the command: the answer comes within a blink or not at all.
  timeval tv{2, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
  bool ok = false;
  if (::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0) {
    QByteArray line = QByteArray(nameOf(c)) + '\n';
    if (::send(fd, line.constData(), size_t(line.size()), MSG_NOSIGNAL) == line.size()) {
      char buf[16];
      QByteArray answer;
      ssize_t n;
      while (!answer.contains('\n') && answer.size() < maxLine &&
             (n = ::recv(fd, buf, sizeof buf, 0)) > 0)
        answer.append(buf, int(n));
      ok = answer == "ok\n";
    }
  }
  ::close(fd);
  return ok;
}

bool listen(std::function<void(Command)> handler) {
  sockaddr_un addr;
  if (!addressOf(&addr))
    return false;
  // Only the holder of the single-instance lock comes here: a file left at this
  // path belongs to a dead instance.
  ::unlink(addr.sun_path);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0)
    return false;
  // Born 0600: no moment in which another user could connect.
  const mode_t old = ::umask(077);
  const bool bound = ::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0;
  ::umask(old);
  if (!bound || ::chmod(addr.sun_path, 0600) != 0 || ::listen(fd, 8) != 0) {
    ::close(fd);
    return false;
  }
  auto *n = new QSocketNotifier(fd, QSocketNotifier::Read);
  QObject::connect(n, &QSocketNotifier::activated, n, [fd, handler] {
    int c;
    while ((c = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK)) >= 0) {
      // The folder already keeps others out; the peer's own uid is the last word.
      ucred cred{};
      socklen_t len = sizeof cred;
      if (::getsockopt(c, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0 || cred.uid != ::getuid()) {
        ::close(c);
        continue;
      }
      new Peer(c, handler);
    }
  });
  return true;
}
} // namespace command_channel
