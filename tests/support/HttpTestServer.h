#pragma once
// A small HTTP/1.1 server on 127.0.0.1 for the update checker's tests. It answers GET
// requests from a table of paths, records what it was asked, and can hold a request
// without answering or demand Basic authentication. Runs in the test's event loop.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

class QTcpServer;
class QTcpSocket;

namespace orthaven::test {

class HttpTestServer : public QObject
{
    Q_OBJECT
public:
    struct Response
    {
        int status = 200;
        QByteArray body;
        bool hold = false;        // never answer (a transfer that hangs)
        QByteArray requiredLogin; // "user:password": answer 401 until it is sent

        static Response answer(int status, const QByteArray& body);
        static Response held();
    };

    struct Request
    {
        QByteArray path;
        QByteArray authorization; // the Authorization header, empty when none came
    };

    HttpTestServer();
    ~HttpTestServer() override;

    quint16 port() const;
    // "http://127.0.0.1:<port>"
    QString baseUrl() const;

    void serve(const QByteArray& path, const Response& response);
    void serve(const QByteArray& path, const QByteArray& body)
    {
        serve(path, Response::answer(200, body));
    }

    const QList<Request>& requests() const { return received; }
    bool wasAskedFor(const QByteArray& path) const;

    // A port on 127.0.0.1 on which nothing listens.
    static quint16 closedPort();

private:
    void onNewConnection();
    void onReadyRead(QTcpSocket* socket);

    QTcpServer* server;
    QHash<QByteArray, Response> routes;
    QHash<QTcpSocket*, QByteArray> pending;
    QList<Request> received;
};

} // namespace orthaven::test
