#include "view/name_column.h"

#include "model/signal.h"
#include "view/draw_context.h"
#include "view/theme_colors.h"

namespace {

void DrawColumn(CDrawContext& dc, CSignal& signal, int y, int width, bool bitNumbers) {
    dc.SetTextColor(signal.m_selected ? ThemeColors::SelectedText() : ThemeColors::NormalText());
    dc.SetTextAlign(TextAlign::LeftTop);
    dc.TextOut(signal.m_bitGap, y + signal.m_bitGap, signal.m_name);

    signal.m_labelRect = GdiRect{0, y, width, y + signal.GetRowHeight()};

    dc.SetTextAlign(TextAlign::RightTop);
    if (!bitNumbers) return;
    const int x = width - 2 * signal.m_bitGap;
    for (int f = 0; f < signal.m_numBits; ++f) {
        const int yb = y + signal.m_busHeight + signal.m_bitGap - 3 +
                       f * (signal.m_bitGap + signal.m_bitHeight);
        dc.TextOut(x, yb, QString::asprintf("%d", signal.m_numBits - 1 - f));
    }
}

}  // namespace

void DrawNameColumn(CDrawContext& dc, CSignal& signal, int y) {
    const bool perBitRows = signal.m_numBits > 1 && signal.m_expanded && !signal.m_analog &&
                            !signal.m_spectrum;
    DrawColumn(dc, signal, y, 100, perBitRows);
}

void DrawPrintNameColumn(CDrawContext& dc, CSignal& signal, int y) {
    const bool perBitRows = signal.m_numBits > 1 && signal.m_expanded && !signal.m_analog;
    DrawColumn(dc, signal, y, 300, perBitRows);
}
