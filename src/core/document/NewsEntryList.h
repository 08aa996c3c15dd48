#pragma once

#include "uNews.h"

#include <memory>
#include <vector>

// The ordered list of entries; it owns them. Its order is the order of the
// project file and of the RSS items.
class NewsEntryList
{
public:
    NewsEntryList() = default;
    NewsEntryList(const NewsEntryList& other);
    NewsEntryList& operator=(const NewsEntryList& other);
    NewsEntryList(NewsEntryList&&) noexcept = default;
    NewsEntryList& operator=(NewsEntryList&&) noexcept = default;

    int size() const { return int(m_entries.size()); }
    bool isEmpty() const { return m_entries.empty(); }
    TNewsEntry& at(int index) { return *m_entries.at(size_t(index)); }
    const TNewsEntry& at(int index) const { return *m_entries.at(size_t(index)); }

    void insertFront(std::unique_ptr<TNewsEntry> entry);
    void append(std::unique_ptr<TNewsEntry> entry);
    void deleteAt(int index);
    void exchange(int a, int b);
    void clear() { m_entries.clear(); }

    bool operator==(const NewsEntryList& other) const;

private:
    std::vector<std::unique_ptr<TNewsEntry>> m_entries;
};
