#include "app/EntryListModel.h"
#include "platform/RegionalSettings.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace {

std::unique_ptr<TNewsEntry> entryOn(QDate date, const QString& title = QStringLiteral("T"))
{
    auto e = std::make_unique<TNewsEntry>();
    e->title = title;
    e->date = date;
    e->time = QTime(12, 0, 0);
    return e;
}

class EntryListModelTest : public ::testing::Test
{
protected:
    void SetUp() override { RegionalSettings::setCurrent(RegionalSettings::german()); }
    void TearDown() override { RegionalSettings::resetToSystem(); }

    QString moment(int row) const { return model.data(model.index(row, 1)).toString(); }

    NewsEntryList entries;
    EntryListModel model{entries};
};

} // namespace

// The moment's text is kept per entry; an entry made in a deleted one's
// memory must not show the deleted one's text.
TEST_F(EntryListModelTest, NewEntryInADeletedOnesPlaceShowsItsOwnMoment)
{
    entries.append(entryOn(QDate(2001, 1, 1)));
    EXPECT_EQ(moment(0), "01.01.2001 - 12:00:00");
    const TNewsEntry* gone = &entries.at(0);
    model.deleteAt(0);
    auto fresh = entryOn(QDate(2002, 2, 2));
    const bool samePlace = fresh.get() == gone;
    model.insertFront(std::move(fresh));
    EXPECT_EQ(moment(0), "02.02.2002 - 12:00:00")
        << (samePlace ? "made in the deleted entry's memory" : "made elsewhere");
}

TEST_F(EntryListModelTest, RowsOutOfRangeThrowAndChangeNothing)
{
    entries.append(entryOn(QDate(2001, 1, 1), QStringLiteral("A")));
    entries.append(entryOn(QDate(2001, 1, 2), QStringLiteral("B")));
    EXPECT_THROW(model.deleteAt(2), std::out_of_range);
    EXPECT_THROW(model.deleteAt(-1), std::out_of_range);
    EXPECT_THROW(model.exchangeWithNext(1), std::out_of_range);
    EXPECT_THROW(model.entryChanged(2), std::out_of_range);
    ASSERT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.data(model.index(0, 0)).toString(), "A");
    EXPECT_EQ(model.data(model.index(1, 0)).toString(), "B");
}

// While the window lends its list to a save, the view may still ask.
TEST_F(EntryListModelTest, RowsBeyondALentListAreEmpty)
{
    entries.append(entryOn(QDate(2001, 1, 1)));
    const QModelIndex row = model.index(0, 0);
    NewsEntryList lent = std::move(entries);
    EXPECT_FALSE(model.data(row).isValid());
    entries = std::move(lent);
    EXPECT_EQ(model.data(row).toString(), "T");
}
