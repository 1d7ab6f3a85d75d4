// SPDX-License-Identifier: GPL-3.0-or-later
#include "document/change_notifier.h"

#include <algorithm>
#include <utility>

struct CChangeNotifier::Listeners {
    struct Entry {
        uint64_t id;
        std::function<void()> call;
    };
    std::vector<Entry> entries;
    uint64_t nextId = 1;

    void Remove(uint64_t id)
    {
        entries.erase(std::remove_if(entries.begin(), entries.end(), [id](const Entry& e) { return e.id == id; }),
                      entries.end());
    }
};

CChangeNotifier::Subscription::Subscription(Subscription&& other) noexcept
    : m_listeners(std::move(other.m_listeners)), m_id(std::exchange(other.m_id, 0))
{}

CChangeNotifier::Subscription& CChangeNotifier::Subscription::operator=(Subscription&& other) noexcept
{
    if (this != &other) {
        Reset();
        m_listeners = std::move(other.m_listeners);
        m_id = std::exchange(other.m_id, 0);
    }
    return *this;
}

CChangeNotifier::Subscription::~Subscription()
{
    Reset();
}

void CChangeNotifier::Subscription::Reset()
{
    if (const std::shared_ptr<Listeners> listeners = m_listeners.lock())
        listeners->Remove(m_id);
    m_listeners.reset();
    m_id = 0;
}

CChangeNotifier::CChangeNotifier() : m_listeners(std::make_shared<Listeners>())
{}

CChangeNotifier::~CChangeNotifier() = default;

CChangeNotifier::Subscription CChangeNotifier::Subscribe(std::function<void()> listener)
{
    Subscription subscription;
    subscription.m_id = m_listeners->nextId++;
    subscription.m_listeners = m_listeners;
    m_listeners->entries.push_back({subscription.m_id, std::move(listener)});
    return subscription;
}

void CChangeNotifier::Notify() const
{
    // The listeners may subscribe or unsubscribe while they run: walk the ids
    // of this moment and call each one still subscribed.
    std::vector<uint64_t> ids;
    ids.reserve(m_listeners->entries.size());
    for (const Listeners::Entry& e : m_listeners->entries)
        ids.push_back(e.id);
    for (const uint64_t id : ids) {
        std::function<void()> call;
        for (const Listeners::Entry& e : m_listeners->entries) {
            if (e.id == id)
                call = e.call;
        }
        if (call)
            call();
    }
}

void CChangeNotifier::Clear()
{
    m_listeners->entries.clear();
}

size_t CChangeNotifier::Count() const
{
    return m_listeners->entries.size();
}
