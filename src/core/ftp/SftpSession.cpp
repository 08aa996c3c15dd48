#include "LibSsh_p.h"
#include "RemoteSession_p.h"
#include "SftpSession_p.h"
#include "platform/Folders.h"

#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QHostInfo>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const QString kAborted = QStringLiteral("Der Vorgang wurde abgebrochen.");

QString sshError(ssh_session ssh)
{
    return ssh ? QString::fromUtf8(libssh().ssh_get_error(ssh)) : QString();
}

// "SHA256:" and unpadded base64, as OpenSSH shows it.
QString fingerprintOf(ssh_key key)
{
    unsigned char* hash = nullptr;
    size_t length = 0;
    if (libssh().ssh_get_publickey_hash(key, SSH_PUBLICKEY_HASH_SHA256, &hash, &length) != 0)
        return QStringLiteral("?");
    char* text = libssh().ssh_get_fingerprint_hash(SSH_PUBLICKEY_HASH_SHA256, hash, length);
    const QString fingerprint = QString::fromLatin1(text);
    libssh().ssh_string_free_char(text);
    libssh().ssh_clean_pubkey_hash(&hash);
    return fingerprint;
}

QString endpoint(const RemoteSettings& settings)
{
    return QStringLiteral("%1:%2").arg(settings.host).arg(settings.port);
}

} // namespace

QString sshKnownHostsPath()
{
    return Folders::appDataFolder() + QStringLiteral("/known_hosts");
}

std::unique_ptr<RemoteSession> makeSftpSession(const RemoteSettings& settings, RemoteHooks hooks,
                                               SftpLimits limits)
{
    return std::make_unique<SftpSession>(settings, std::move(hooks), limits);
}

std::unique_ptr<RemoteSession> makeSftpSession(const RemoteSettings& settings, RemoteHooks hooks)
{
    return makeSftpSession(settings, std::move(hooks), SftpLimits{});
}

SftpSession::SftpSession(const RemoteSettings& settings, RemoteHooks hooks, SftpLimits limits)
    : m_settings(settings), m_hooks(std::move(hooks)), m_limits(limits)
{
    m_window.start();
    m_watchdog = std::thread([this] { watch(); });
}

SftpSession::~SftpSession()
{
    closeConnection();
    {
        std::lock_guard lock(m_mutex);
        m_stopWatch = true;
    }
    m_wake.notify_all();
    m_watchdog.join();
}

// ---- watching ---------------------------------------------------------------

SftpSession::Operation::Operation(SftpSession& session) : m_session(session)
{
    if (session.m_abort.load()) {
        session.closeConnection();
        throw Error(kAborted);
    }
    session.setBusy(true);
}

SftpSession::Operation::~Operation()
{
    m_session.setBusy(false);
}

void SftpSession::setBusy(bool busy)
{
    std::lock_guard lock(m_mutex);
    m_busy = busy;
    m_window.restart();
    m_windowBytes = 0;
    // An abort that came in between its check and now still counts.
    if (busy && m_abort.load() && m_fd >= 0)
        ::shutdown(m_fd, SHUT_RDWR);
}

void SftpSession::progress(qint64 bytes)
{
    std::lock_guard lock(m_mutex);
    m_windowBytes += bytes;
    if (m_windowBytes >= m_limits.minBytes) {
        m_window.restart();
        m_windowBytes = 0;
    }
}

void SftpSession::watch()
{
    std::unique_lock lock(m_mutex);
    while (!m_stopWatch) {
        m_wake.wait_for(lock, std::chrono::milliseconds(std::min(200, m_limits.stallMs / 4 + 1)));
        if (m_busy && !m_timedOut.load() && m_window.elapsed() >= m_limits.stallMs &&
            m_windowBytes < m_limits.minBytes) {
            m_timedOut.store(true);
            if (m_fd >= 0)
                ::shutdown(m_fd, SHUT_RDWR);
        }
    }
}

void SftpSession::abort()
{
    std::lock_guard lock(m_mutex);
    m_abort.store(true);
    if (m_busy && m_fd >= 0)
        ::shutdown(m_fd, SHUT_RDWR);
}

void SftpSession::resetAbort()
{
    m_abort.store(false);
}

void SftpSession::wire(bool sent, const QString& line) const
{
    if (m_hooks.wire)
        m_hooks.wire(sent, line);
}

void SftpSession::status(const QString& text) const
{
    if (m_hooks.status)
        m_hooks.status(text);
}

// ---- connecting -------------------------------------------------------------

void SftpSession::connect()
{
    if (m_ssh)
        throw Error(QStringLiteral("Die Verbindung zum SFTP-Server besteht bereits."));
    if (m_settings.host.isEmpty())
        throw Error(QStringLiteral("Es ist kein Server angegeben."));
    if (m_settings.port == 0)
        throw Error(QStringLiteral("Es ist kein Port angegeben."));
    Operation operation(*this);
    m_timedOut.store(false);
    try {
        openSocket();
        startSsh();
        verifyHostKey();
        authenticate();
        openSftp();
    } catch (...) {
        closeConnection();
        throw;
    }
    status(QStringLiteral("Connection established"));
}

void SftpSession::openSocket()
{
    status(QStringLiteral("Resolving hostname %1.").arg(m_settings.host));
    QHostAddress address;
    if (!address.setAddress(m_settings.host)) {
        const QHostInfo info = QHostInfo::fromName(m_settings.host);
        if (m_abort.load())
            throw Error(kAborted);
        if (info.addresses().isEmpty()) {
            const QString reason = info.error() != QHostInfo::NoError
                                       ? info.errorString()
                                       : QStringLiteral("keine Adresse");
            throw Error(QStringLiteral("Der Rechnername %1 konnte nicht aufgelöst werden: %2")
                            .arg(m_settings.host, reason));
        }
        address = info.addresses().first();
    }
    status(QStringLiteral("Connecting to %1.").arg(address.toString()));

    sockaddr_storage storage{};
    socklen_t length = 0;
    if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&storage);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(m_settings.port);
        const Q_IPV6ADDR raw = address.toIPv6Address();
        std::memcpy(&in6->sin6_addr, &raw, sizeof raw);
        length = sizeof *in6;
    } else {
        auto* in4 = reinterpret_cast<sockaddr_in*>(&storage);
        in4->sin_family = AF_INET;
        in4->sin_port = htons(m_settings.port);
        in4->sin_addr.s_addr = htonl(address.toIPv4Address());
        length = sizeof *in4;
    }
    const int fd =
        ::socket(storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0)
        throw Error(QStringLiteral("Verbindung zu %1 fehlgeschlagen: %2")
                        .arg(endpoint(m_settings), QString::fromLocal8Bit(std::strerror(errno))));
    {
        std::lock_guard lock(m_mutex);
        m_fd = fd;
    }
    int error = 0;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&storage), length) != 0) {
        error = errno;
        while (error == EINPROGRESS) {
            pollfd p{fd, POLLOUT, 0};
            const int ready = ::poll(&p, 1, 200);
            if (m_abort.load())
                throw Error(kAborted);
            if (m_timedOut.load()) {
                error = ETIMEDOUT;
                break;
            }
            if (ready > 0) {
                socklen_t size = sizeof error;
                ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size);
            }
        }
    }
    if (error != 0)
        throw Error(QStringLiteral("Verbindung zu %1 fehlgeschlagen: %2")
                        .arg(endpoint(m_settings), QString::fromLocal8Bit(std::strerror(error))));
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    status(QStringLiteral("Connected."));
}

void SftpSession::startSsh()
{
    m_ssh = libssh().ssh_new();
    if (!m_ssh)
        throw Error(QStringLiteral("Die SSH-Bibliothek konnte nicht gestartet werden."));
    const QByteArray host = m_settings.host.toUtf8();
    const unsigned int port = m_settings.port;
    const QByteArray user = m_settings.username.toUtf8();
    // libssh would look for default keys under the password database's
    // home; a moved HOME (and every test) must count.
    const QByteArray sshDir = QFile::encodeName(QDir::homePath() + QStringLiteral("/.ssh"));
    const QByteArray knownHosts = QFile::encodeName(sshKnownHostsPath());
    const bool noConfig = false;
    const long timeoutSeconds = std::max(1, m_limits.stallMs / 1000);
    socket_t fd = m_fd;
    libssh().ssh_options_set(m_ssh, SSH_OPTIONS_PROCESS_CONFIG, &noConfig);
    libssh().ssh_options_set(m_ssh, SSH_OPTIONS_HOST, host.constData());
    libssh().ssh_options_set(m_ssh, SSH_OPTIONS_PORT, &port);
    if (!user.isEmpty())
        libssh().ssh_options_set(m_ssh, SSH_OPTIONS_USER, user.constData());
    libssh().ssh_options_set(m_ssh, SSH_OPTIONS_SSH_DIR, sshDir.constData());
    libssh().ssh_options_set(m_ssh, SSH_OPTIONS_KNOWNHOSTS, knownHosts.constData());
    libssh().ssh_options_set(m_ssh, SSH_OPTIONS_GLOBAL_KNOWNHOSTS, knownHosts.constData());
    libssh().ssh_options_set(m_ssh, SSH_OPTIONS_TIMEOUT, &timeoutSeconds);
    libssh().ssh_options_set(m_ssh, SSH_OPTIONS_FD, &fd);
    if (libssh().ssh_connect(m_ssh) != SSH_OK)
        failTransport(QStringLiteral("Verbindungsaufbau"));
    if (const char* banner = libssh().ssh_get_serverbanner(m_ssh))
        wire(false, QString::fromUtf8(banner));
}

void SftpSession::verifyHostKey()
{
    ssh_key key = nullptr;
    if (libssh().ssh_get_server_publickey(m_ssh, &key) != SSH_OK)
        failTransport(QStringLiteral("Serverschlüssel"));
    const QString fingerprint = fingerprintOf(key);
    libssh().ssh_key_free(key);
    const QString file = QDir::toNativeSeparators(sshKnownHostsPath());
    switch (libssh().ssh_session_is_known_server(m_ssh)) {
    case SSH_KNOWN_HOSTS_OK:
        return;
    case SSH_KNOWN_HOSTS_CHANGED:
    case SSH_KNOWN_HOSTS_OTHER:
        throw EUntrustedServer(
            QStringLiteral(
                "WARNUNG: Der SSH-Server %1 zeigt einen anderen Schlüssel als den in %2 "
                "hinterlegten (Fingerabdruck jetzt: %3). Das kann ein Angriff sein; die "
                "Verbindung wurde abgebrochen, bevor ein Passwort gesendet wurde. Hat der "
                "Server wirklich einen neuen Schlüssel, entfernen Sie die alte Zeile aus %2.")
                .arg(endpoint(m_settings), file, fingerprint));
    case SSH_KNOWN_HOSTS_UNKNOWN:
    case SSH_KNOWN_HOSTS_NOT_FOUND:
        break;
    case SSH_KNOWN_HOSTS_ERROR:
    default:
        throw Error(
            QStringLiteral("Die Datei %1 der bekannten SSH-Server kann nicht gelesen werden: %2")
                .arg(file, sshError(m_ssh)));
    }

    TrustQuestion question;
    question.kind = TrustQuestion::Kind::HostKey;
    question.host = m_settings.host;
    question.port = m_settings.port;
    question.fingerprint = fingerprint;
    question.reason = QStringLiteral("Der Schlüssel dieses SSH-Servers ist noch nicht bekannt.");
    question.trustFile = file;
    bool trusted = false;
    if (m_hooks.askTrust) {
        setBusy(false); // the user may take their time
        trusted = m_hooks.askTrust(question);
        setBusy(true);
        if (m_abort.load())
            throw Error(kAborted);
    }
    if (!trusted)
        throw EUntrustedServer(
            QStringLiteral("Der SSH-Server %1 ist unbekannt; sein Schlüssel hat den Fingerabdruck "
                           "%2. Es wurde kein Passwort gesendet. Wenn der Fingerabdruck stimmt, "
                           "vertrauen Sie dem Server im Programm oder tragen Sie seinen Schlüssel "
                           "in %3 ein.")
                .arg(endpoint(m_settings), fingerprint, file));
    Folders::ensureAppDataFolder();
    if (libssh().ssh_session_update_known_hosts(m_ssh) != SSH_OK)
        throw Error(QStringLiteral("Der Schlüssel des SSH-Servers kann nicht in %1 eingetragen "
                                   "werden: %2")
                        .arg(file, sshError(m_ssh)));
    QFile::setPermissions(sshKnownHostsPath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

void SftpSession::authenticate()
{
    const bool withPassword = !m_settings.password.isEmpty();
    wire(true, withPassword
                   ? QStringLiteral("login %1 (Passwort)").arg(m_settings.username)
                   : QStringLiteral("login %1 (SSH-Agent und Schlüssel)").arg(m_settings.username));
    int rc = libssh().ssh_userauth_none(m_ssh, nullptr);
    if (rc != SSH_AUTH_SUCCESS && rc != SSH_AUTH_ERROR) {
        const int methods = libssh().ssh_userauth_list(m_ssh, nullptr);
        if (!withPassword)
            rc = libssh().ssh_userauth_publickey_auto(m_ssh, nullptr, nullptr);
        else if (!(methods & SSH_AUTH_METHOD_PASSWORD) && (methods & SSH_AUTH_METHOD_INTERACTIVE))
            rc = authenticateKeyboardInteractive();
        else
            rc = libssh().ssh_userauth_password(m_ssh, nullptr,
                                                m_settings.password.toUtf8().constData());
    }
    if (rc == SSH_AUTH_ERROR)
        failTransport(QStringLiteral("Anmeldung"));
    if (rc != SSH_AUTH_SUCCESS) {
        const QString reason = sshError(m_ssh);
        wire(false, reason);
        if (withPassword)
            throw ERemoteRefusal(sftp::PermissionDenied,
                                 QStringLiteral("Der SFTP-Server hat die Anmeldung als \"%1\" "
                                                "abgelehnt (Benutzername oder Passwort falsch): %2")
                                     .arg(m_settings.username, reason));
        throw ERemoteRefusal(
            sftp::PermissionDenied,
            QStringLiteral("Der SFTP-Server hat die Anmeldung als \"%1\" ohne "
                           "Passwort abgelehnt: weder der SSH-Agent noch ein "
                           "Schlüssel in %2 wurde angenommen (%3).")
                .arg(m_settings.username,
                     QDir::toNativeSeparators(QDir::homePath() + QStringLiteral("/.ssh")), reason));
    }
    wire(false, QStringLiteral("angemeldet"));
}

// Servers that take passwords only through keyboard-interactive: every
// prompt that hides its answer gets the password.
int SftpSession::authenticateKeyboardInteractive()
{
    const QByteArray password = m_settings.password.toUtf8();
    int rc = libssh().ssh_userauth_kbdint(m_ssh, nullptr, nullptr);
    for (int round = 0; rc == SSH_AUTH_INFO && round < 5; ++round) {
        const int prompts = libssh().ssh_userauth_kbdint_getnprompts(m_ssh);
        for (int i = 0; i < prompts; ++i) {
            char echo = 0;
            libssh().ssh_userauth_kbdint_getprompt(m_ssh, unsigned(i), &echo);
            libssh().ssh_userauth_kbdint_setanswer(m_ssh, unsigned(i),
                                                   echo ? "" : password.constData());
        }
        rc = libssh().ssh_userauth_kbdint(m_ssh, nullptr, nullptr);
    }
    return rc == SSH_AUTH_INFO ? SSH_AUTH_DENIED : rc;
}

void SftpSession::openSftp()
{
    m_channel = libssh().ssh_channel_new(m_ssh);
    if (!m_channel || libssh().ssh_channel_open_session(m_channel) != SSH_OK)
        failTransport(QStringLiteral("Kanal"));
    if (libssh().ssh_channel_request_subsystem(m_channel, "sftp") != SSH_OK)
        throw Error(QStringLiteral("Der Server %1 bietet kein SFTP an: %2")
                        .arg(endpoint(m_settings), sshError(m_ssh)));
    send(sftp::PacketWriter::init(3));
    const sftp::Reply version = nextReply();
    if (version.type != sftp::Version)
        throw Error(QStringLiteral("Der Server %1 antwortet nicht wie ein SFTP-Server.")
                        .arg(endpoint(m_settings)));
    m_posixRename = version.extensions.contains("posix-rename@openssh.com");
    m_open = true;
    m_cwd = canonical(QStringLiteral("."));
}

void SftpSession::closeConnection()
{
    int fd = -1;
    {
        std::lock_guard lock(m_mutex);
        fd = m_fd;
        m_fd = -1;
    }
    if (m_channel) {
        libssh().ssh_channel_free(m_channel);
        m_channel = nullptr;
    }
    if (m_ssh) {
        libssh().ssh_disconnect(m_ssh);
        libssh().ssh_free(m_ssh);
        m_ssh = nullptr;
    }
    // libssh 0.10 leaves a socket it was given (SSH_OPTIONS_FD) open.
    if (fd >= 0)
        ::close(fd);
    m_open = false;
    m_received.clear();
}

bool SftpSession::connected() const
{
    return m_open && m_ssh && libssh().ssh_is_connected(m_ssh) && m_channel &&
           libssh().ssh_channel_is_open(m_channel) && !libssh().ssh_channel_is_eof(m_channel);
}

void SftpSession::quit()
{
    if (!m_ssh)
        return;
    status(QStringLiteral("Disconnecting."));
    if (m_channel && !m_abort.load() && !m_timedOut.load()) {
        libssh().ssh_channel_send_eof(m_channel);
        libssh().ssh_channel_close(m_channel);
    }
    closeConnection();
    status(QStringLiteral("Disconnected."));
}

// ---- packets ----------------------------------------------------------------

void SftpSession::failTransport(const QString& doing)
{
    const QString detail = sshError(m_ssh);
    const bool aborted = m_abort.load();
    const bool timedOut = m_timedOut.load();
    closeConnection();
    if (aborted)
        throw Error(kAborted);
    if (timedOut)
        throw Error(QStringLiteral("Zeitüberschreitung: der SFTP-Server %1 hat %2 Sekunden lang "
                                   "nicht geantwortet oder weniger als 1 KB/s übertragen (%3).")
                        .arg(endpoint(m_settings))
                        .arg(m_limits.stallMs / 1000)
                        .arg(doing));
    if (!m_open && doing == QStringLiteral("Verbindungsaufbau"))
        throw Error(QStringLiteral("Verbindung zu %1 fehlgeschlagen: %2")
                        .arg(endpoint(m_settings), detail));
    throw Error(QStringLiteral("Die Verbindung zum SFTP-Server %1 wurde getrennt (%2)%3")
                    .arg(endpoint(m_settings), doing,
                         detail.isEmpty() ? QStringLiteral(".") : QStringLiteral(": ") + detail));
}

void SftpSession::send(const sftp::PacketWriter& packet)
{
    const QByteArray bytes = packet.bytes();
    if (m_abort.load())
        failTransport(QStringLiteral("Senden"));
    if (libssh().ssh_channel_write(m_channel, bytes.constData(), uint32_t(bytes.size())) !=
        bytes.size())
        failTransport(QStringLiteral("Senden"));
}

sftp::Reply SftpSession::nextReply()
{
    char buffer[64 * 1024];
    for (;;) {
        // A malformed packet leaves no way to find the next one: the
        // session ends with it.
        try {
            if (const qsizetype length = sftp::completePacketLength(m_received)) {
                sftp::Reply reply = sftp::parseReply(QByteArrayView(m_received).first(length));
                m_received.remove(0, length);
                return reply;
            }
        } catch (const Error&) {
            closeConnection();
            throw;
        }
        const int got = libssh().ssh_channel_read_timeout(m_channel, buffer, sizeof buffer, 0, 200);
        if (got > 0) {
            m_received.append(buffer, got);
            progress(got);
            continue;
        }
        if (got == SSH_ERROR || m_abort.load() || m_timedOut.load() ||
            libssh().ssh_channel_is_eof(m_channel) || !libssh().ssh_channel_is_open(m_channel))
            failTransport(QStringLiteral("Empfangen"));
    }
}

sftp::Reply SftpSession::call(const sftp::PacketWriter& packet, quint32 id)
{
    send(packet);
    for (;;) {
        sftp::Reply reply = nextReply();
        progress(m_limits.minBytes); // an answer is a sign of life
        if (reply.id == id)
            return reply;
    }
}
