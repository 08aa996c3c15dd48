#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <span>

// The kinds of channel setting; each decides how a value is stored in the
// project file and which kind of control shows it.
enum class SettingKind {
    Text,
    MultiLineText,
    Boolean,
    Date,
    Time,
    Number,         // whole number, held as the field's text
    Choice,         // one of a fixed list (the language)
    EditableChoice, // a list that also takes free text (the encoding)
    Protocol,       // a transfer protocol code: "FTP", "FTPS" or "SFTP"
};

// One channel setting: its key (the control's name and the element name in
// the project file), its kind and the default as the project file writes it.
// Dates, times and the GUID are renewed for every new project instead.
struct ChannelSetting
{
    const char* key;
    SettingKind kind;
    const char* defaultText;
};

namespace ChannelSettings {

// All settings in storage order: the 62 of the first file format, then the
// ones added later (a file without them reads their defaults).
std::span<const ChannelSetting> all();
// Settings from this index on came later: a project file without their
// element reads them at their default.
inline constexpr int kFirstLaterSetting = 62;
// Index in storage order, or -1.
int indexOf(QStringView key);

// The 96 language texts, spelt exactly as stored (irregular rows included).
const QStringList& languages();
inline constexpr int kDefaultLanguageIndex = 41; // "German (Germany) [de-de]"
// "UTF-8", then "ISO-8859-1" to "ISO-8859-16".
const QStringList& encodings();
inline constexpr int kDefaultEncodingIndex = 15; // "ISO-8859-15"

// The hour and day keys in RSS order: chkH00..chkH23, chkMonday..chkSunday.
const QStringList& hourKeys();
const QStringList& dayKeys();

} // namespace ChannelSettings
