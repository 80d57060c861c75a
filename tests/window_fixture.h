#pragma once

// The window as the tests see it: Form1 writing into a folder of its own, shown, with every
// message box it brings up answered and remembered.

#include "main_window.h"
#include "message_boxes.h"

#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace testing {

struct WindowFixture {
    QTemporaryDir *folder = nullptr;
    Form1 *window = nullptr;
    MessageBoxAnswerer *answerer = nullptr;

    void setUp()
    {
        folder = new QTemporaryDir;
        window = new Form1(folder->path());
        window->show();
        if (!QTest::qWaitForWindowExposed(window))
            qWarning("the window was not shown");
        answerer = new MessageBoxAnswerer;
    }
    void tearDown()
    {
        delete answerer;
        delete window;
        delete folder;
    }
    // text pasted into the panel, and 转换 clicked.
    void convert(const QString &text)
    {
        window->Text1->setPlainText(text);
        QTest::mouseClick(window->Command1, Qt::LeftButton);
    }
};

} // namespace testing
