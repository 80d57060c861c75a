#pragma once

// The text panel: a plain-text editor made for hex dumps of whole photos, shaped like KTextEditor's
// view. The document (document.h) holds the text in one buffer that wraps into visual lines of 48
// cells; the renderer (renderer.h) lays out and paints only the lines in view, so a paste, a
// keystroke or a jump costs the same whatever the panel holds; the caret (caret.h) is the one
// writer of caret and selection; the pointer (pointer.h) and the input method (input_method.h)
// turn their events into edits and moves. This widget takes the events, edits through one road,
// and shows every change in one place (showChange). Keys, mouse, clipboard, undo, drag and drop and
// input methods behave as in Qt's own text widgets. What it refuses, it tells by refused().

#include "caret.h"
#include "document.h"
#include "renderer.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QPoint>
#include <QString>
#include <QStringView>

#include <memory>
#include <optional>

class QMenu;
class QMimeData;

namespace panel {
class InputMethod;
class Pointer;
} // namespace panel

class TextPanel : public QAbstractScrollArea {
    Q_OBJECT

public:
    explicit TextPanel(QWidget *parent = nullptr);
    ~TextPanel() override;

    // A view of the panel's own buffer, valid until the next change. Hold a Reading while the
    // view is in use and the panel refuses every change meanwhile.
    QStringView text() const { return m_document.text(); }
    QString toPlainText() const { return m_document.text().toString(); }
    const panel::Document &content() const { return m_document; }

    class Reading {
    public:
        explicit Reading(TextPanel &panel)
            : m_panel(panel)
        {
            ++m_panel.m_readers;
        }
        ~Reading() { --m_panel.m_readers; }
        Reading(const Reading &) = delete;
        Reading &operator=(const Reading &) = delete;
        QStringView text() const { return m_panel.text(); }

    private:
        TextPanel &m_panel;
    };

    // Replaces the whole text and forgets the undo history.
    void setPlainText(QStringView text);
    void clear();

    qint64 cursorPosition() const { return m_caret.position(); }
    qint64 anchor() const { return m_caret.anchor(); }
    void setCursorPosition(qint64 position, bool keepAnchor = false);
    bool hasSelection() const { return m_caret.hasSelection(); }
    qint64 selectionStart() const { return m_caret.selectionStart(); }
    qint64 selectionEnd() const { return m_caret.selectionEnd(); }
    qint64 selectionLength() const { return m_caret.selectionLength(); }
    QString selectedText() const;

    // Inserts text at the caret as if pasted: it replaces the selection, in one undo step.
    // Returns false, with the panel as it was, when the text does not fit (refused() says why).
    bool insertPlainText(QStringView text);

    // Text that arrives (from a serial line) goes to the end, as one step to undo with what
    // arrived before it; the caret and the selection stay, and the view follows the end where
    // the caret was there. Returns false, changing nothing and saying nothing, while a reading
    // holds the panel or when the text would not fit.
    bool append(QStringView text);

    // The most characters the panel takes; a paste or drop that would pass it is refused.
    qint64 maximumLength() const { return m_maximumLength; }
    void setMaximumLength(qint64 length) { m_maximumLength = length; }
    bool isReading() const { return m_readers > 0; }

    // The first line in view, and the visual line that shows the caret.
    qint64 firstVisibleLine() const;
    qint64 caretLine() const;
    // The caret's rectangle in the viewport (also where an input method puts its candidates).
    QRect caretRect() const;
    // The character position under a point of the viewport, and a character's rectangle there
    // (null when its line is out of view).
    qint64 positionAt(QPoint point) const;
    QRect characterRect(qint64 position) const;

    // The menu a right click shows: 撤销, 重做, 剪切, 复制, 粘贴, 删除 and 全选, and after them
    // the window's own actions, those that are visible.
    QMenu *createContextMenu(QWidget *parent = nullptr);
    void setMenuActions(const QList<QAction *> &actions) { m_menuActions = actions; }

    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

public slots:
    void undo();
    void redo();
    void cut();
    void copy() const;
    void paste();
    void selectAll();
    void deleteSelection();

signals:
    void textChanged();
    void cursorPositionChanged();
    void selectionChanged();
    // Something was not taken (a paste too large, a dropped file that is no text): why, in words.
    void refused(const QString &message);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void timerEvent(QTimerEvent *event) override;
    void changeEvent(QEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    friend class panel::InputMethod;
    friend class panel::Pointer;

    enum class Move {
        NextChar,
        PreviousChar,
        NextWord,
        PreviousWord,
        NextLine,
        PreviousLine,
        StartOfLine,
        EndOfLine,
        StartOfText,
        EndOfText,
        NextPage,
        PreviousPage,
    };
    struct KeyMove {
        Move to;
        bool select;
    };

    // Editing, all through one road: the change, then show() with the caret after it.
    bool edit(qint64 position, qint64 length, QStringView text, panel::EditKind kind,
              bool joinWithLast = false);
    bool fits(qint64 removed, qint64 inserted);
    void typeText(QStringView text);
    void deleteBackward(bool word);
    void deleteForward(bool word);
    void insertFromMime(const QMimeData *mime, qint64 position);
    void insertAt(const QString &text, qint64 position);

    // Moving the caret (keyboard.cpp for the keys).
    void moveCaret(qint64 position, bool keepAnchor, bool atLineEnd = false);
    void select(qint64 anchor, qint64 position);
    void moveBy(Move move, bool keepAnchor);
    static bool isEditingKey(const QKeyEvent *event);
    static std::optional<KeyMove> keyMove(const QKeyEvent *event);
    qint64 target(Move move, bool &atLineEnd);
    void selectWordAt(qint64 position);
    void updatePrimarySelection() const;

    // Every change of the text or the caret, shown: the scroll bar and the view, the blinking
    // caret, the signals and what assistive technology hears. text is null when only the caret
    // moved; removed is what the change took out.
    void showChange(const panel::CaretChange &caret, const panel::Change *text = nullptr,
                    QStringView removed = {});
    void notifyAccessibility(const panel::Change *change, QStringView removed = {});
    void resetBlink();
    void ensureCaretVisible();
    void updateScrollBar();
    void updateMetrics();
    void paintFrame();
    panel::CaretMark caretMark() const;
    qint64 positionAt(QPoint point, bool &atLineEnd) const;
    void refuseMemory(qint64 characters);

    panel::Document m_document;
    panel::Renderer m_renderer{m_document};
    panel::Caret m_caret;
    std::unique_ptr<panel::Pointer> m_pointer;
    std::unique_ptr<panel::InputMethod> m_input;
    QList<QAction *> m_menuActions;
    int m_readers = 0;
    qint64 m_maximumLength;
    bool m_caretShown = false;
    QBasicTimer m_blink;
};
