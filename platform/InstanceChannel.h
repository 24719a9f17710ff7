#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class QLocalServer;
class QLocalSocket;

// Lets a second copy of the program hand the files it was given to the copy
// that runs. The copy holding the single-instance lock listens on a local
// socket beside the lock, under the same title; a second copy connects,
// sends its files and waits until the running copy confirms them.
class InstanceChannel : public QObject {
    Q_OBJECT

public:
    explicit InstanceChannel(QString title, QObject* parent = nullptr);
    ~InstanceChannel() override;

    // Starts listening. Only the holder of the single-instance lock calls
    // it, so a socket already there was left by a copy that died and is
    // replaced. False when the socket cannot be made.
    bool listen();

    // Hands `files` to the copy that listens; true when it confirmed them
    // within `timeoutMs`. The running copy may still be starting up, so a
    // missing socket is tried again until then.
    static bool send(const QString& title, const QStringList& files, int timeoutMs = 10000);

    // The socket's path: the lock's, with ".socket" for ".lock".
    static QString socketPath(const QString& title);

    // The files named by the program's arguments, as absolute paths: plain
    // paths are taken from `workingFolder`, "file:" addresses (which some
    // launchers pass) become their local paths.
    static QStringList filesFromArguments(const QStringList& arguments,
                                          const QString& workingFolder);

signals:
    // Files another copy handed over, as it sent them.
    void filesReceived(const QStringList& files);

private:
    void acceptConnections();
    void readFrom(QLocalSocket* socket);

    QString title_;
    std::unique_ptr<QLocalServer> server_;
};
