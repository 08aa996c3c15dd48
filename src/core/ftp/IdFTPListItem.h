#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <cstdint>

// Kind of a listed entry, in this order. Callers mostly ask whether an entry
// is a folder.
enum TIdDirItemType {
    ditDirectory,
    ditFile,
    ditSymbolicLink,
    ditSymbolicLinkDir,
    ditBlockDev,
    ditCharDev,
    ditFIFO,
    ditSocket,
};

// One entry of a parsed directory listing.
class TIdFTPListItem
{
public:
    QString FileName;       // as listed, without a path
    std::int64_t Size = 0;  // bytes; 0 where the listing gives none
    QDateTime ModifiedDate; // local time; invalid where the listing gives none
    TIdDirItemType ItemType = ditFile;

    bool operator==(const TIdFTPListItem&) const = default;
};

// Its members are relocatable, so a growing listing moves entries as bytes.
Q_DECLARE_TYPEINFO(TIdFTPListItem, Q_RELOCATABLE_TYPE);

using TIdFTPListItems = QList<TIdFTPListItem>;
