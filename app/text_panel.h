#pragma once

// The text panel: a plain-text editor made for hex dumps of whole photos. The text lives in one
// contiguous buffer (PanelText) that wraps into visual lines of 48 cells; only the lines in view
// are laid out and painted, so a paste, a keystroke or a jump costs the same whatever the panel
// holds. Keys, mouse, clipboard, undo, drag and drop and input methods behave as in Qt's own
// text widgets.

#include "panel_text.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QInputMethodEvent>
#include <QPoint>
#include <QString>
#include <QStringView>

#include <optional>

class QMenu;
class QMimeData;
class QTextLayout;

class TextPanel : public QAbstractScrollArea {
    Q_OBJECT

public:
    explicit TextPanel(QWidget *parent = nullptr);
    ~TextPanel() override;

    // A view of the panel's own buffer, valid until the next change. Hold a Reading while the
    // view is in use and the panel refuses every change meanwhile.
    QStringView text() const { return m_text.text(); }
    QString toPlainText() const { return m_text.text().toString(); }
    const panel::PanelText &content() const { return m_text; }

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

    qint64 cursorPosition() const { return m_caret; }
    qint64 anchor() const { return m_anchor; }
    void setCursorPosition(qint64 position, bool keepAnchor = false);
    bool hasSelection() const { return m_caret != m_anchor; }
    qint64 selectionStart() const { return std::min(m_caret, m_anchor); }
    qint64 selectionEnd() const { return std::max(m_caret, m_anchor); }
    qint64 selectionLength() const { return selectionEnd() - selectionStart(); }
    QString selectedText() const;

    // Inserts text at the caret as if pasted: it replaces the selection, in one undo step.
    // Returns false, with the panel as it was, when the text does not fit (a message says why).
    bool insertPlainText(QStringView text);

    // Text that arrives (from a serial line) goes to the end, as one step to undo with what
    // arrived before it; the caret and the selection stay, and the view follows the end where
    // the caret was there. Returns false, changing nothing and saying nothing, while a reading
    // holds the panel or when the text would not fit.
    bool append(QStringView text);

    // The most characters the panel takes; a paste or drop that would pass it is refused.
    qint64 maximumLength() const { return m_maximumLength; }
    void setMaximumLength(qint64 length) { m_maximumLength = length; }

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
    QList<QAction *> m_menuActions;

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

    // Editing, all through one road: the change, the caret, the signals and the repaint.
    bool edit(qint64 position, qint64 length, QStringView text, panel::EditKind kind,
              bool joinWithLast = false);
    bool fits(qint64 removed, qint64 inserted);
    void afterChange(const panel::Change &change, QStringView removed = {});
    void typeText(QStringView text);
    void deleteBackward(bool word);
    void deleteForward(bool word);
    void insertFromMime(const QMimeData *mime, qint64 position);
    void insertAt(const QString &text, qint64 position);
    bool readDroppedFiles(const QMimeData *mime, QString &text);

    // The caret and the selection.
    void moveCaret(qint64 position, bool keepAnchor, bool atLineEnd = false);
    void moveBy(Move move, bool keepAnchor);
    struct KeyMove {
        Move to;
        bool select;
    };
    static std::optional<KeyMove> keyMove(const QKeyEvent *event);
    qint64 target(Move move, bool &atLineEnd);
    qint64 nextCharacter(qint64 position) const;
    qint64 previousCharacter(qint64 position) const;
    qint64 nextWord(qint64 position) const;
    qint64 previousWord(qint64 position) const;
    void selectWordAt(qint64 position);
    void updatePrimarySelection() const;
    void resetBlink();
    void ensureCaretVisible();

    // Lines and geometry.
    qint64 displayLine(qint64 position, bool atLineEnd) const;
    qint64 caretMaximum(qint64 line) const;
    int visibleLines() const;
    void updateScrollBar();
    void updateMetrics();
    QString displayText(qint64 line) const;
    void layLine(QTextLayout &layout, qint64 line, bool withPreedit) const;
    int xOf(qint64 position, qint64 line) const;
    qint64 positionAtX(qint64 line, int x, bool &atLineEnd) const;
    qint64 positionAt(QPoint point, bool &atLineEnd) const;
    void dragCaretTo(QPoint point);
    QPoint lineOrigin(qint64 line) const;
    void paintFrame();

    void notifyAccessibility(const panel::Change *change, QStringView removed = {});
    void warn(const QString &message);
    void warnMemory(qint64 characters);

    panel::PanelText m_text;
    qint64 m_caret = 0;
    qint64 m_anchor = 0;
    bool m_atLineEnd = false; // the caret sits at the end of a wrapped line, not the next start
    int m_preferredX = -1;    // kept over a run of moves up and down
    int m_readers = 0;
    qint64 m_maximumLength;

    int m_lineHeight = 12;
    int m_cellWidth = 6; // a half-width character's advance
    int m_margin = 2;

    bool m_caretShown = false;
    QBasicTimer m_blink;

    QString m_preedit;
    QList<QInputMethodEvent::Attribute> m_preeditAttributes;
    int m_preeditCaret = 0;
    bool m_preeditCaretVisible = true;

    bool m_selecting = false;   // a drag that selects
    bool m_dragPending = false; // a press inside the selection, maybe the start of a drag
    bool m_movedByDrop = false; // the last drag from here was dropped here, as a move
    QPoint m_pressPoint;
    QPoint m_lastMousePoint;
    QBasicTimer m_autoScroll;
    qint64 m_dropCaret = -1; // where a drag over the panel would drop
};
