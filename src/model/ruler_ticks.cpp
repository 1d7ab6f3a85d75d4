// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/ruler_ticks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace RulerTicks {

namespace {

// A guard against values so large that adding one step no longer changes the
// floating-point value: the loops below end by position, which then would
// never move. No sensible axis comes near this many ticks.
constexpr int kMaxIterations = 1000000;

int32_t Truncate(double v)
{
    if (!(v > -2147483648.0))
        return INT32_MIN;
    if (!(v < 2147483647.0))
        return INT32_MAX;
    return static_cast<int32_t>(v);
}

}   // namespace

QString FormatLabel(double value, bool absLabels)
{
    if (absLabels)
        value = std::fabs(value);
    // The C library's rounding, not Qt's own formatter: 0.25 gives "0.2".
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, "%.1f", value);
    QString text = QString::fromLatin1(buffer);
    if (text.endsWith(QLatin1String(".0")))
        text.chop(2);
    return text;
}

void ComputeTicks(int32_t a, int32_t b, double first, double last, int32_t spacing, std::vector<double>& majorValues,
                  std::vector<int32_t>& majorPositions, std::vector<int32_t>& minorPositions, bool snap)
{
    const double indexSlack = snap ? 1e-9 : 0.0;
    const double pixelSlack = snap ? 1e-6 : 0.0;
    if (first == last || !std::isfinite(first) || !std::isfinite(last))
        return;
    const int64_t pixels = static_cast<int64_t>(b) - a;
    int64_t n = pixels / (spacing == 0 ? 1 : spacing);
    if (n == 0)
        return;
    n = std::clamp<int64_t>(n, -8, 8);

    double step = (last - first) / static_cast<double>(n);
    bool reversed = false;
    if (step < 0) {
        step = -step;
        reversed = true;
    }
    if (!(step > 0) || !std::isfinite(step))
        return;
    const double m = std::pow(10.0, std::floor(std::log10(step)));
    const double r = step / m;
    double major = 0;
    double minor = 0;
    if (r < 1.75) {
        major = 1 * m;
        minor = 0.1 * m;
    } else if (r < 3.75) {
        major = 2 * m;
        minor = 0.1 * m;
    } else if (r < 7) {
        major = 5 * m;
        minor = 1 * m;
    } else {
        major = 10 * m;
        minor = 1 * m;
    }

    const double p = static_cast<double>(pixels) / (last - first);
    const auto inMajorRange = [&](int32_t x) { return reversed ? (b <= x && x <= a) : (a <= x && x <= b); };
    const double t = std::floor(first / major + indexSlack);
    for (int k = 0; k < kMaxIterations; ++k) {
        const double u = (t + 1 + k) * major;
        const int32_t x = Truncate((u - first) * p + a + pixelSlack);
        if (!inMajorRange(x))
            break;
        majorValues.push_back(u);
        majorPositions.push_back(x);
    }

    // Minor ticks only when they would stand at least 6 pixels apart.
    const double count = std::floor(std::fabs(first - last) / minor);
    const int64_t span = std::llabs(pixels);
    if (!(count >= 1) || count > static_cast<double>(span))
        return;
    if (span / static_cast<int64_t>(count) <= 5)
        return;
    const auto inMinorRange = [&](int32_t x) { return reversed ? (b < x && x < a) : (a <= x && x <= b); };
    const double tm = std::floor(first / minor + indexSlack);
    for (int k = 0; k < kMaxIterations; ++k) {
        const int32_t x = Truncate(((tm + 1 + k) * minor - first) * p + a + pixelSlack);
        if (!inMinorRange(x))
            break;
        minorPositions.push_back(x);
    }
}

}   // namespace RulerTicks
