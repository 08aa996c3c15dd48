#include "ChannelSettings.h"

#include <QHash>
#include <array>

namespace {

using K = SettingKind;

constexpr std::array<ChannelSetting, 65> kSettings{{
    {"edtFeedTitle", K::Text, ""},
    {"edtLink", K::Text, ""},
    {"memoDescription", K::MultiLineText, ""},
    {"edtOwnerName", K::Text, ""},
    {"edtOwnerMail", K::Text, ""},
    {"edtCopyright", K::Text, ""},
    {"datePublish", K::Date, ""},
    {"publishTime", K::Time, ""},
    {"dateLastChange", K::Date, ""},
    {"timeLastChange", K::Time, ""},
    {"chkPublish", K::Boolean, "0"},
    {"chkLastChange", K::Boolean, "0"},
    {"edtTTL", K::Number, "0"},
    {"chkMonday", K::Boolean, "0"},
    {"chkTuesday", K::Boolean, "0"},
    {"chkWednesday", K::Boolean, "0"},
    {"chkThursday", K::Boolean, "0"},
    {"chkFriday", K::Boolean, "0"},
    {"chkSaturday", K::Boolean, "0"},
    {"chkSunday", K::Boolean, "0"},
    {"chkH00", K::Boolean, "0"},
    {"chkH01", K::Boolean, "0"},
    {"chkH02", K::Boolean, "0"},
    {"chkH03", K::Boolean, "0"},
    {"chkH04", K::Boolean, "0"},
    {"chkH05", K::Boolean, "0"},
    {"chkH06", K::Boolean, "0"},
    {"chkH07", K::Boolean, "0"},
    {"chkH08", K::Boolean, "0"},
    {"chkH09", K::Boolean, "0"},
    {"chkH10", K::Boolean, "0"},
    {"chkH11", K::Boolean, "0"},
    {"chkH12", K::Boolean, "0"},
    {"chkH13", K::Boolean, "0"},
    {"chkH14", K::Boolean, "0"},
    {"chkH15", K::Boolean, "0"},
    {"chkH16", K::Boolean, "0"},
    {"chkH17", K::Boolean, "0"},
    {"chkH18", K::Boolean, "0"},
    {"chkH19", K::Boolean, "0"},
    {"chkH20", K::Boolean, "0"},
    {"chkH21", K::Boolean, "0"},
    {"chkH22", K::Boolean, "0"},
    {"chkH23", K::Boolean, "0"},
    {"edtLogoUrl", K::Text, ""},
    {"edtLogoWidth", K::Number, "0"},
    {"edtLogoHeight", K::Number, "0"},
    {"edtLogoTitle", K::Text, ""},
    {"edtLinkLogo", K::Text, ""},
    {"cboEncoding", K::EditableChoice, "ISO-8859-15"},
    {"edtGUID", K::Text, ""},
    {"cboLanguage", K::Choice, "German (Germany) [de-de]"},
    {"edtFTPServer", K::Text, ""},
    {"edtFTPPort", K::Text, "21"},
    {"edtFTPUserName", K::Text, ""},
    {"edtFTPPassword", K::Text, ""},
    {"edtFTPFolder", K::Text, ""},
    {"chkFTPPassive", K::Boolean, "0"},
    {"chkGenRSS", K::Boolean, "-1"},
    {"chkGenAtom", K::Boolean, "-1"},
    {"edtFileNameRSS", K::Text, "rss.xml"},
    {"edtFileNameAtom", K::Text, "atom.xml"},
    {"cboFTPProtocol", K::Protocol, "FTP"},
    {"edtFeedUrl", K::Text, ""},
    {"chkEnclosures", K::Boolean, "0"},
}};

} // namespace

namespace ChannelSettings {

std::span<const ChannelSetting> all()
{
    return kSettings;
}

int indexOf(QStringView key)
{
    static const QHash<QString, int> index = [] {
        QHash<QString, int> h;
        for (int i = 0; i < int(kSettings.size()); ++i)
            h.insert(QString::fromLatin1(kSettings[i].key), i);
        return h;
    }();
    return index.value(key.toString(), -1);
}

const QStringList& languages()
{
    static const QStringList list = {
        "Afrikaans [af]",
        "Albanian [sq]",
        "Basque [eu]",
        "Belarusian [be]",
        "Bulgarian [bg]",
        "Catalan [ca]",
        "Chinese (Simplified) [zh-cn]",
        "Chinese (Traditional) [zh-tw]",
        "Croatian [hr]",
        "Czech [cs]",
        "Danish [da]",
        "Dutch [nl]",
        "Dutch (Belgium) [nl-be]",
        "Dutch (Netherlands) [nl-nl]",
        "English [en]",
        "English (Australia) [en-au]",
        "English (Belize) [en-bz]",
        "English (Canada) [en-ca]",
        "English (Ireland) [en-ie]",
        "English (Jamaica) [en-jm]",
        "English (New Zealand) [en-nz]",
        "English (Phillipines) [en-ph]",
        "English (South Africa) [en-za]",
        "English (Trinidad) [en-tt]",
        "English (United Kingdom) [en-gb]",
        "English (United States) [en-us]",
        "English (Zimbabwe) [en-zw]",
        "Estonian [et]",
        "Faeroese [fo]",
        "Finnish [fi]",
        "French [fr]",
        "French (Belgium) [fr-be]",
        "French (Canada) [fr-ca]",
        "French (France) [fr-fr]",
        "French (Luxembourg) [fr-lu]",
        "French (Monaco) [fr-mc]",
        "French (Switzerland) [fr-ch]",
        "Galician [gl]",
        "Gaelic [gd]",
        "German [de]",
        "German (Austria) [de-at]",
        "German (Germany) [de-de]",
        "German (Liechtenstein) [de-li]",
        "German (Luxembourg) [de-lu]",
        "German (Switzerland) [de-ch]",
        "Greek [el]",
        "Hawaiian [haw]",
        "Hungarian [hu]",
        "Icelandic is]",
        "Indonesian [in]",
        "Irish [ga]",
        "Italian [it]",
        "Italian (Italy) [it-it]",
        "Italian (Switzerland) [it-ch]",
        "Japanese [ja]",
        "Korean [ko]",
        "Macedonian [mk]",
        "Norwegian [no]",
        "Polish [pl]",
        "Portuguese [pt]",
        "Portuguese (Brazil) [vpt-br]",
        "Portuguese (Portugal) [pt-pt]",
        "Romanian [ro]",
        "Romanian (Moldova) [ro-mo]",
        "Romanian (Romania) [ro-ro]",
        "Russian [ru]",
        "Russian (Moldova) [ru-mo]",
        "Russian (Russia) [ru-ru]",
        "Serbian [sr]",
        "Slovak [sk]",
        "Slovenian [sl]",
        "Spanish [es]",
        "Spanish (Argentina) [es-ar]",
        "Spanish (Bolivia) [es-bo]",
        "Spanish (Chile) [es-cl]",
        "Spanish (Colombia) [es-co]",
        "Spanish (Costa Rica) [es-cr]",
        "Spanish (Dominican Republic) [es-do]",
        "Spanish (Ecuador) [es-ec]",
        "Spanish (El Salvador) [es-sv]",
        "Spanish (Guatemala) [es-gt]",
        "Spanish (Honduras) [es-hn]",
        "Spanish (Mexico) [es-mx]",
        "Spanish (Nicaragua) [es-ni]",
        "Spanish (Panama) [es-pa]",
        "Spanish (Paraguay) [es-py]",
        "Spanish (Peru) [es-pe]",
        "Spanish (Puerto Rico) [es-pr]",
        "Spanish (Spain) [es-es]",
        "Spanish (Uruguay) [es-uy]",
        "Spanish (Venezuela) [es-ve]",
        "Swedish [sv]",
        "Swedish (Finland) [sv-fi]",
        "Swedish (Sweden) [sv-se]",
        "Turkish [tr]",
        "Ukranian [uk]",
    };
    return list;
}

const QStringList& encodings()
{
    static const QStringList list = [] {
        QStringList l{QStringLiteral("UTF-8")};
        for (int i = 1; i <= 16; ++i)
            l << QStringLiteral("ISO-8859-%1").arg(i);
        return l;
    }();
    return list;
}

const QStringList& hourKeys()
{
    static const QStringList list = [] {
        QStringList l;
        for (int h = 0; h < 24; ++h)
            l << QStringLiteral("chkH%1").arg(h, 2, 10, QLatin1Char('0'));
        return l;
    }();
    return list;
}

const QStringList& dayKeys()
{
    static const QStringList list = {"chkMonday", "chkTuesday",  "chkWednesday", "chkThursday",
                                     "chkFriday", "chkSaturday", "chkSunday"};
    return list;
}

} // namespace ChannelSettings
