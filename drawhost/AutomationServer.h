#pragma once
// Serves one Application to any number of clients over a per-user local
// socket. Each connection keeps its own table of the objects it was handed;
// the table goes away with the connection, so a client that dies leaves
// nothing behind in the host.
#include <QObject>
#include <QString>

#include "host/HostApi.h"

class QLocalServer;
class QLocalSocket;

namespace host {

class AutomationServer : public QObject {
    Q_OBJECT
public:
    explicit AutomationServer(ApplicationPtr app, QObject* parent = nullptr);
    ~AutomationServer() override;

    // Listens on the path; a stale socket left by a dead host is replaced, a
    // live one is not. Returns false with a reason when it cannot listen.
    bool listen(const QString& path, QString* reason);
    QString path() const;

    // Counts changes made through the server; clients use it to keep caches honest.
    static void noteChange();

signals:
    // A client's request was answered (a window defers slow redraws while they come).
    void requestAnswered();

private:
    class Listener;
    void onNewConnection(int fd);

    ApplicationPtr app_;
    Listener* server_ = nullptr;
};

}  // namespace host
