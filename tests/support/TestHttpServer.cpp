#include "TestHttpServer.h"

#include <QFile>
#include <QTcpSocket>

TestHttpServer::TestHttpServer()
{
    listen(QHostAddress::LocalHost, 0);
    connect(this, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = nextPendingConnection()) {
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { serve(socket); });
        }
    });
}

QByteArray TestHttpServer::baseUrl() const
{
    return "http://127.0.0.1:" + QByteArray::number(serverPort());
}

void TestHttpServer::serve(QTcpSocket* socket)
{
    // The whole head must be there; a GET has no body.
    QByteArray buffered = socket->property("buffered").toByteArray() + socket->readAll();
    socket->setProperty("buffered", buffered);
    const qsizetype headEnd = buffered.indexOf("\r\n\r\n");
    if (headEnd < 0)
        return;

    const QList<QByteArray> lines = buffered.left(headEnd).split('\n');
    Request request;
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    request.method = first.value(0);
    request.path = first.value(1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0)
            request.headers.insert(lines[i].left(colon).trimmed().toLower(),
                                   lines[i].mid(colon + 1).trimmed());
    }
    m_requests << request;

    const auto found = m_routes.constFind(request.path);
    Response response =
        found != m_routes.constEnd() ? *found : Response{404, "text/html", "<h1>404</h1>", {}};
    if (found == m_routes.constEnd() && !m_folder.isEmpty() && !request.path.contains("..")) {
        QFile file(m_folder + QString::fromUtf8(request.path));
        if (file.open(QIODevice::ReadOnly))
            response = Response{200, "application/rss+xml", file.readAll(), {}};
    }
    QByteArray answer = "HTTP/1.1 " + QByteArray::number(response.status) + " X\r\n";
    answer += "Content-Type: " + response.contentType + "\r\n";
    answer += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    for (const auto& [name, value] : response.headers)
        answer += name + ": " + value + "\r\n";
    answer += "Connection: close\r\n\r\n" + response.body;
    socket->write(answer);
    socket->disconnectFromHost();
}
