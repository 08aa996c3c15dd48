#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QTcpServer>

// A tiny HTTP/1.1 server for tests, on a free loopback port, answering from a
// table of paths and recording every request. It runs in the test's thread:
// the code under test waits in an event loop, which also serves the requests.
// Each answer closes its connection.
class TestHttpServer : public QTcpServer
{
public:
    struct Response
    {
        int status = 200;
        QByteArray contentType = "application/octet-stream";
        QByteArray body;
        QList<QPair<QByteArray, QByteArray>> headers; // extra headers, e.g. Location
    };
    struct Request
    {
        QByteArray method;
        QByteArray path;                       // with the query, as sent
        QHash<QByteArray, QByteArray> headers; // names in lower case
    };

    // Listens at once; listening on a bound socket needs no waiting.
    TestHttpServer();

    // Paths not in the table get 404, or the file under the served folder.
    void route(const QByteArray& path, Response response) { m_routes[path] = std::move(response); }
    // Answers paths without a route from this folder, read at each request.
    void serveFolder(const QString& folder) { m_folder = folder; }
    QByteArray baseUrl() const; // "http://127.0.0.1:<port>"
    const QList<Request>& requests() const { return m_requests; }

private:
    void serve(class QTcpSocket* socket);

    QHash<QByteArray, Response> m_routes;
    QList<Request> m_requests;
    QString m_folder;
};
