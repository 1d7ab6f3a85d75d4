// SPDX-License-Identifier: GPL-3.0-or-later
// The view's handling of decoder rows: drawing the document's decodes under
// the signals, selection, hover text and the row's context menu (its edits go
// through the document's undo stack).

#include "view/vexlar_view.h"

#include <QAction>
#include <QFileDialog>
#include <QInputDialog>
#include <QMenu>
#include <QMessageBox>
#include <QToolTip>

#include <algorithm>
#include <exception>

#include "decode/annotation_csv.h"
#include "document/text_output.h"
#include "document/vexlar_doc.h"
#include "decode/document_decodes.h"
#include "document/decoder_row_edits.h"

void CVexlarView::OnDecodesChanged()
{
    const QString error = m_decodes ? m_decodes->FirstError() : QString();
    if (error != m_lastDecoderError) {
        m_lastDecoderError = error;
        if (!error.isEmpty() && onStatusMessage)
            onStatusMessage(QStringLiteral("Decoder error: ") + error.simplified());
    }
    Invalidate();
}

int64_t CVexlarView::DecoderRowsExtent() const
{
    int64_t total = 0;
    if (m_decodes) {
        for (size_t i = 0; i < m_decodes->Size(); ++i)
            total += DecoderRowHeight(m_decodes->Row(i)) + CViewport::kRowGap;
    }
    return total;
}

void CVexlarView::DrawDecoderRows(QPainter& painter, int64_t y, int step)
{
    if (!m_doc || !m_decodes)
        return;
    DecoderRowGeometry g;
    g.firstSample = m_viewport.FirstVisible();
    g.pixelsPerSample = step > 0 ? step : 1.0 / -step;
    g.traceLeft = CViewport::kTraceLeft;
    g.right = width();
    // The decodes follow the document's rows right after the change that
    // added or moved one; until then the rows drawn are the common ones.
    const size_t count = std::min(m_decodes->Size(), m_doc->m_decoderRows.size());
    m_drawnDecoderRows.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const CRowDecode& decode = m_decodes->Row(i);
        const int top = static_cast<int>(std::clamp<int64_t>(y, -(1 << 29), 1 << 29));
        DrawDecoderRow(painter, m_doc->m_decoderRows[i], decode, top, g, m_drawnDecoderRows[i]);
        y += DecoderRowHeight(decode) + CViewport::kRowGap;
    }
}

int CVexlarView::DecoderRowAt(GdiPoint point) const
{
    if (!m_doc)
        return -1;
    for (size_t i = 0; i < m_drawnDecoderRows.size() && i < m_doc->m_decoderRows.size(); ++i) {
        const GdiRect r = m_drawnDecoderRows[i].rowRect;
        if (point.y >= r.top && point.y < r.bottom && point.x >= 0 && point.x < width())
            return static_cast<int>(i);
    }
    return -1;
}

QString CVexlarView::DecoderTextAt(GdiPoint point) const
{
    const int hit = DecoderRowAt(point);
    if (hit < 0 || !m_decodes || static_cast<size_t>(hit) >= m_decodes->Size())
        return {};
    return DecoderRowTextAt(m_decodes->Row(static_cast<size_t>(hit)), m_drawnDecoderRows[static_cast<size_t>(hit)],
                            point);
}

bool CVexlarView::SelectDecoderRow(GdiPoint point, bool ctrl)
{
    const int hit = DecoderRowAt(point);
    bool changed = false;
    for (size_t i = 0; i < m_doc->m_decoderRows.size(); ++i) {
        CDecoderRowConfig& row = m_doc->m_decoderRows[i];
        const bool isHit = static_cast<int>(i) == hit;
        const bool selected = isHit ? (ctrl ? !row.selected : true) : (ctrl ? row.selected : false);
        if (selected != row.selected) {
            row.selected = selected;
            changed = true;
        }
    }
    return changed;
}

void CVexlarView::ShowDecoderToolTip(GdiPoint point)
{
    const int hit = DecoderRowAt(point);
    const QString text = DecoderTextAt(point);
    if (text.isEmpty()) {
        if (QToolTip::isVisible() && hit >= 0)
            QToolTip::hideText();
        return;
    }
    QToolTip::showText(mapToGlobal(QPoint(point.x, point.y)), text, this);
}

QMenu* CVexlarView::CreateDecoderRowMenu(QWidget* parent) const
{
    auto* menu = new QMenu(parent);
    menu->addAction(QStringLiteral("&Rename..."))->setData(ID_DECODER_RENAME);
    menu->addAction(QStringLiteral("&Edit..."))->setData(ID_DECODER_EDIT);
    menu->addAction(QStringLiteral("D&uplicate"))->setData(ID_DECODER_DUPLICATE);
    menu->addAction(QStringLiteral("&Delete"))->setData(ID_DECODER_DELETE);
    menu->addSeparator();
    menu->addAction(QStringLiteral("Move &Up"))->setData(ID_DECODER_MOVE_UP);
    menu->addAction(QStringLiteral("Move Do&wn"))->setData(ID_DECODER_MOVE_DOWN);
    menu->addSeparator();
    menu->addAction(QStringLiteral("E&xport Annotations..."))->setData(ID_DECODER_EXPORT);
    return menu;
}

bool CVexlarView::ShowDecoderRowMenu(GdiPoint clientPoint)
{
    const int hit = DecoderRowAt(clientPoint);
    if (hit < 0)
        return false;
    std::unique_ptr<QMenu> menu(CreateDecoderRowMenu(this));
    const QPoint global = mapToGlobal(QPoint(clientPoint.x, clientPoint.y));
    QAction* chosen = menuRunner ? menuRunner(*menu, global) : menu->exec(global);
    // The menu ran its own event loop: the row may be gone since.
    if (chosen && m_doc && static_cast<size_t>(hit) < m_doc->m_decoderRows.size())
        RunDecoderRowCommand(chosen->data().toInt(), static_cast<size_t>(hit));
    return true;
}

void CVexlarView::RunDecoderRowCommand(int id, size_t index)
{
    if (!m_doc || index >= m_doc->m_decoderRows.size())
        return;
    CVexlarDoc& doc = *m_doc;
    switch (id) {
    case ID_DECODER_RENAME: {
        bool ok = false;
        const QString name = QInputDialog::getText(this, QStringLiteral("Rename Decoder Row"), QStringLiteral("Name:"),
                                                   QLineEdit::Normal, doc.m_decoderRows[index].name, &ok);
        if (ok)
            DecoderRowEdits::Rename(doc, index, name);   // the row may be gone meanwhile: then nothing
        return;
    }
    case ID_DECODER_EDIT: {
        CDecoderRowConfig row = doc.m_decoderRows[index];
        if (onEditDecoderRow && onEditDecoderRow(row))
            DecoderRowEdits::Replace(doc, index, row);
        return;
    }
    case ID_DECODER_DUPLICATE:
        DecoderRowEdits::Duplicate(doc, index);
        return;
    case ID_DECODER_DELETE:
        DecoderRowEdits::Delete(doc, index);
        return;
    case ID_DECODER_MOVE_UP:
        DecoderRowEdits::Move(doc, index, -1);
        return;
    case ID_DECODER_MOVE_DOWN:
        DecoderRowEdits::Move(doc, index, +1);
        return;
    case ID_DECODER_EXPORT: {
        const auto result = m_decodes && index < m_decodes->Size() ? m_decodes->Row(index).Result() : nullptr;
        if (!result) {
            QMessageBox::information(this, QStringLiteral("Export Annotations"),
                                     QStringLiteral("The row has no annotations yet."));
            return;
        }
        const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Export Annotations"), QString(),
                                                          QStringLiteral("CSV Files (*.csv)"));
        if (path.isEmpty())
            return;
        try {
            CTextOutput out(path);
            WriteAnnotationsCsv(result->annotations, out);
            out.Close();
        } catch (const std::exception& e) {
            QMessageBox::warning(this, QStringLiteral("Export Annotations"), QString::fromLocal8Bit(e.what()));
        }
        return;
    }
    default:
        return;
    }
}
