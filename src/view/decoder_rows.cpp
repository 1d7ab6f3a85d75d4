// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/decoder_rows.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

#include "decode/document_decodes.h"
#include "document/decoder_row.h"

namespace {

constexpr int kMinBoxWidth = 4;

// The longest of the annotation's texts that fits `width`, else the shortest
// elided; empty when not even an ellipsis fits.
QString FittingText(const CAnnotationStore& store, const Annotation& a, const QFontMetrics& fm, int width)
{
    const int count = store.TextCount(a);
    for (int i = 0; i < count; ++i) {
        const QString t = QString::fromUtf8(store.Text(a, i));
        if (fm.horizontalAdvance(t) <= width)
            return t;
    }
    if (count == 0 || width < fm.horizontalAdvance(QStringLiteral("…")) + 2)
        return {};
    return fm.elidedText(QString::fromUtf8(store.Text(a, count - 1)), Qt::ElideRight, width);
}

}   // namespace

QColor AnnotationClassColor(int cls)
{
    // Hues spread by the golden angle, so classes next to each other differ.
    const int hue = static_cast<int>((static_cast<unsigned>(cls) * 137u + 20u) % 360u);
    return QColor::fromHsv(hue, 150, 200);
}

int DecoderRowHeight(const CRowDecode& decode)
{
    return kDecoderTitleHeight + kDecoderLaneHeight * std::max<int>(1, static_cast<int>(decode.ShownLanes().size()));
}

void DrawDecoderRow(QPainter& painter, const CDecoderRowConfig& row, const CRowDecode& decode, int y,
                    const DecoderRowGeometry& g, DecoderRowPaint& drawn)
{
    const int h = DecoderRowHeight(decode);
    drawn.rowRect = GdiRect{0, y, g.right, y + h};
    drawn.laneTops.clear();
    drawn.layouts.clear();
    const QString& error = decode.Error();
    const std::shared_ptr<const DecodeResult> result = decode.Result();
    painter.save();
    painter.setBrush(Qt::NoBrush);
    painter.setRenderHint(QPainter::Antialiasing, false);
    QFont font(QStringLiteral("Verdana"));
    font.setPixelSize(11);
    painter.setFont(font);
    const QFontMetrics fm(font);

    // Name column: the row's name, and the lanes' names under it.
    painter.setPen(row.selected ? QColor(255, 255, 255) : QColor(200, 200, 200));
    painter.drawText(QRect(2, y + 1, g.traceLeft - 4, kDecoderTitleHeight), Qt::AlignLeft | Qt::AlignVCenter,
                     fm.elidedText(row.name, Qt::ElideRight, g.traceLeft - 4));
    if (row.selected)
        painter.fillRect(QRect(0, y, 3, h), QColor(255, 255, 255));

    // Status on the title line: decoding, or the error.
    QString status;
    QColor statusColor(160, 160, 160);
    if (!error.isEmpty()) {
        status = error;
        statusColor = QColor(255, 110, 90);
    } else if (decode.Decoding() && !result) {
        // Later decodes replace the shown result when they end; only the
        // first one has nothing to show meanwhile.
        status = QStringLiteral("decoding...");
    } else if (result && result->annotations.Size() == 0) {
        status = QStringLiteral("no annotations");
    }
    if (!status.isEmpty()) {
        painter.setPen(statusColor);
        painter.drawText(QRect(g.traceLeft + 4, y + 1, std::max(0, g.right - g.traceLeft - 8), kDecoderTitleHeight),
                         Qt::AlignLeft | Qt::AlignVCenter,
                         fm.elidedText(status.simplified(), Qt::ElideRight, g.right - g.traceLeft - 8));
    }

    if (result) {
        const CAnnotationStore& store = result->annotations;
        const LaneGeometry lg{g.firstSample, g.pixelsPerSample, g.traceLeft, g.right};
        painter.setClipRect(QRect(g.traceLeft, y, std::max(0, g.right - g.traceLeft), h));
        int laneTop = y + kDecoderTitleHeight;
        for (uint16_t lane : decode.ShownLanes()) {
            drawn.laneTops.push_back(laneTop);
            drawn.layouts.emplace_back();
            LaneLayout& layout = drawn.layouts.back();
            LayoutLane(store, decode.Lanes()[lane], lg, kMinBoxWidth, layout);
            const int top = laneTop + 1;
            const int boxH = kDecoderLaneHeight - 3;
            for (const LaneBlock& b : layout.blocks)
                painter.fillRect(QRect(b.x0, top, b.x1 - b.x0, boxH), QColor(150, 150, 150));
            for (const LaneBox& b : layout.boxes) {
                const Annotation& a = store.Items()[b.item];
                const QColor c = AnnotationClassColor(a.cls);
                const int x0 = std::max(b.x0, g.traceLeft - 2);
                const int x1 = std::min(b.x1, g.right + 2);
                painter.fillRect(QRect(x0, top, x1 - x0, boxH), c.darker(160));
                painter.setPen(c);
                painter.drawRect(QRect(x0, top, x1 - x0 - 1, boxH - 1));
                const int textLeft = std::max(x0, g.traceLeft) + 2;
                const int textRight = std::min(x1, g.right) - 2;
                const QString text = FittingText(store, a, fm, textRight - textLeft);
                if (!text.isEmpty()) {
                    painter.setPen(QColor(255, 255, 255));
                    painter.drawText(QRect(textLeft, top, textRight - textLeft, boxH), Qt::AlignCenter, text);
                }
            }
            // The lane's name in the name column.
            painter.setClipping(false);
            painter.setPen(QColor(150, 150, 150));
            const AnnotationLane& info = store.Lanes()[lane];
            painter.drawText(QRect(8, laneTop, g.traceLeft - 10, kDecoderLaneHeight), Qt::AlignLeft | Qt::AlignVCenter,
                             fm.elidedText(QString::fromStdString(info.desc), Qt::ElideRight, g.traceLeft - 10));
            painter.setClipRect(QRect(g.traceLeft, y, std::max(0, g.right - g.traceLeft), h));
            laneTop += kDecoderLaneHeight;
        }
    }
    painter.restore();
}

QString DecoderRowTextAt(const CRowDecode& decode, const DecoderRowPaint& drawn, GdiPoint point)
{
    const QString& error = decode.Error();
    const std::shared_ptr<const DecodeResult> result = decode.Result();
    if (point.y >= drawn.rowRect.top && point.y < drawn.rowRect.top + kDecoderTitleHeight && !error.isEmpty())
        return error;
    if (!result)
        return {};
    const CAnnotationStore& store = result->annotations;
    for (size_t i = 0; i < drawn.layouts.size(); ++i) {
        if (point.y < drawn.laneTops[i] || point.y >= drawn.laneTops[i] + kDecoderLaneHeight)
            continue;
        for (const LaneBox& b : drawn.layouts[i].boxes) {
            if (point.x >= b.x0 && point.x < b.x1) {
                const Annotation& a = store.Items()[b.item];
                return QString::fromStdString(store.ClassId(a)) + QStringLiteral(": ") +
                       QString::fromUtf8(store.Text(a));
            }
        }
        for (const LaneBlock& b : drawn.layouts[i].blocks) {
            if (point.x >= b.x0 && point.x < b.x1)
                return QStringLiteral("(many annotations: zoom in)");
        }
    }
    return {};
}
