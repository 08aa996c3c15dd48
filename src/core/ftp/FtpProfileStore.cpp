#include "FtpProfileStore.h"

#include "platform/BooleanText.h"
#include "platform/Error.h"
#include "platform/Folders.h"
#include "platform/XmlDocument.h"

#include <QFile>
#include <QFileInfo>

namespace FtpProfileStore {
namespace {

QString childText(XmlNode node, const char* name)
{
    return node.findChild(name).plainText();
}

} // namespace

QString defaultPath()
{
    return Folders::appDataFolder() + QStringLiteral("/profiles.xml");
}

std::optional<bool> parseBoolean(const QString& text)
{
    return BooleanText::read(text);
}

LoadResult load(const QString& path)
{
    LoadResult result;
    if (!QFileInfo::exists(path))
        return result;
    XmlDocument xml;
    try {
        xml.load(path);
    } catch (const Error& e) { // unreadable or not XML
        result.error = e.message();
        return result;
    }
    const XmlNode profiles = xml.documentElement().findChild("profiles");
    QStringList problems;
    for (XmlNode child = profiles.firstChild(); child; child = child.nextSibling()) {
        if (!child.isElement())
            continue;
        TFtpProfile p;
        p.profilname = childText(child, "profilename");
        p.server = childText(child, "server");
        p.port = childText(child, "port");
        p.benutzername = childText(child, "benutzername");
        p.passwort = childText(child, "passwort");
        if (child.findChild("passiv")) {
            const QString passiv = childText(child, "passiv");
            const auto flag = parseBoolean(passiv);
            if (!flag) {
                problems << QStringLiteral("'%1' is not a valid boolean value").arg(passiv);
                continue;
            }
            p.passiv = *flag;
        }
        p.protokoll = protocolFromCode(childText(child, "protokoll"));
        result.profiles.push_back(std::move(p));
    }
    result.error = problems.join(u'\n');
    return result;
}

void save(const std::vector<TFtpProfile>& profiles, const QString& path, bool keepBackup)
{
    if (keepBackup && QFileInfo::exists(path)) {
        const QString backup = path + QStringLiteral(".bak");
        QFile::remove(backup);
        if (!QFile::copy(path, backup))
            throw EBackupFailed(
                QStringLiteral("Die Sicherung \"%1\" konnte nicht angelegt werden.").arg(backup));
        QFile::setPermissions(backup, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    XmlDocument xml;
    XmlNode list = xml.createRoot(QStringLiteral("xml")).appendChild("profiles");
    for (const TFtpProfile& p : profiles) {
        XmlNode node = list.appendChild("profile");
        node.appendChild("profilename").setText(p.profilname);
        node.appendChild("server").setText(p.server);
        node.appendChild("port").setText(p.port);
        node.appendChild("benutzername").setText(p.benutzername);
        node.appendChild("passwort").setText(p.passwort);
        node.appendChild("passiv").setText(BooleanText::write(p.passiv));
        node.appendChild("protokoll").setText(protocolCode(p.protokoll));
    }
    xml.save(path, true);
}

} // namespace FtpProfileStore
