#include "FeedDocument.h"

#include "uGlobalTools.h"

#include <stdexcept>

FeedDocument::FeedDocument()
{
    m_values.reserve(ChannelSettings::all().size());
    for (const ChannelSetting& s : ChannelSettings::all()) {
        switch (s.kind) {
        case SettingKind::Boolean:
            m_values.emplace_back(qstrcmp(s.defaultText, "0") != 0);
            break;
        case SettingKind::Date:
            m_values.emplace_back(QDate(1899, 12, 30));
            break;
        case SettingKind::Time:
            m_values.emplace_back(QTime(0, 0));
            break;
        default:
            m_values.emplace_back(QString::fromUtf8(s.defaultText));
            break;
        }
    }
}

int FeedDocument::checkedIndex(QStringView key)
{
    const int index = ChannelSettings::indexOf(key);
    if (index < 0)
        throw std::out_of_range("unknown channel key: " + key.toString().toStdString());
    return index;
}

void FeedDocument::setValue(int index, ChannelValue value)
{
    ChannelValue& slot = m_values.at(size_t(index));
    if (slot.index() != value.index())
        throw std::bad_variant_access();
    slot = std::move(value);
}

QString FeedDocument::text(QStringView key) const
{
    return std::get<QString>(value(checkedIndex(key)));
}
void FeedDocument::setText(QStringView key, const QString& text)
{
    setValue(checkedIndex(key), text);
}
bool FeedDocument::flag(QStringView key) const
{
    return std::get<bool>(value(checkedIndex(key)));
}
void FeedDocument::setFlag(QStringView key, bool on)
{
    setValue(checkedIndex(key), on);
}
QDate FeedDocument::date(QStringView key) const
{
    return std::get<QDate>(value(checkedIndex(key)));
}
void FeedDocument::setDate(QStringView key, QDate date)
{
    setValue(checkedIndex(key), date);
}
QTime FeedDocument::time(QStringView key) const
{
    return std::get<QTime>(value(checkedIndex(key)));
}
void FeedDocument::setTime(QStringView key, QTime time)
{
    setValue(checkedIndex(key), time);
}

void FeedDocument::renewDatesAndGuid(const QDateTime& now)
{
    setDate(u"datePublish", now.date());
    setTime(u"publishTime", now.time());
    setDate(u"dateLastChange", now.date());
    setTime(u"timeLastChange", now.time());
    setText(u"edtGUID", GlobalTools::GenerateGUID());
}
