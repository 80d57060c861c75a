#pragma once

// The progress bar as the window uses it: range and value as single-precision numbers and a
// visibility switch, each set on its own. A setting the control refuses (a value outside the
// range, a maximum not above the minimum, a minimum not below the maximum) is skipped and
// reported as false, so the bar never falls into QProgressBar's busy animation.
//
// The value is kept exactly; the widget is touched only when the bar as drawn would change, and
// then at most once a frame: a conversion sets thousands of values within milliseconds, and a
// repaint costs more than decoding the pairs between two of them. A change held back that way is
// drawn as soon as the event loop runs again.

#include <QElapsedTimer>
#include <QObject>
#include <QString>

class QProgressBar;
class QWidget;

class ProgressBar : public QObject {
    Q_OBJECT

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

signals:
    // Every value that was set, whether or not the bar was drawn anew.
    void valueSet(float value);

private:
    void applyRange();
    double pixelsPerUnit() const;
    int drawnPixels(double value) const;
    void draw();

    QProgressBar *m_bar;
    float m_min = 0;
    float m_max = 100;
    float m_value = 0;
    QElapsedTimer m_lastDrawn;
    bool m_drawPending = false;
};
