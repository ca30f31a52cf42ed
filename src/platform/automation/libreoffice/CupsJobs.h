#pragma once

#include <string>

namespace automation {

// What the print scheduler has received, asked directly: an office that dies
// after handing its job over has still printed the document.
class CupsJobs
{
public:
    // The highest job number the scheduler knows on that queue (0 for none).
    [[nodiscard]] static int newestJob(const std::string &printer);
    // Whether a job of ours numbered above `after` has arrived on that queue.
    // The scheduler takes a job in only once its data are complete.
    [[nodiscard]] static bool receivedSince(const std::string &printer, int after);
};

} // namespace automation
