#pragma once

#include "ui/Ink.hpp"

#include <QFont>
#include <QWidget>

namespace quillmere {

// The kit's one label for text that must fit its width: on one line, elided in the middle
// (with an optional run in another weight after it); broken between words; or broken
// anywhere, for paths and names that have no spaces to break at. Colours follow the window's
// scheme on every paint.
class WrappingLabel : public QWidget {
    Q_OBJECT
public:
    enum class Wrap { none, words, anywhere };

    WrappingLabel(const QString& text, const QFont& font, Ink ink, Wrap wrap, QWidget* parent = nullptr);

    const QString& text() const { return text_; }
    Wrap wrap() const { return wrap_; }
    // A part drawn after the text in another weight (the amount after "You'll get back ");
    // only a label on one line has one.
    void setEmphasis(const QString& emphasis, QFont::Weight weight);

    bool hasHeightForWidth() const override { return wrap_ != Wrap::none; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString text_;
    QString emphasis_;
    QFont font_;
    QFont emphasisFont_;
    Ink ink_;
    Wrap wrap_;
};

} // namespace quillmere
