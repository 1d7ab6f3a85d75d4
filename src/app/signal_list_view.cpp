#include "app/signal_list_view.h"

#include "document/capture_handoff.h"
#include "document/vexlar_doc.h"
#include "model/signal.h"

#include <QPainter>
#include <QTimer>

CSignalListView::CSignalListView(CVexlarDoc* doc, CCaptureLink* link, QWidget* parent)
    : QWidget(parent), m_doc(doc), m_link(link), m_timer(new QTimer(this)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(200, 120);
    m_timer->setInterval(10);
    connect(m_timer, &QTimer::timeout, this, &CSignalListView::OnCaptureTimer);
    m_timer->start();
}

void CSignalListView::OnCaptureTimer() {
    if (m_link && m_doc && HandOffCapture(*m_link, *m_doc, m_lastCaptureId)) {
        update();
    }
}

void CSignalListView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (!m_doc) {
        return;
    }
    painter.setFont(QFont(QStringLiteral("Verdana"), 10));
    int y = 20;
    for (CSignal* signal : m_doc->m_signals) {
        painter.setPen(QColor(190, 190, 190));
        painter.drawText(10, y, signal->m_name);
        if (signal->m_count > 0) {
            QString value;
            signal->FormatValue(value, signal->m_samples[signal->m_count / 2]);
            painter.drawText(220, y, value);
        }
        y += 24;
    }
}
