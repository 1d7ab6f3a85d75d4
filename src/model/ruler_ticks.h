// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Tick placement and label text of the axis ruler, as pure functions: values
// at 1, 2 or 5 times a power of ten, spaced so that labels do not crowd, and
// minor ticks when there is room for them. No drawing here.

#include <QString>

#include <cstdint>
#include <vector>

namespace RulerTicks {

// Label text of a tick value: "%.1f" without a trailing ".0" (1000.0 -> "1000",
// 2.5 -> "2.5", -3.0 -> "-3", 0.04 -> "0", -0.04 -> "-0"); with absLabels the
// absolute value is written.
QString FormatLabel(double value, bool absLabels);

// a and b are the pixel coordinates of the values first and last; spacing is
// the smallest pixel distance wanted between major ticks. Appends the major
// tick values with their positions, and the minor tick positions.
// `snap`: for values that are not whole numbers (seconds of a time axis),
// whose multiples of a step land a rounding error short of the grid: a tick
// value or position within a billionth of a step or a millionth of a pixel
// of the next whole one counts as that one. Without it the result is the
// plain truncating computation.
void ComputeTicks(int32_t a, int32_t b, double first, double last, int32_t spacing, std::vector<double>& majorValues,
                  std::vector<int32_t>& majorPositions, std::vector<int32_t>& minorPositions, bool snap = false);

}   // namespace RulerTicks
