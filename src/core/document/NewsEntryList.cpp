#include "NewsEntryList.h"

#include <stdexcept>

NewsEntryList::NewsEntryList(const NewsEntryList& other)
{
    m_entries.reserve(other.m_entries.size());
    for (const auto& e : other.m_entries)
        m_entries.push_back(std::make_unique<TNewsEntry>(*e));
}

NewsEntryList& NewsEntryList::operator=(const NewsEntryList& other)
{
    if (this != &other)
        *this = NewsEntryList(other);
    return *this;
}

void NewsEntryList::insertFront(std::unique_ptr<TNewsEntry> entry)
{
    m_entries.insert(m_entries.begin(), std::move(entry));
}

void NewsEntryList::append(std::unique_ptr<TNewsEntry> entry)
{
    m_entries.push_back(std::move(entry));
}

void NewsEntryList::deleteAt(int index)
{
    if (index < 0 || index >= size())
        throw std::out_of_range("NewsEntryList::deleteAt");
    m_entries.erase(m_entries.begin() + index);
}

void NewsEntryList::exchange(int a, int b)
{
    if (a < 0 || b < 0 || a >= size() || b >= size())
        throw std::out_of_range("NewsEntryList::exchange");
    std::swap(m_entries[size_t(a)], m_entries[size_t(b)]);
}

bool NewsEntryList::operator==(const NewsEntryList& other) const
{
    if (size() != other.size())
        return false;
    for (int i = 0; i < size(); ++i)
        if (!(at(i) == other.at(i)))
            return false;
    return true;
}
