#include "app/ReclaimDialogPresenter.hpp"

#include "app/ui/Theme.hpp"
#include "scan/Format.hpp"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QThreadPool>
#include <QVBoxLayout>
#include <set>

namespace quillmere {
namespace {

FileNode nodeFor(const std::string& name, const std::string& path, int64_t bytes) {
    return FileNode(name, path, true, false, bytes, false, false, 0, false, 0, 0, 0, std::nullopt, {});
}

QString describe(const ReclaimDialogPresenter::Plan& plan) {
    QString text;
    int64_t total = 0;
    const auto line = [&](const FileNode& node) {
        text += QString::fromStdString(std::string(node.name()) + " — " +
                                       formatByteCount(node.allocatedSize()) + "\n");
        total += node.allocatedSize();
    };
    if (plan.bundle) line(*plan.bundle);
    for (const FileNode& node : plan.items)
        line(node);
    for (const std::string& name : plan.keptNames)
        text +=
            QString::fromStdString(name + " — another application also uses that content, so it isn’t going "
                                          "anywhere and isn’t in the total.\n");
    return text + QString::fromStdString("\nMoves " + formatByteCount(total) + " to the Trash.");
}

} // namespace

ReclaimDialogPresenter::ReclaimDialogPresenter(ReclaimerServices services) : services_(std::move(services)) {}

ReclaimDialogPresenter::Plan ReclaimDialogPresenter::plan(const ApplicationReclaimTarget& target) {
    Plan plan;
    std::set<std::string> seen;
    const auto add = [&](const std::string& name, const std::string& path, int64_t bytes) {
        if (seen.insert(path).second) plan.items.push_back(nodeFor(name, path, bytes));
    };
    if (const auto* uninstall = std::get_if<AppUninstallTarget>(&target)) {
        std::string bundlePath = uninstall->app.path;
        int64_t bundleBytes = uninstall->app.allocatedSize;
        for (const LeftoverItem& item : uninstall->attribution.items)
            if (item.group == LeftoverItem::Group::application) {
                bundlePath = item.path;
                bundleBytes = item.allocatedSize;
                break;
            }
        plan.bundle = nodeFor(uninstall->app.name, bundlePath, bundleBytes);
        seen.insert(bundlePath);
        for (const LeftoverItem& item : uninstall->attribution.items) {
            if (item.group == LeftoverItem::Group::application || !uninstall->tickedPaths.contains(item.path))
                continue;
            if (item.sharedWithAppName)
                plan.keptNames.push_back(item.name);
            else
                add(item.name, item.path, item.allocatedSize);
        }
    } else if (const auto* caches = std::get_if<AppCachesTarget>(&target)) {
        for (const LeftoverItem& item : caches->items)
            if (!item.sharedWithAppName) add(item.name, item.path, item.allocatedSize);
    } else if (const auto* orphans = std::get_if<OrphanGroupTarget>(&target)) {
        for (const OrphanEntry& entry : orphans->group.entries)
            if (orphans->tickedPaths.contains(entry.path)) add(entry.name, entry.path, entry.allocatedSize);
    }
    return plan;
}

Reclaimer::Outcome ReclaimDialogPresenter::run(const ReclaimerServices& services, const Plan& plan) {
    const Reclaimer reclaimer(services);
    if (plan.bundle) return reclaimer.uninstall(*plan.bundle, plan.items);
    return reclaimer.reclaim(plan.items, {});
}

void ReclaimDialogPresenter::present(QWidget* window, ApplicationReclaimTarget target, Finished onFinished) {
    const Plan plan = ReclaimDialogPresenter::plan(target);
    auto* dialog = new QDialog(window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setWindowTitle("Move to Trash");
    dialog->setMinimumWidth(420);
    auto* column = new QVBoxLayout(dialog);
    auto* body = new QLabel(describe(plan), dialog);
    body->setWordWrap(true);
    body->setTextInteractionFlags(Qt::TextSelectableByMouse);
    column->addWidget(body);
    auto* buttons = new QDialogButtonBox(dialog);
    QPushButton* confirm = buttons->addButton("Move to Trash", QDialogButtonBox::AcceptRole);
    buttons->addButton(QDialogButtonBox::Cancel);
    column->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    QObject::connect(confirm, &QPushButton::clicked, dialog, [=, services = services_] {
        buttons->setEnabled(false);
        body->setText("Moving to the Trash…");
        QPointer<QDialog> guard(dialog);
        QThreadPool::globalInstance()->start([=] {
            Reclaimer::Outcome outcome;
            try {
                outcome = run(services, plan);
            } catch (const std::exception& error) {
                outcome.failures.push_back({plan.bundle.value_or(FileNode()), error.what()});
            }
            QMetaObject::invokeMethod(
                qApp,
                [=] {
                    if (!guard) {
                        onFinished(outcome);
                        return;
                    }
                    QString result = QString("Moved %1 of %2 items to the Trash.")
                                         .arg(outcome.succeeded.size())
                                         .arg(plan.items.size() + (plan.bundle ? 1 : 0));
                    for (const Reclaimer::ItemFailure& failure : outcome.failures)
                        result += QString::fromStdString("\n" + std::string(failure.node.name()) + ": " +
                                                         failure.reason);
                    body->setText(result);
                    buttons->clear();
                    QPushButton* done = buttons->addButton("Done", QDialogButtonBox::AcceptRole);
                    buttons->setEnabled(true);
                    QObject::connect(done, &QPushButton::clicked, guard, [=] {
                        onFinished(outcome);
                        guard->accept();
                    });
                },
                Qt::QueuedConnection);
        });
    });
    dialog->open();
}

} // namespace quillmere
