#pragma once

#include <QAbstractButton>
#include <QLabel>
#include <QStringList>
#include <QTextDocument>
#include <QWidget>

namespace quillmere::testing {

// What a user reads on a screen: the shown labels' text (rich text as plain) in order.
inline QStringList shownTexts(const QWidget& root) {
    QStringList texts;
    for (const QLabel* label : root.findChildren<QLabel*>()) {
        if (!label->isVisibleTo(&root) || label->text().isEmpty() || label->objectName().contains('.'))
            continue;
        if (label->textFormat() == Qt::RichText) {
            QTextDocument document;
            document.setHtml(label->text());
            texts << document.toPlainText();
        } else {
            texts << label->text();
        }
    }
    return texts;
}

// The object names of the shown symbol labels: a symbol label is named after its symbol.
inline QStringList shownSymbols(const QWidget& root) {
    QStringList names;
    for (const QLabel* label : root.findChildren<QLabel*>())
        if (label->isVisibleTo(&root) && label->objectName().contains('.')) names << label->objectName();
    return names;
}

inline QAbstractButton* shownButton(const QWidget& root, const QString& title) {
    for (QAbstractButton* button : root.findChildren<QAbstractButton*>())
        if (button->text() == title && button->isVisibleTo(&root)) return button;
    return nullptr;
}

inline QStringList shownButtons(const QWidget& root) {
    QStringList titles;
    for (const QAbstractButton* button : root.findChildren<QAbstractButton*>())
        if (button->isVisibleTo(&root) && !button->text().isEmpty()) titles << button->text();
    return titles;
}

} // namespace quillmere::testing
