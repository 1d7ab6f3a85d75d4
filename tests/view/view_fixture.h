// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Small documents with known samples for the view tests.

#include <QImage>

#include <cmath>
#include <functional>

#include "document/vexlar_doc.h"
#include "model/signal.h"

namespace viewtest {

inline CSignal* AddSignal(CVexlarDoc& doc, const QString& name, int bits, int count,
                          const std::function<uint32_t(int)>& sample)
{
    CSignal* s = doc.AppendNewSignal();
    s->m_name = name;
    s->m_numBits = bits;
    s->m_allBits = false;
    s->UpdateMask();
    s->EnsureCapacity(count);
    for (int i = 0; i < count; ++i)
        s->m_samples[i] = sample(i) & s->m_mask;
    s->m_count = count;
    return s;
}

inline QRgb Px(const QImage& img, int x, int y)
{
    return img.pixel(x, y) & 0xFFFFFF;
}
inline QRgb Rgb(int r, int g, int b)
{
    return qRgb(r, g, b) & 0xFFFFFF;
}

// Colour within a small tolerance per channel (blending rounds).
inline bool Near(QRgb a, QRgb b, int tolerance = 2)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

// A translucent colour over an opaque one, as the raster engine blends it.
inline QRgb Over(QColor top, QRgb bottom)
{
    const double a = top.alphaF();
    return qRgb(static_cast<int>(std::lround(top.red() * a + qRed(bottom) * (1 - a))),
                static_cast<int>(std::lround(top.green() * a + qGreen(bottom) * (1 - a))),
                static_cast<int>(std::lround(top.blue() * a + qBlue(bottom) * (1 - a)))) &
           0xFFFFFF;
}

inline bool AnyNonBlack(const QImage& img, int x0, int y0, int x1, int y1)
{
    for (int y = std::max(0, y0); y < std::min(img.height(), y1); ++y) {
        for (int x = std::max(0, x0); x < std::min(img.width(), x1); ++x) {
            if (Px(img, x, y) != 0)
                return true;
        }
    }
    return false;
}

inline bool SameRegion(const QImage& a, const QImage& b, int x0, int y0, int x1, int y1)
{
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            if (Px(a, x, y) != Px(b, x, y))
                return false;
        }
    }
    return true;
}

// Rows y in [y0, y1) where column x differs between two images.
inline QList<int> DifferingRows(const QImage& a, const QImage& b, int x, int y0, int y1)
{
    QList<int> rows;
    for (int y = y0; y < y1; ++y) {
        if (Px(a, x, y) != Px(b, x, y))
            rows << y;
    }
    return rows;
}

inline QList<int> Range(int from, int to)
{
    QList<int> v;
    for (int i = from; i < to; ++i)
        v << i;
    return v;
}

}   // namespace viewtest
