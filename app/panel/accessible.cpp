#include "accessible.h"

#include "text_panel.h"

#include <algorithm>

namespace {

QAccessibleInterface *createForTextPanel(const QString &className, QObject *object)
{
    if (className == QLatin1String("TextPanel") && object && object->isWidgetType())
        return new TextPanelAccessible(static_cast<QWidget *>(object));
    return nullptr;
}

} // namespace

TextPanelAccessible::TextPanelAccessible(QWidget *widget)
    : QAccessibleWidget(widget, QAccessible::EditableText)
{
}

void TextPanelAccessible::install()
{
    static const bool installed = [] {
        QAccessible::installFactory(createForTextPanel);
        return true;
    }();
    Q_UNUSED(installed);
}

TextPanel *TextPanelAccessible::panel() const
{
    return static_cast<TextPanel *>(widget());
}

qint64 TextPanelAccessible::clamped(int offset) const
{
    return std::clamp<qint64>(offset, 0, panel()->content().size());
}

void *TextPanelAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface *>(this);
    if (type == QAccessible::EditableTextInterface)
        return static_cast<QAccessibleEditableTextInterface *>(this);
    return QAccessibleWidget::interface_cast(type);
}

QAccessible::State TextPanelAccessible::state() const
{
    QAccessible::State state = QAccessibleWidget::state();
    state.editable = true;
    state.multiLine = true;
    state.selectableText = true;
    state.focusable = true;
    return state;
}

QString TextPanelAccessible::text(QAccessible::Text type) const
{
    if (type == QAccessible::Value)
        return panel()->toPlainText();
    return QAccessibleWidget::text(type);
}

void TextPanelAccessible::selection(int selectionIndex, int *startOffset, int *endOffset) const
{
    *startOffset = *endOffset = 0;
    if (selectionIndex == 0 && panel()->hasSelection()) {
        *startOffset = panel::clampedToInt(panel()->selectionStart());
        *endOffset = panel::clampedToInt(panel()->selectionEnd());
    }
}

int TextPanelAccessible::selectionCount() const
{
    return panel()->hasSelection() ? 1 : 0;
}

void TextPanelAccessible::addSelection(int startOffset, int endOffset)
{
    setSelection(0, startOffset, endOffset);
}

void TextPanelAccessible::removeSelection(int selectionIndex)
{
    if (selectionIndex == 0)
        panel()->setCursorPosition(panel()->cursorPosition());
}

void TextPanelAccessible::setSelection(int selectionIndex, int startOffset, int endOffset)
{
    if (selectionIndex != 0)
        return;
    panel()->setCursorPosition(clamped(startOffset));
    panel()->setCursorPosition(clamped(endOffset), true);
}

int TextPanelAccessible::cursorPosition() const
{
    return panel::clampedToInt(panel()->cursorPosition());
}

void TextPanelAccessible::setCursorPosition(int position)
{
    panel()->setCursorPosition(clamped(position));
}

QString TextPanelAccessible::text(int startOffset, int endOffset) const
{
    const qint64 from = clamped(startOffset), to = std::max(from, clamped(endOffset));
    return panel()->text().sliced(from, to - from).toString();
}

int TextPanelAccessible::characterCount() const
{
    return panel::clampedToInt(panel()->content().size());
}

QRect TextPanelAccessible::characterRect(int offset) const
{
    const QRect rect = panel()->characterRect(clamped(offset));
    if (rect.isNull())
        return {};
    return {panel()->viewport()->mapToGlobal(rect.topLeft()), rect.size()};
}

int TextPanelAccessible::offsetAtPoint(const QPoint &point) const
{
    TextPanel *p = panel();
    return panel::clampedToInt(p->positionAt(p->viewport()->mapFromGlobal(point)));
}

// Selecting the text brings it into view.
void TextPanelAccessible::scrollToSubstring(int startIndex, int endIndex)
{
    setSelection(0, startIndex, endIndex);
}

QString TextPanelAccessible::attributes(int offset, int *startOffset, int *endOffset) const
{
    Q_UNUSED(offset);
    *startOffset = 0;
    *endOffset = characterCount();
    return {};
}

void TextPanelAccessible::deleteText(int startOffset, int endOffset)
{
    replaceText(startOffset, endOffset, {});
}

void TextPanelAccessible::insertText(int offset, const QString &text)
{
    replaceText(offset, offset, text);
}

void TextPanelAccessible::replaceText(int startOffset, int endOffset, const QString &text)
{
    const qint64 from = clamped(startOffset), to = std::max(from, clamped(endOffset));
    panel()->setCursorPosition(from);
    panel()->setCursorPosition(to, true);
    panel()->insertPlainText(text);
}
