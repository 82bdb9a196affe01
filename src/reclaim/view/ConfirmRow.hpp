#pragma once

#include <QString>
#include <QWidget>
#include <optional>

namespace quillmere {

// One row of the confirm list: the name on one line (shortened in the middle), under it the
// reason a kept row stays, and the size at the right. Kept rows are drawn in the secondary ink.
class ConfirmRow : public QWidget {
    Q_OBJECT
public:
    ConfirmRow(const QString& name, const QString& sizeText, bool isKept = false,
               std::optional<QString> keptReason = std::nullopt, QWidget* parent = nullptr);

    const QString& name() const { return name_; }
    const QString& sizeText() const { return sizeText_; }
    bool isKept() const { return isKept_; }
    const std::optional<QString>& keptReason() const { return keptReason_; }

    // Where each text is drawn at the current width.
    struct Places {
        QRectF name;
        QRectF reason;
        QRectF size;
    };
    Places places(int width) const;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString name_;
    QString sizeText_;
    bool isKept_;
    std::optional<QString> keptReason_;
};

} // namespace quillmere
