#pragma once

// The text panel as the tests see it: in the window's size and font, shown and focused, with what
// it refuses told in the warning box, as the window tells it.

#include "text_panel.h"
#include "warning.h"

#include <QTest>

namespace testing {

inline TextPanel *makePanel()
{
    auto *panel = new TextPanel;
    panel->setFont(QFont(QStringLiteral("AR PL UMing CN"), 9));
    panel->resize(313, 369);
    panel->show();
    if (!QTest::qWaitForWindowExposed(panel))
        qWarning("the text panel was not shown");
    panel->setFocus();
    QObject::connect(panel, &TextPanel::refused, panel,
                     [panel](const QString &why) { showWarning(panel->window(), why); });
    return panel;
}

} // namespace testing
