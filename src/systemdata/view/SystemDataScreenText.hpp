#pragma once

#include <QString>

// The System Data screen's own texts, in one place.
namespace quillmere::systemdata_screen_text {

inline QString leftTitle() {
    return QStringLiteral("Quillmere calls this one number.");
}
inline QString leftParagraph() {
    return QStringLiteral(
        "No storage settings on Linux lump all of this into one \u201cSystem Data\u201d number. This screen "
        "adds up every slice below to make one. Every one of these slices is a real thing with a real size.");
}
inline QString header() {
    return QStringLiteral("What's actually in it");
}
inline QString reclaim() {
    return QStringLiteral("Reclaim\u2026");
}
inline QString leaveAlone() {
    return QStringLiteral("Leave alone");
}
inline QString noAction() {
    return QStringLiteral("No action");
}
inline QString footerSuffix() {
    return QStringLiteral(" can be reclaimed safely");
}
inline QString reclaimAll() {
    return QStringLiteral("Reclaim all safe items\u2026");
}
inline QString ringTitle() {
    return QStringLiteral("System Data");
}
inline QString ringReclaimableSuffix() {
    return QStringLiteral(" reclaimable");
}

} // namespace quillmere::systemdata_screen_text
