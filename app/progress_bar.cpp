#include "progress_bar.h"

#include <QProgressBar>

#include <algorithm>
#include <cmath>

namespace {
constexpr qint64 kFrameNs = 16'000'000; // one frame at 60 Hz
}

ProgressBar::ProgressBar(QWidget *parent, const QString &objectName)
    : m_bar(new QProgressBar(parent))
{
    m_bar->setObjectName(objectName);
    m_bar->setOrientation(Qt::Horizontal);
    m_bar->setTextVisible(false);
    applyRange();
}

bool ProgressBar::Visible() const
{
    return m_bar->isVisibleTo(m_bar->parentWidget());
}

bool ProgressBar::setMin(float min)
{
    if (!(min < m_max))
        return false;
    m_min = min;
    applyRange();
    return true;
}

bool ProgressBar::setMax(float max)
{
    if (!(max > m_min))
        return false;
    m_max = max;
    applyRange();
    return true;
}

bool ProgressBar::setValue(float value)
{
    if (!(value >= m_min && value <= m_max))
        return false;
    const bool redraw = drawnPixels(value) != drawnPixels(m_value) || value == m_max;
    m_value = value;
    emit valueSet(value);
    if (!redraw) {
        // The widget's own value follows without a repaint, so that it reads as set.
        if (!m_drawPending)
            m_bar->setValue(int(std::lround(value)));
        return true;
    }
    if (m_lastDrawn.isValid() && m_lastDrawn.nsecsElapsed() < kFrameNs) {
        if (!m_drawPending) {
            m_drawPending = true;
            QMetaObject::invokeMethod(this, &ProgressBar::draw, Qt::QueuedConnection);
        }
        return true;
    }
    draw();
    return true;
}

void ProgressBar::setVisible(bool visible)
{
    m_bar->setVisible(visible);
}

double ProgressBar::nextDrawnValue(double value) const
{
    return m_min + std::ceil((drawnPixels(value) + 1) / pixelsPerUnit());
}

double ProgressBar::pixelsPerUnit() const
{
    return std::max(1, m_bar->width()) / (double(m_max) - double(m_min));
}

int ProgressBar::drawnPixels(double value) const
{
    return int(std::floor((value - m_min) * pixelsPerUnit()));
}

// Puts the value on the widget and paints it at once: the caller may keep the event loop
// waiting.
void ProgressBar::draw()
{
    m_drawPending = false;
    m_bar->setValue(int(std::lround(m_value)));
    m_bar->repaint();
    m_lastDrawn.start();
}

void ProgressBar::applyRange()
{
    // A range change can leave the value outside; it keeps to the nearest end.
    m_value = std::clamp(m_value, m_min, m_max);
    // Whole numbers for the widget; equal ends would turn it into a busy indicator.
    const int min = int(std::lround(m_min));
    m_bar->setRange(min, std::max(min + 1, int(std::lround(m_max))));
    m_bar->setValue(int(std::lround(m_value)));
}
