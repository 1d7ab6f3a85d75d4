// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Listeners of one object's changes, called in the order they subscribed on
// the thread that made the change. A subscription ends when its handle is
// destroyed, also when the notifier is gone first, so a listener that lives
// longer or shorter than the object it listens to is safe either way.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class CChangeNotifier {
    struct Listeners;

public:
    class Subscription {
    public:
        Subscription() = default;
        Subscription(Subscription&& other) noexcept;
        Subscription& operator=(Subscription&& other) noexcept;
        Subscription(const Subscription&) = delete;
        Subscription& operator=(const Subscription&) = delete;
        ~Subscription();
        void Reset();   // ends the subscription now

    private:
        friend class CChangeNotifier;
        std::weak_ptr<Listeners> m_listeners;
        uint64_t m_id = 0;
    };

    CChangeNotifier();
    ~CChangeNotifier();
    CChangeNotifier(const CChangeNotifier&) = delete;
    CChangeNotifier& operator=(const CChangeNotifier&) = delete;

    [[nodiscard]] Subscription Subscribe(std::function<void()> listener);
    // Calls every listener; one that ends its own or another subscription
    // meanwhile is not called after that.
    void Notify() const;
    // Ends every subscription at once.
    void Clear();
    size_t Count() const;

private:
    std::shared_ptr<Listeners> m_listeners;
};
