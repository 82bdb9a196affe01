// Times building the confirmation sheet's content for a folder of many children on the calling
// (main) thread, and the content with the sheet's confirm step around it.
// Usage: sheet-bench [--children N] [--runs R]   (QT_QPA_PLATFORM=offscreen)

#include "reclaim/SheetContent.hpp"
#include "reclaim/view/DeleteConfirmationSheet.hpp"

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <iostream>
#include <random>
#include <string>
#include <vector>

using namespace quillmere;

namespace {

double medianMs(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

template <typename F> std::vector<double> timeRuns(int runs, F&& body) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        body();
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    return times;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int children = 1'000'000;
    int runs = 11;
    for (int i = 1; i + 1 < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--children") children = std::stoi(argv[++i]);
        if (arg == "--runs") runs = std::stoi(argv[++i]);
    }
    const FolderPath path = FolderPath::root("/bench/huge");
    std::mt19937_64 random(7);
    std::vector<FileNode> nodes;
    nodes.reserve(children);
    for (int i = 0; i < children; ++i)
        nodes.push_back(FileNode::under(
            path, "f" + std::to_string(i),
            NodeFields{.allocatedSize = int64_t(random() % 1'000'000) * 4096, .fileCount = 1}));
    const FileNode folder = FileNode::folder(path, "huge", std::nullopt, std::move(nodes));

    std::size_t sink = 0;
    const auto content = timeRuns(runs, [&] { sink += nodeSheetContent(folder).rows.size(); });
    const auto sheet = timeRuns(runs, [&] {
        DeleteConfirmationSheet shown(ReclaimTarget::node(folder), folder, {},
                                      [] { return Reclaimer(ReclaimerServices::current()); });
        sink += shown.content().rows.size();
    });
    std::cout << "children: " << children << "\n"
              << "content ms (median of " << runs << "): " << medianMs(content) << "  worst "
              << *std::max_element(content.begin(), content.end()) << "  (target < 50)\n"
              << "sheet ms (median of " << runs << "): " << medianMs(sheet) << "  worst "
              << *std::max_element(sheet.begin(), sheet.end()) << "\n"
              << (sink == 0 ? "" : "");
    return 0;
}
