// SPDX-License-Identifier: GPL-3.0-or-later
// The view's handling of decoder rows: polling their decodes, drawing them
// under the signals, selection, hover text and the row's context menu.

#include "view/vexlar_view.h"

#include <QAction>
#include <QFileDialog>
#include <QInputDialog>
#include <QMenu>
#include <QMessageBox>
#include <QToolTip>

#include <exception>

#include "decode/annotation_csv.h"
#include "document/text_output.h"
#include "document/vexlar_doc.h"
#include "view/decoder_rows.h"

bool CVexlarView::PollDecoderRows()
{
    if (!m_doc)
        return false;
    const bool changed = m_decoderRows->Poll(*m_doc);
    const QString error = m_decoderRows->FirstError();
    if (error != m_lastDecoderError) {
        m_lastDecoderError = error;
        if (!error.isEmpty() && onStatusMessage)
            onStatusMessage(QStringLiteral("Decoder error: ") + error.simplified());
    }
    return changed;
}

void CVexlarView::PollDecoders()
{
    if (PollDecoderRows())
        Invalidate();
    if (!m_doc || !m_decoderRows->Pending(*m_doc))
        m_decoderPoll.stop();
}

void CVexlarView::ScheduleDecoderPoll()
{
    if (m_doc && (!m_doc->m_decoderRows.empty() || m_decoderRows->Size() > 0) && !m_decoderPoll.isActive())
        m_decoderPoll.start();
}

void CVexlarView::DrawDecoderRows(QPainter& painter, int64_t y, int step)
{
    if (!m_doc)
        return;
    DecoderRowGeometry g;
    g.firstSample = m_viewport.FirstVisible();
    g.pixelsPerSample = step > 0 ? step : 1.0 / -step;
    g.traceLeft = CViewport::kTraceLeft;
    g.right = width();
    for (size_t i = 0; i < m_decoderRows->Size() && i < m_doc->m_decoderRows.size(); ++i) {
        CDecoderRowRuntime& row = m_decoderRows->Row(i);
        const int top = static_cast<int>(std::clamp<int64_t>(y, -(1 << 29), 1 << 29));
        row.Draw(painter, *m_doc, i, top, g);
        y += row.Height() + CViewport::kRowGap;
    }
}

int CVexlarView::DecoderRowAt(GdiPoint point) const
{
    if (!m_doc)
        return -1;
    for (size_t i = 0; i < m_decoderRows->Size(); ++i) {
        const GdiRect r = m_decoderRows->Row(i).RowRect();
        if (point.y >= r.top && point.y < r.bottom && point.x >= 0 && point.x < width())
            return static_cast<int>(i);
    }
    return -1;
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
    const QString text = hit >= 0 ? m_decoderRows->Row(static_cast<size_t>(hit)).TextAt(point) : QString();
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
    auto& rows = m_doc->m_decoderRows;
    switch (id) {
    case ID_DECODER_RENAME: {
        bool ok = false;
        const QString name = QInputDialog::getText(this, QStringLiteral("Rename Decoder Row"), QStringLiteral("Name:"),
                                                   QLineEdit::Normal, rows[index].name, &ok);
        if (!ok || index >= rows.size())
            return;
        rows[index].name = name;
        break;
    }
    case ID_DECODER_EDIT:
        if (!onEditDecoderRow || !onEditDecoderRow(index))
            return;
        break;
    case ID_DECODER_DUPLICATE: {
        CDecoderRowConfig copy = rows[index];
        rows[index].selected = false;
        rows.insert(rows.begin() + static_cast<std::ptrdiff_t>(index) + 1, copy);
        break;
    }
    case ID_DECODER_DELETE:
        rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(index));
        break;
    case ID_DECODER_MOVE_UP:
        if (index == 0)
            return;
        std::swap(rows[index], rows[index - 1]);
        break;
    case ID_DECODER_MOVE_DOWN:
        if (index + 1 >= rows.size())
            return;
        std::swap(rows[index], rows[index + 1]);
        break;
    case ID_DECODER_EXPORT: {
        const auto result = m_decoderRows->Row(index).Result();
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
    // Not on the undo stack yet: the change is recorded as a plain modification.
    m_doc->SetModifiedFlag(true);
    m_doc->BumpRevision();
    Invalidate();
}
