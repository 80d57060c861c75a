#pragma once

// The progress bar as the window uses it: range and value as single-precision numbers and a
// visibility switch, each set on its own. A setting the control refuses (a value outside the
// range, a maximum not above the minimum, a minimum not below the maximum) is skipped and
// reported as false, so the bar never falls into QProgressBar's busy animation.

#include <QString>

class QProgressBar;
class QWidget;

class ProgressBar {
public:
    // Creates the bar as a child of parent: horizontal, range 0 to 100, value 0, no text.
    ProgressBar(QWidget *parent, const QString &objectName);

    float Min() const { return m_min; }
    float Max() const { return m_max; }
    float Value() const { return m_value; }
    bool Visible() const;

    bool setMin(float min);
    bool setMax(float max);
    bool setValue(float value);
    void setVisible(bool visible);

    // The first value after value at which the bar as drawn grows by a pixel.
    double nextDrawnValue(double value) const;

    QProgressBar *widget() const { return m_bar; }

private:
    void applyRange();

    QProgressBar *m_bar;
    float m_min = 0;
    float m_max = 100;
    float m_value = 0;
};
