#pragma once

// What a walker hands to a walk in a task of its own: a subfolder, or a share of a folder's
// entries, each with the permit and the slot of the walk that will take it.
#include "platform/Fd.hpp"
#include "scan/ScanContext.hpp"
#include "scan/WalkFrame.hpp"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace quillmere {

// A folder with at least twice this many entries left shares the later half with another
// walker when one is free: one walker alone would take a folder of 50,000 files through
// 50,000 examinations in a row while the others idle at the end of the scan. Whether one
// is free is asked every so many entries.
inline constexpr size_t kShareEntries = 512;
inline constexpr size_t kShareCheckEvery = 64;
// A folder's entries handed out while its listing is still being read go this many at least:
// a share's records then fill a buffer large enough that its pages go back as soon as the
// folder is built. Shares of 1,024 were no faster, and took a tenth more memory for the folder.
inline constexpr size_t kListedShareEntries = 4096;

// A child walk started in its own task: its permit goes back however the task ends, even
// when it never runs.
struct ChildJob {
    platform::Fd fd;
    std::optional<ConcurrencyBudget::Permit> permit;
    NodeSink sink; // handed to the walk; still here only when the walk never ran
    ChildJob(platform::Fd folder, ConcurrencyBudget::Permit unit, NodeSink slot)
        : fd(std::move(folder)), permit(std::move(unit)), sink(std::move(slot)) {}
    ChildJob(const ChildJob&) = delete;
    ChildJob& operator=(const ChildJob&) = delete;
    ~ChildJob() { deliverNode(std::move(sink), std::nullopt, true); }

    // The job of a walk apart from `frame` (a subfolder or a share of its entries). Its slot in
    // the frame is taken last: one taken before an allocation failed would never be filled, and
    // the folder, with every folder above it, would never be built.
    static std::shared_ptr<ChildJob> slotIn(Frame& frame, platform::Fd folder,
                                            ConcurrencyBudget::Permit unit) {
        auto job = std::make_shared<ChildJob>(std::move(folder), std::move(unit), NodeSink{});
        job->sink = frame.awaitOneMore();
        return job;
    }
};

// A share of a folder's entries for another walker: their names, in listing form.
struct EntryShare {
    std::string names;
    size_t count = 0;
};

} // namespace quillmere
