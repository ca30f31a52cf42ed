#pragma once

#include <optional>
#include <string>

namespace automation {

// What the print scheduler holds of ours, asked directly: an office that dies
// after handing its job over has still printed the document.
class CupsJobs
{
public:
    // The highest number of a job of this user on that queue (0 for none);
    // none when the scheduler did not answer.
    [[nodiscard]] static std::optional<int> newestOwnJob(const std::string &printer);
    // Whether the scheduler holds the whole of a job of this user on that
    // queue, numbered above `after` and titled `title`: pending, held,
    // processing or completed, and not still receiving its data. Whatever
    // is not known (no mark taken, no answer now) is not a job of ours.
    [[nodiscard]] static bool holdsJob(const std::string &printer, std::optional<int> after,
                                       const std::string &title);
    // Cancels the jobs of ours by the same rule that are not finished; a
    // job not known to be ours is left alone.
    static void cancelOwnJobs(const std::string &printer, std::optional<int> after,
                              const std::string &title);
};

} // namespace automation
