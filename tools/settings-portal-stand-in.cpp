// Serves the desktop portal's settings interface on the session bus with a colour preference
// of our choosing, so the window's "Match system" appearance can be seen on a desktop without
// a portal (Xvfb, a bare window manager). Usage: settings-portal-stand-in SCHEME
// [--no-animations], where SCHEME is 0 (no preference), 1 (dark) or 2 (light); each further
// number read from standard input becomes the new preference and is announced as a change.
// --no-animations also answers that the desktop's animations are off (reduced motion).
#include "support/FakeSettingsPortal.hpp"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTextStream>
#include <iostream>
#include <unistd.h>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    using quillmere::test::FakeSettingsPortal;
    using quillmere::test::kAnimationsKey;
    using quillmere::test::kColorSchemeKey;
    if (argc < 2 || (argc == 3 && QString(argv[2]) != "--no-animations") || argc > 3) {
        std::cerr << "usage: settings-portal-stand-in 0|1|2 [--no-animations]\n";
        return 2;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    FakeSettingsPortal portal;
    portal.values[kColorSchemeKey] = QString(argv[1]).toUInt();
    if (argc == 3) portal.values[kAnimationsKey] = false;
    if (!portal.serveOn(bus)) {
        std::cerr << "the session bus refused the portal's name\n";
        return 1;
    }
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QTextStream lines(stdin);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        QString line;
        if (!lines.readLineInto(&line)) {
            input.setEnabled(false);
            return;
        }
        portal.values[kColorSchemeKey] = line.trimmed().toUInt();
        FakeSettingsPortal::sendChange(bus, kColorSchemeKey.first, kColorSchemeKey.second,
                                       portal.values[kColorSchemeKey]);
    });
    return app.exec();
}
