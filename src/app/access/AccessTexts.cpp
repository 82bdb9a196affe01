#include "app/access/AccessTexts.hpp"

#include "base/Format.hpp"

namespace quillmere::accessTexts {

QString aboutVersionLine(const QString& applicationVersion) {
    return QStringLiteral("Version ") +
           (applicationVersion.isEmpty() ? QStringLiteral("1.0") : applicationVersion);
}

QString hiddenAmountRichText(int64_t bytes, bool withCantReadSentence) {
    const QString amount = QString::fromStdString(formatByteCount(bytes < 0 ? 0 : bytes)).toHtmlEscaped();
    QString text = QStringLiteral("There's <b>%1</b> here Quillmere isn't allowed to see.").arg(amount);
    if (withCantReadSentence) text += QStringLiteral(" The last scan couldn't read into these locations.");
    return text;
}

QString deniedCountLine(int64_t count) {
    if (count == 1) return QStringLiteral("1 location denied");
    return QStringLiteral("%1 locations denied").arg(count);
}

} // namespace quillmere::accessTexts
