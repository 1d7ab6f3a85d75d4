// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The drawing of a protocol decoder row under the signals: a name line, then
// one lane per annotation row of the decoder that has annotations, with
// labelled boxes coloured per annotation class, text elided to the box, and
// dense stretches as solid blocks. The decodes belong to the document
// (CDocumentDecodes) and every window draws the same results; what a window
// drew is kept per window, for hover texts and clicks.

#include <QColor>
#include <QString>

#include <cstdint>
#include <vector>

#include "decode/annotation_layout.h"
#include "model/geometry.h"

class CRowDecode;
class QPainter;
struct CDecoderRowConfig;

struct DecoderRowGeometry {
    int64_t firstSample = 0;
    double pixelsPerSample = 1.0;
    int traceLeft = 100;
    int right = 0;   // exclusive
};

// What one window drew of a decoder row at its last paint.
struct DecoderRowPaint {
    GdiRect rowRect;
    std::vector<int> laneTops;         // each drawn lane's top
    std::vector<LaneLayout> layouts;   // and its boxes and blocks
};

constexpr int kDecoderTitleHeight = 16;
constexpr int kDecoderLaneHeight = 18;

// Height of the row: the name line and at least one lane.
int DecoderRowHeight(const CRowDecode& decode);
// Draws the row with its top at y; the name column gets the row's name.
void DrawDecoderRow(QPainter& painter, const CDecoderRowConfig& row, const CRowDecode& decode, int y,
                    const DecoderRowGeometry& g, DecoderRowPaint& drawn);
// The full text of the annotation under a point of the last paint, or the
// row's error on its name line (empty: none).
QString DecoderRowTextAt(const CRowDecode& decode, const DecoderRowPaint& drawn, GdiPoint point);

// The colour of an annotation class (distinct hues for neighbouring classes).
QColor AnnotationClassColor(int cls);
