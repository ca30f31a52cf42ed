#pragma once

#include <future>
#include <mutex>
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

// Our newest job on a printer, for documents printed one after another:
// the question for the next document is asked as soon as the job before it
// is on the scheduler, while the next one is made ready, so that the answer
// costs it nothing. Nothing of ours may be sent between the question and
// the answer's use: documents are sent one at a time, each after the one
// before was spooled.
class JobMarks
{
public:
    // Asks now, on a thread of its own.
    void askAhead(const std::string &printer);
    // The answer asked ahead for that printer, else asked now.
    [[nodiscard]] std::optional<int> newest(const std::string &printer);

private:
    std::mutex m_lock;
    std::string m_printer;
    std::future<std::optional<int>> m_answer;
};

} // namespace automation
