// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The row drawers of the waveform view: the trace area of one signal row, on
// screen and in print. DrawTrace is the per-row entry point of the paint
// pipeline; it draws digital rows (a one-bit waveform, or a bus of value boxes
// with optional per-bit rows) and hands analog and spectrum rows to
// DrawAnalog and DrawSpectrum.
//
// The drawers take the QPainter the view paints with and work through the
// CDrawContext state shared on it (font, text colour, alignment, pen), so
// they see what the view selected and leave behind what the row leaves. They
// read the signal and write nothing into it: where a row lies and what the
// mouse hits is the window's row layout (row_layout.h), computed from
// TraceRectOf before the paint.
//
// Drawing time follows the pixels, not the samples: with many samples per
// pixel the transitions of a pixel column are taken from per-block summaries
// of the samples (trace_summary.h), and everything a later block would cover
// anyway is not drawn. The picture is the same as a walk over every sample.

#include <QString>

#include <cstdint>

#include "model/geometry.h"

class CDrawContext;
class CSignal;
class QPainter;

struct TraceArgs {
    int first;   // first sample index drawn (at x = 100)
    int last;    // last sample index drawn, inclusive
    int step;    // > 0: pixels per sample; -n: n samples per pixel
    int y;       // top of the row
    int width;   // width of the trace area (used by the spectrum)
    // Spectrum rows: the cross-hair point of the window, (0, 0) for none.
    GdiPoint crossHair = {};
    // A printed page of the window: white paper, so digital rows take the
    // print colours and the texts and scales outside the graphs are black;
    // analog and spectrum graphs keep their own backgrounds.
    bool paper = false;
    // The row's name as the name column shows it: the value and dB scales
    // beside the graph leave out a label that would cover it. Empty: none.
    GdiRect nameBox = {};
};

// Draws the trace of one row; returns the row extent (the row height, plus
// 15 for a spectrum row with samples). A row without samples draws nothing
// and returns its height.
int DrawTrace(QPainter& painter, const CSignal& signal, const TraceArgs& args);

// The rectangle the trace of a row covers, as DrawTrace draws it: the mouse's
// target for the row. Digital and analog rows span the visible samples from
// x = 100; a spectrum row is its graph, width - 20 wide. Empty for a row
// without samples, which draws no trace.
GdiRect TraceRectOf(const CSignal& signal, const TraceArgs& args);

// One bit (mask) of the samples as a one-bit waveform row with top y from x0,
// with the pen currently selected; returns m_bitHeight.
int DrawBitTrace(QPainter& painter, const CSignal& signal, int first, int last, int x0, int step, int y, uint32_t mask);

// Analog graph with its value ruler; returns the row height.
int DrawAnalog(QPainter& painter, const CSignal& signal, const TraceArgs& args);

// The spectrum and peak hold as the signal holds them (computed when its
// samples or settings change, never here) over the trace width `width` - 20,
// with dB rulers, frequency axis and the cross-hair; returns the row
// height + 15.
int DrawSpectrum(QPainter& painter, const CSignal& signal, const TraceArgs& args);

// Printing on the 0.1 mm layout (trace origin x = 300). The scale is in units
// per sample: s >= 1 advances trunc(s) units per sample, s <= -1 one unit per
// trunc(-s) samples. A scale between -1 and 1 (0 when the visible span is
// wider than the page) compresses the span: a fraction s gives ceil(1/s)
// samples per unit; 0 (or a non-number) takes as many samples per unit as
// fit the span into the page right of x = 300, as the painter maps the page.
// The painter's y axis grows upward and rows hang down the page from y.
// Spectrum rows print as digital rows. Returns the row height.
int DrawPrintTrace(QPainter& painter, const CSignal& signal, int first, int last, double scale, int y);
int DrawPrintBitTrace(QPainter& painter, const CSignal& signal, int first, int last, double scale, int y,
                      uint32_t mask);
int DrawPrintAnalog(QPainter& painter, const CSignal& signal, int first, int last, double scale, int y);

// Above 1000000: f / 1000000 in "MHz"; above 1000: f / 1000 in "kHz"; else
// "Hz" (the comparisons are strict).
void FormatFrequency(double& f, QString& unit);

// A read-out box (multi-line text) 15 pixels right of and 23 below (x, y),
// pushed left and up so that it stays inside bounds. Empty text: nothing.
void DrawLabelBox(CDrawContext& dc, const QString& text, int x, int y, const GdiRect& bounds);

// Summaries of the samples are kept between paints only while a
// CTraceCacheScope is alive on this thread: the caller vouches that the
// samples of `document` are the ones of `revision` (for the view: its
// document and CVexlarDoc::Revision(), which moves with every capture and
// edit). Without a scope every paint reads the visible samples directly
// (same picture, time proportional to the visible samples).
class CTraceCacheScope {
public:
    CTraceCacheScope(const void* document, uint64_t revision);
    ~CTraceCacheScope();
    CTraceCacheScope(const CTraceCacheScope&) = delete;
    CTraceCacheScope& operator=(const CTraceCacheScope&) = delete;

private:
    const void* m_previousDocument;
    uint64_t m_previousRevision;
    bool m_previousActive;
};

// Drops every kept summary (tests and memory pressure).
void ClearTraceCache();
