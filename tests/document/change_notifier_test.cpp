// SPDX-License-Identifier: GPL-3.0-or-later
// Change listeners of a document: called at every change of its revision, in
// order, and safe to end from either side at any time.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "document/change_notifier.h"
#include "document/vexlar_doc.h"

TEST(ChangeNotifier, EveryRevisionChangeIsAnnounced)
{
    CVexlarDoc doc;
    int calls = 0;
    const auto subscription = doc.OnChanged([&] { ++calls; });
    doc.BumpRevision();
    CSignal* s = doc.AppendNewSignal();
    doc.EraseSignal(std::find(doc.m_signals.begin(), doc.m_signals.end(), s));
    CVexlarDoc other;
    doc.SwapContent(other);
    doc.RemoveAllSignals();
    EXPECT_EQ(calls, 5);
}

TEST(ChangeNotifier, ListenersMayEndSubscriptionsWhileTheyAreCalled)
{
    CChangeNotifier notifier;
    std::vector<int> order;
    CChangeNotifier::Subscription second;
    const auto first = notifier.Subscribe([&] {
        order.push_back(1);
        second.Reset();   // the second one is not called after this
    });
    second = notifier.Subscribe([&] { order.push_back(2); });
    const auto third = notifier.Subscribe([&] { order.push_back(3); });
    notifier.Notify();
    EXPECT_EQ(order, (std::vector<int>{1, 3}));
    EXPECT_EQ(notifier.Count(), 2u);
}

TEST(ChangeNotifier, EitherSideMayGoFirst)
{
    auto doc = std::make_unique<CVexlarDoc>();
    int calls = 0;
    {
        const auto shortLived = doc->OnChanged([&] { ++calls; });
    }
    doc->BumpRevision();
    EXPECT_EQ(calls, 0);   // ended with its handle

    auto longLived = doc->OnChanged([&] { ++calls; });
    doc.reset();           // the document goes first, quietly: its last
    EXPECT_EQ(calls, 0);   // signals are removed without telling anyone
    longLived.Reset();     // and the handle still ends safely
}
