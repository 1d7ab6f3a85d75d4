#pragma once
#include <QWidget>
#include <cstdint>

class CCaptureLink;
class CVexlarDoc;
class QTimer;

// A plain document view: the signal names and the latest value of each,
// refreshed from the capture link every 10 ms like the waveform view. Used
// where the waveform view is not built in.
class CSignalListView : public QWidget {
    Q_OBJECT
public:
    CSignalListView(CVexlarDoc* doc, CCaptureLink* link, QWidget* parent = nullptr);
    CVexlarDoc* GetDocument() const { return m_doc; }
    int32_t LastCaptureId() const { return m_lastCaptureId; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void OnCaptureTimer();

    CVexlarDoc* m_doc;
    CCaptureLink* m_link;
    QTimer* m_timer;
    int32_t m_lastCaptureId = 0;
};
