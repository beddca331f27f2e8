#include "app/single_instance.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QLocalSocket>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <algorithm>

#include "app/message_boxes.h"
#include "responder/instance_lock.h"

namespace replyvane::app {

namespace {

constexpr char kShowRequest[] = "show";
constexpr char kShownAnswer[] = "shown";
constexpr char kVisibleAnswer[] = "visible";
// A line longer than any of ours is no request of ours.
constexpr qint64 kMaxLine = 16;
constexpr int kRetryMs = 100;

QString ChannelName(const std::string& settings_folder) {
  return QString::fromStdString(
      responder::InstanceChannelName(settings_folder));
}

// Only programs of the same user talk to each other; a socket file put in
// our place by someone else is not answered, nor believed.
bool PeerIsSameUser(const QLocalSocket& socket) {
  ucred peer{};
  socklen_t size = sizeof peer;
  return ::getsockopt(int(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED,
                      &peer, &size) == 0 &&
         peer.uid == ::getuid();
}

}  // namespace

InstanceListener::InstanceListener(const std::string& settings_folder,
                                   QWidget* window)
    : window_(window) {
  const QString name = ChannelName(settings_folder);
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_.listen(name)) {
    // The socket of a first program that crashed: the lock is ours now, so
    // nobody else listens there.
    QLocalServer::removeServer(name);
    server_.listen(name);
  }
  QObject::connect(&server_, &QLocalServer::newConnection, [this] {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
      QObject::connect(socket, &QLocalSocket::disconnected, socket,
                       &QObject::deleteLater);
      QObject::connect(socket, &QLocalSocket::readyRead, socket,
                       [this, socket] { Answer(socket); });
      // A caller that says nothing is not waited for.
      QTimer::singleShot(5000, socket, [socket] { socket->abort(); });
      if (socket->bytesAvailable() > 0) Answer(socket);
    }
  });
}

void InstanceListener::Answer(QLocalSocket* socket) {
  if (!socket->canReadLine()) {
    if (socket->bytesAvailable() > kMaxLine) socket->abort();
    return;
  }
  if (socket->readLine(kMaxLine).trimmed() != kShowRequest ||
      !PeerIsSameUser(*socket)) {
    socket->abort();
    return;
  }
  // Hidden in the tray or minimized: the user looks for it in vain, so it
  // comes to the front; a window in view is left where it is.
  const bool hidden = !window_->isVisible() || window_->isMinimized();
  if (hidden) {
    if (window_->isMinimized()) window_->showNormal();
    window_->show();
    window_->raise();
    window_->activateWindow();
  }
  socket->write(QByteArray(hidden ? kShownAnswer : kVisibleAnswer) + "\n");
  socket->disconnectFromServer();  // after the answer is written
}

FirstInstanceAnswer AskFirstInstanceToShow(const std::string& settings_folder,
                                           int timeout_ms) {
  const QString name = ChannelName(settings_folder);
  QElapsedTimer clock;
  clock.start();
  for (;;) {
    QLocalSocket socket;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&socket, &QLocalSocket::readyRead, &loop, [&] {
      if (socket.canReadLine()) loop.quit();
    });
    QObject::connect(&socket, &QLocalSocket::disconnected, &loop,
                     &QEventLoop::quit);
    QObject::connect(&socket, &QLocalSocket::errorOccurred, &loop,
                     &QEventLoop::quit);
    socket.connectToServer(name);
    const int left = timeout_ms - int(clock.elapsed());
    if (left <= 0) return FirstInstanceAnswer::kNoAnswer;
    if (socket.state() == QLocalSocket::UnconnectedState) {
      // The first program may hold the lock but not listen yet.
      timer.start(std::min(kRetryMs, left));
      loop.exec();
      continue;
    }
    if (!socket.waitForConnected(left) || !PeerIsSameUser(socket)) {
      return FirstInstanceAnswer::kNoAnswer;
    }
    socket.write(QByteArray(kShowRequest) + "\n");
    timer.start(std::max(1, timeout_ms - int(clock.elapsed())));
    loop.exec();
    if (!socket.canReadLine()) return FirstInstanceAnswer::kNoAnswer;
    const QByteArray answer = socket.readLine(kMaxLine).trimmed();
    if (answer == kShownAnswer) return FirstInstanceAnswer::kShown;
    if (answer == kVisibleAnswer) return FirstInstanceAnswer::kVisible;
    return FirstInstanceAnswer::kNoAnswer;
  }
}

int GiveWayToFirstInstance(const std::string& settings_folder) {
  if (AskFirstInstanceToShow(settings_folder) != FirstInstanceAnswer::kShown) {
    QMessageBox box(QMessageBox::Information, kApplicationTitle,
                    kAlreadyRunningText, QMessageBox::Ok);
    box.setObjectName("AlreadyRunningBox");
    box.setTextFormat(Qt::PlainText);
    box.button(QMessageBox::Ok)->setText("OK");
    box.exec();
  }
  return 0;
}

}  // namespace replyvane::app
