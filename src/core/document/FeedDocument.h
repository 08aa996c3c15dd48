#pragma once

#include "ChannelSettings.h"
#include "NewsEntryList.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>
#include <variant>
#include <vector>

// The value of one channel setting: text for the text, number and list
// kinds, bool, QDate or QTime for the others.
using ChannelValue = std::variant<QString, bool, QDate, QTime>;

// One project in memory: the channel settings and the entry list. The
// main window copies its fields into one to save or build, and fills its
// fields from one that was read completely.
class FeedDocument
{
public:
    // Every setting at its default; dates and times at the zero moment and
    // an empty GUID until renewDatesAndGuid().
    FeedDocument();

    const ChannelValue& value(int index) const { return m_values.at(size_t(index)); }
    void setValue(int index, ChannelValue value);

    // By key; the key must be one of the table (std::out_of_range otherwise)
    // and of the accessor's kind (std::bad_variant_access otherwise).
    QString text(QStringView key) const;
    void setText(QStringView key, const QString& text);
    bool flag(QStringView key) const;
    void setFlag(QStringView key, bool on);
    QDate date(QStringView key) const;
    void setDate(QStringView key, QDate date);
    QTime time(QStringView key) const;
    void setTime(QStringView key, QTime time);

    // Publication and last change to this moment, a new GUID: what every new
    // project gets whatever the template holds.
    void renewDatesAndGuid(const QDateTime& now);

    NewsEntryList entries;

    bool operator==(const FeedDocument& other) const = default;

private:
    static int checkedIndex(QStringView key);
    std::vector<ChannelValue> m_values;
};
