// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Small helpers of the row-drawer tests: the offscreen application, signals
// with given samples, and pixel checks on painted images.

#include <QApplication>
#include <QColor>
#include <QImage>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "model/signal.h"

namespace trace_test {

inline void EnsureApp()
{
    // Created once and never destroyed: tearing an application down from an
    // exit handler, after Qt's own globals, is not safe.
    if (QCoreApplication::instance() != nullptr)
        return;
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "trace_tests";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
}

// Signals owned by the fixture, in one list as in a document.
struct SignalSet {
    SignalList list;
    std::vector<std::unique_ptr<CSignal>> owned;

    CSignal& Add(int numBits, const std::vector<uint32_t>& samples)
    {
        owned.push_back(std::make_unique<CSignal>(&list));
        CSignal& s = *owned.back();
        list.push_back(&s);
        s.m_numBits = numBits;
        s.UpdateMask();
        Fill(s, samples);
        return s;
    }
    static void Fill(CSignal& s, const std::vector<uint32_t>& samples)
    {
        s.EnsureCapacity(static_cast<int32_t>(samples.size()));
        for (size_t i = 0; i < samples.size(); ++i)
            s.m_samples[i] = samples[i];
        s.m_count = static_cast<int32_t>(samples.size());
    }
    std::vector<CSignal*> Rows() const { return {list.begin(), list.end()}; }
};

inline QImage BlackImage(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::black);
    return image;
}

inline QColor At(const QImage& image, int x, int y)
{
    return QColor(image.pixel(x, y));
}

inline bool Same(const QColor& a, const QColor& b)
{
    return a.rgb() == b.rgb();
}

}   // namespace trace_test
