#include "app/single_instance.h"

#include <QLocalSocket>
#include <unistd.h>

namespace dunmere {
namespace {

constexpr int kWaitMs = 2000;
constexpr char kShow[] = "show\n";
constexpr char kShown[] = "shown\n";
constexpr char kNoWindow[] = "nowindow\n";

}  // namespace

QString CSingleInstance::DefaultName() {
  // The mutex's name, per user: a socket another user made cannot stand in the way.
  return QStringLiteral("Orvant_Dunmere_2016_For_Windows-%1").arg(::getuid());
}

CSingleInstance::CSingleInstance(QString name) : name_(std::move(name)) {
  connect(&server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* client = server_.nextPendingConnection()) {
      connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
      connect(client, &QLocalSocket::readyRead, client, [this, client] {
        if (!client->canReadLine()) return;
        client->readLine();
        const bool shown = show_ && show_();
        client->write(shown ? kShown : kNoWindow);
        client->flush();
      });
    }
  });
}

CSingleInstance::Outcome CSingleInstance::Claim() {
  QLocalSocket other;
  other.connectToServer(name_);
  if (other.waitForConnected(kWaitMs)) {
    other.write(kShow);
    other.flush();
    if (other.waitForReadyRead(kWaitMs) && other.readLine() == kShown) return Outcome::kShownOther;
    return Outcome::kOtherHasNoWindow;
  }
  // Nobody answers: a socket left by a copy that crashed is taken over.
  QLocalServer::removeServer(name_);
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  server_.listen(name_);
  return Outcome::kFirst;
}

}  // namespace dunmere
