// Times the disk views on trees of about 1,000,000 nodes. Usage: view-bench
// (run with QT_QPA_PLATFORM=offscreen)
#include "InsightBench.hpp"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    quillmere::bench::runInsightBench();
    return 0;
}
