#include "progress_bar.h"

#include <QProgressBar>

#include <algorithm>
#include <cmath>

ProgressBar::ProgressBar(QWidget *parent, const QString &objectName)
    : m_bar(new QProgressBar(parent))
{
    m_bar->setObjectName(objectName);
    m_bar->setOrientation(Qt::Horizontal);
    m_bar->setTextVisible(false);
    applyRange();
    m_bar->setValue(0);
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
    m_value = value;
    // QProgressBar repaints at once when the drawn bar changes, so the bar moves even while
    // the caller keeps the event loop waiting.
    m_bar->setValue(int(std::lround(value)));
    return true;
}

void ProgressBar::setVisible(bool visible)
{
    m_bar->setVisible(visible);
}

double ProgressBar::nextDrawnValue(double value) const
{
    const double span = double(m_max) - double(m_min);
    const double pixels = std::max(1, m_bar->width());
    const double drawn = std::floor((value - m_min) * pixels / span);
    return m_min + std::ceil((drawn + 1) * span / pixels);
}

void ProgressBar::applyRange()
{
    // A range change can leave the value outside; it keeps to the nearest end, as drawn.
    m_value = std::clamp(m_value, m_min, m_max);
    // Whole numbers for the widget; equal ends would turn it into a busy indicator.
    const int min = int(std::lround(m_min));
    m_bar->setRange(min, std::max(min + 1, int(std::lround(m_max))));
    m_bar->setValue(int(std::lround(m_value)));
}
