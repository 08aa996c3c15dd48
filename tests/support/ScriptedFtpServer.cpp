#include "ScriptedFtpServer.h"

#include <QElapsedTimer>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

using namespace ftpact;

ScriptedFtpServer::ScriptedFtpServer()
{
    const QList<FtpAction> listing = {reply("150 Here comes the listing\r\n"), closeData(),
                                      reply("226 Done\r\n")};
    m_table = {
        {"", {reply("220 Scripted FTP ready\r\n")}},
        {"HOST", {reply("502 Not implemented\r\n")}},
        {"USER", {reply("331 Password required\r\n")}},
        {"PASS", {reply("230 Logged in\r\n")}},
        {"FEAT", {reply("211-Features:\r\n SIZE\r\n211 End\r\n")}},
        {"OPTS", {reply("200 OK\r\n")}},
        {"TYPE", {reply("200 Type set\r\n")}},
        {"SYST", {reply("215 UNIX Type: L8\r\n")}},
        {"SITE", {reply("500 Unknown SITE command\r\n")}},
        {"PWD", {reply("257 \"/\" is the current directory\r\n")}},
        {"CWD", {reply("250 Directory changed\r\n")}},
        {"PASV", {reply("227 Entering Passive Mode (127,0,0,1,%PORT%).\r\n")}},
        {"PORT", {reply("200 PORT ok\r\n")}},
        {"LIST", listing},
        {"MLSD", listing},
        {"STOR", {reply("150 Ready\r\n"), receiveData(), reply("226 Stored\r\n")}},
        {"SIZE", {reply("213 %SIZE%\r\n")}},
        {"RNFR", {reply("350 Ready for RNTO\r\n")}},
        {"RNTO", {reply("250 Renamed\r\n")}},
        {"DELE", {reply("250 Deleted\r\n")}},
        {"QUIT", {reply("221 Bye\r\n"), closeControl()}},
    };
}

ScriptedFtpServer::~ScriptedFtpServer()
{
    m_stop = true;
    if (m_thread)
        m_thread->wait();
}

void ScriptedFtpServer::on(const QString& commandOrVerb, QList<FtpAction> actions)
{
    m_table.insert(commandOrVerb, std::move(actions));
}

void ScriptedFtpServer::start()
{
    QSemaphore ready;
    m_thread.reset(QThread::create([this, &ready] {
        QTcpServer server;
        server.listen(QHostAddress::LocalHost, 0);
        m_port = server.serverPort();
        ready.release();
        while (!m_stop) {
            if (!server.waitForNewConnection(20))
                continue;
            std::unique_ptr<QTcpSocket> control(server.nextPendingConnection());
            control->setParent(nullptr);
            ++m_connections;
            serve(*control);
            ++m_sessionsEnded;
        }
    }));
    m_thread->start();
    ready.acquire();
}

QStringList ScriptedFtpServer::transcript() const
{
    QMutexLocker lock(&m_mutex);
    return m_transcript;
}

QByteArray ScriptedFtpServer::received() const
{
    QMutexLocker lock(&m_mutex);
    return m_received;
}

namespace {

// The server side of one session's data connection: passive listener or
// the client's PORT address, connected when an action first needs it.
struct DataLink
{
    std::unique_ptr<QTcpServer> listener;
    QHostAddress activeAddress;
    quint16 activePort = 0;
    std::unique_ptr<QTcpSocket> socket;

    QTcpSocket* open()
    {
        if (socket)
            return socket.get();
        if (listener) {
            if (!listener->waitForNewConnection(5000))
                return nullptr;
            socket.reset(listener->nextPendingConnection());
            socket->setParent(nullptr);
        } else if (activePort) {
            socket = std::make_unique<QTcpSocket>();
            socket->connectToHost(activeAddress, activePort);
            if (!socket->waitForConnected(5000))
                return nullptr;
        }
        return socket.get();
    }
    void close()
    {
        if (socket) {
            socket->disconnectFromHost();
            if (socket->state() != QAbstractSocket::UnconnectedState)
                socket->waitForDisconnected(2000);
        }
        socket.reset();
        listener.reset();
        activePort = 0;
    }
};

void writeAll(QTcpSocket& socket, const QByteArray& bytes)
{
    socket.write(bytes);
    while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(2000)) {
    }
}

} // namespace

void ScriptedFtpServer::serve(QTcpSocket& control)
{
    DataLink data;
    auto run = [&](const QList<FtpAction>& actions) {
        for (const FtpAction& action : actions) {
            switch (action.kind) {
            case FtpAction::Reply: {
                QByteArray bytes = action.bytes;
                if (data.listener) {
                    const quint16 p = data.listener->serverPort();
                    bytes.replace("%PORT%",
                                  QByteArray::number(p >> 8) + ',' + QByteArray::number(p & 0xff));
                }
                {
                    const QMutexLocker lock(&m_mutex);
                    bytes.replace("%SIZE%", QByteArray::number(m_received.size()));
                }
                writeAll(control, bytes);
                break;
            }
            case FtpAction::Pause:
                QThread::msleep(action.ms);
                break;
            case FtpAction::SendData:
                if (QTcpSocket* s = data.open())
                    writeAll(*s, action.bytes);
                break;
            case FtpAction::CloseData:
                data.open();
                data.close();
                break;
            case FtpAction::ReceiveData: {
                QByteArray bytes;
                if (QTcpSocket* s = data.open()) {
                    if (action.ms)
                        s->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption,
                                           64 * 1024);
                    while (s->state() == QAbstractSocket::ConnectedState || s->bytesAvailable()) {
                        if (s->bytesAvailable() == 0 && !s->waitForReadyRead(5000))
                            break;
                        bytes += s->read(64 * 1024);
                        if (action.ms)
                            QThread::msleep(action.ms);
                    }
                }
                data.close();
                QMutexLocker lock(&m_mutex);
                m_received = bytes;
                break;
            }
            case FtpAction::CloseControl:
                control.disconnectFromHost();
                if (control.state() != QAbstractSocket::UnconnectedState)
                    control.waitForDisconnected(2000);
                return false;
            }
        }
        return true;
    };

    if (!run(m_table.value(QString())))
        return;
    QByteArray pending;
    while (!m_stop && control.state() == QAbstractSocket::ConnectedState) {
        const qsizetype lf = pending.indexOf('\n');
        if (lf < 0) {
            if (control.waitForReadyRead(20))
                pending += control.readAll();
            else if (control.state() != QAbstractSocket::ConnectedState)
                break;
            continue;
        }
        QString line = QString::fromLatin1(pending.left(lf));
        pending.remove(0, lf + 1);
        if (line.endsWith(u'\r'))
            line.chop(1);
        {
            QMutexLocker lock(&m_mutex);
            m_transcript.append(line);
        }
        const QString verb = line.section(u' ', 0, 0).toUpper();
        if (verb == u"PASV") {
            data.close();
            data.listener = std::make_unique<QTcpServer>();
            data.listener->listen(QHostAddress::LocalHost, 0);
        } else if (verb == u"PORT") {
            data.close();
            const QStringList n = line.section(u' ', 1).split(u',');
            if (n.size() == 6) {
                data.activeAddress =
                    QHostAddress(QStringLiteral("%1.%2.%3.%4").arg(n[0], n[1], n[2], n[3]));
                data.activePort = quint16(n[4].toInt() * 256 + n[5].toInt());
            }
        }
        const auto exact = m_table.constFind(line);
        const auto byVerb = m_table.constFind(verb);
        const QList<FtpAction> actions = exact != m_table.cend() ? *exact
                                         : byVerb != m_table.cend()
                                             ? *byVerb
                                             : QList<FtpAction>{reply("500 Unknown command\r\n")};
        if (!run(actions))
            return;
    }
}
