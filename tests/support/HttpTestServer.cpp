#include "support/HttpTestServer.h"

#include <QTcpServer>
#include <QTcpSocket>

namespace orthaven::test {

namespace {

QByteArray reason(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 401:
        return "Unauthorized";
    case 404:
        return "Not Found";
    default:
        return "Status";
    }
}

QByteArray headerValue(const QList<QByteArray>& lines, const QByteArray& name)
{
    for (const QByteArray& line : lines) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().toLower() == name)
            return line.mid(colon + 1).trimmed();
    }
    return {};
}

} // namespace

HttpTestServer::Response HttpTestServer::Response::answer(int status, const QByteArray& body)
{
    Response response;
    response.status = status;
    response.body = body;
    return response;
}

HttpTestServer::Response HttpTestServer::Response::held()
{
    Response response;
    response.hold = true;
    return response;
}

HttpTestServer::HttpTestServer() : server(new QTcpServer(this))
{
    server->listen(QHostAddress::LocalHost, 0);
    connect(server, &QTcpServer::newConnection, this, &HttpTestServer::onNewConnection);
}

HttpTestServer::~HttpTestServer() = default;

quint16 HttpTestServer::port() const
{
    return server->serverPort();
}

QString HttpTestServer::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(port());
}

void HttpTestServer::serve(const QByteArray& path, const Response& response)
{
    routes.insert(path, response);
}

bool HttpTestServer::wasAskedFor(const QByteArray& path) const
{
    for (const Request& r : received) {
        if (r.path == path)
            return true;
    }
    return false;
}

quint16 HttpTestServer::closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

void HttpTestServer::onNewConnection()
{
    while (QTcpSocket* socket = server->nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            pending.remove(socket);
            socket->deleteLater();
        });
    }
}

void HttpTestServer::onReadyRead(QTcpSocket* socket)
{
    QByteArray& buffer = pending[socket];
    buffer += socket->readAll();
    const qsizetype end = buffer.indexOf("\r\n\r\n");
    if (end < 0)
        return;
    const QList<QByteArray> lines = buffer.left(end).split('\n');
    buffer.clear();
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    Request request{requestLine.value(1), headerValue(lines, "authorization")};
    received.append(request);

    Response response = routes.value(request.path, Response::answer(404, "not here"));
    if (response.hold)
        return;
    QByteArray extra;
    if (!response.requiredLogin.isEmpty() &&
        request.authorization != "Basic " + response.requiredLogin.toBase64()) {
        response = Response::answer(401, "login first");
        extra = "WWW-Authenticate: Basic realm=\"orthaven\"\r\n";
    }
    QByteArray answer = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' +
                        reason(response.status) + "\r\nContent-Type: application/octet-stream\r\n" +
                        extra + "Content-Length: " + QByteArray::number(response.body.size()) +
                        "\r\nConnection: close\r\n\r\n";
    socket->write(answer + response.body);
    socket->disconnectFromHost();
}

} // namespace orthaven::test
