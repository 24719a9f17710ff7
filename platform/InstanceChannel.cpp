#include "platform/InstanceChannel.h"

#include "platform/SingleInstance.h"

#include <QDataStream>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QUrl>

#include <utility>

namespace {

// The running copy answers this byte once it holds the files.
constexpr char Confirmation = 'y';
constexpr QDataStream::Version StreamVersion = QDataStream::Qt_6_0;

} // namespace

InstanceChannel::InstanceChannel(QString title, QObject* parent)
    : QObject(parent), title_(std::move(title)) {}

InstanceChannel::~InstanceChannel() = default;

bool InstanceChannel::listen() {
    const QString path = socketPath(title_);
    // Whoever made a socket there is gone: the lock is ours.
    QLocalServer::removeServer(path);
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(path)) {
        server_.reset();
        return false;
    }
    connect(server_.get(), &QLocalServer::newConnection, this, &InstanceChannel::acceptConnections);
    return true;
}

void InstanceChannel::acceptConnections() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readFrom(socket); });
        readFrom(socket);
    }
}

void InstanceChannel::readFrom(QLocalSocket* socket) {
    // The list may arrive in several pieces: read it whole or wait for more.
    QDataStream in(socket);
    in.setVersion(StreamVersion);
    in.startTransaction();
    QStringList files;
    in >> files;
    if (!in.commitTransaction())
        return;
    socket->write(&Confirmation, 1);
    socket->flush();
    if (!files.isEmpty())
        emit filesReceived(files);
}

bool InstanceChannel::send(const QString& title, const QStringList& files, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    for (;;) {
        socket.connectToServer(socketPath(title));
        if (socket.waitForConnected(static_cast<int>(deadline.remainingTime())))
            break;
        // The copy holding the lock may not be listening yet.
        if (deadline.hasExpired())
            return false;
        QThread::msleep(50);
    }
    QByteArray message;
    QDataStream out(&message, QIODevice::WriteOnly);
    out.setVersion(StreamVersion);
    out << files;
    socket.write(message);
    if (!socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime())))
        return false;
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
            return false;
    }
    char answer = 0;
    return socket.read(&answer, 1) == 1 && answer == Confirmation;
}

QString InstanceChannel::socketPath(const QString& title) {
    QString path = SingleInstance::lockPath(title);
    path.chop(int(sizeof(".lock")) - 1);
    return path + QStringLiteral(".socket");
}

QStringList InstanceChannel::filesFromArguments(const QStringList& arguments,
                                                const QString& workingFolder) {
    QStringList files;
    const QDir base(workingFolder);
    for (const QString& argument : arguments) {
        if (argument.isEmpty())
            continue;
        QString path = argument;
        if (argument.startsWith(QLatin1String("file:"))) {
            const QUrl url(argument);
            if (!url.isLocalFile())
                continue;
            path = url.toLocalFile();
        }
        files.append(QDir::cleanPath(base.absoluteFilePath(path)));
    }
    return files;
}
