// Renders both steps of the confirmation sheet for every target case, the working state, a
// success and a long failure, to PNG files in light and dark, for looking at them.
// Usage: sheet-screens OUTPUT_FOLDER   (QT_SCALE_FACTOR=2 renders at 2x)

#include "reclaim/view/DeleteConfirmationSheet.hpp"
#include "reclaim/view/DeleteSteps.hpp"
#include "reclaim/view/SheetSamples.hpp"
#include "ui/Theme.hpp"

#include <QApplication>
#include <QDir>
#include <iostream>

namespace {

using namespace quillmere;

void save(DeleteConfirmationSheet& sheet, bool dark, const QString& path) {
    sheet.setPalette(Theme::qtPalette(dark));
    sheet.show();
    QApplication::processEvents();
    sheet.grab().save(path);
    std::cout << path.toStdString() << " " << sheet.width() << "x" << sheet.height() << '\n';
}

DeleteConfirmationSheet::MakeReclaimer noReclaimer() {
    return [] { return Reclaimer(ReclaimerServices::current()); };
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? argv[1] : ".";
    QDir().mkpath(folder);
    for (const bool dark : {false, true}) {
        const QString scheme = dark ? "-dark" : "-light";
        for (const auto& [name, target] : samples::targets()) {
            const QString base = folder + "/sheet-" + QString::fromStdString(name);
            DeleteConfirmationSheet confirm(target, std::nullopt, {}, noReclaimer());
            save(confirm, dark, base + "-confirm" + scheme + ".png");
            DeleteConfirmationSheet result(target, std::nullopt, {}, noReclaimer());
            result.showResult(samples::success(result.content().reclaimableBytes));
            save(result, dark, base + "-result" + scheme + ".png");
        }
        DeleteConfirmationSheet working(ReclaimTarget::node(samples::projectsFolder()), std::nullopt, {},
                                        noReclaimer());
        working.confirmView()->setWorking(true);
        save(working, dark, folder + "/sheet-working" + scheme + ".png");
        DeleteConfirmationSheet failure(ReclaimTarget::node(samples::projectsFolder()), std::nullopt, {},
                                        noReclaimer());
        failure.showResult(samples::longFailure(30));
        save(failure, dark, folder + "/sheet-failure" + scheme + ".png");
    }
    return 0;
}
