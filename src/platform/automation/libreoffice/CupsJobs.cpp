#include "CupsJobs.h"

#include <cups/cups.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace automation {

namespace {

struct Job
{
    int id = 0;
    std::optional<std::string> title; // none when the answer left it out
    int state = 0;
    bool incoming = false; // created, its data still arriving
};

// A request of this user's about one thing on the scheduler: a queue
// ("printer-uri", "/printers/NAME") or a job ("job-uri", "/jobs/ID").
ipp_t *ownRequest(ipp_op_t operation, const char *uriName, const std::string &path)
{
    char uri[HTTP_MAX_URI];
    httpAssembleURI(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0,
                    path.c_str());
    ipp_t *request = ippNewRequest(operation);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, uriName, nullptr, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                 cupsUser());
    return request;
}

// One job's name, asked of that job alone: for a moment after a job has
// completed, the scheduler's list of jobs can leave its name out.
std::optional<std::string> jobName(int id)
{
    ipp_t *request =
        ownRequest(IPP_OP_GET_JOB_ATTRIBUTES, "job-uri", "/jobs/" + std::to_string(id));
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr,
                 "job-name");
    ipp_t *response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
    std::optional<std::string> name;
    if (response && ippGetStatusCode(response) <= IPP_STATUS_OK_EVENTS_COMPLETE)
        if (ipp_attribute_t *a = ippFindAttribute(response, "job-name", IPP_TAG_NAME))
            if (const char *text = ippGetString(a, 0, nullptr))
                name = text;
    ippDelete(response);
    return name;
}

// This user's jobs on one queue, finished ones included (only their ids
// when that is all that is asked: the answer is read once per document).
std::optional<std::vector<Job>> ownJobs(const std::string &printer, bool idsOnly = false)
{
    ipp_t *request = ownRequest(IPP_OP_GET_JOBS, "printer-uri", "/printers/" + printer);
    ippAddBoolean(request, IPP_TAG_OPERATION, "my-jobs", 1);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "which-jobs", nullptr, "all");
    static const char *const wanted[] = {"job-id", "job-name", "job-state", "job-state-reasons"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  idsOnly ? 1 : int(sizeof wanted / sizeof *wanted), nullptr, wanted);
    ipp_t *response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
    if (!response)
        return std::nullopt;
    if (ippGetStatusCode(response) > IPP_STATUS_OK_EVENTS_COMPLETE) {
        ippDelete(response);
        return std::nullopt;
    }
    std::vector<Job> jobs;
    Job job;
    auto keep = [&] {
        if (job.id > 0)
            jobs.push_back(job);
        job = Job();
    };
    for (ipp_attribute_t *a = ippFirstAttribute(response); a; a = ippNextAttribute(response)) {
        const char *name = ippGetName(a);
        if (!name) { // the separator between two jobs
            keep();
            continue;
        }
        if (ippGetGroupTag(a) != IPP_TAG_JOB)
            continue;
        if (std::strcmp(name, "job-id") == 0) {
            job.id = ippGetInteger(a, 0);
        } else if (std::strcmp(name, "job-name") == 0) {
            const char *text = ippGetString(a, 0, nullptr);
            job.title = text ? text : "";
        } else if (std::strcmp(name, "job-state") == 0) {
            job.state = ippGetInteger(a, 0);
        } else if (std::strcmp(name, "job-state-reasons") == 0) {
            for (int i = 0; i < ippGetCount(a); ++i)
                if (const char *reason = ippGetString(a, i, nullptr))
                    job.incoming = job.incoming || std::strcmp(reason, "job-incoming") == 0;
        }
    }
    keep();
    ippDelete(response);
    return jobs;
}

// Whether a job above `after` is titled `title`, its name asked again when
// the list left it out.
bool titled(const Job &job, int after, const std::string &title)
{
    if (job.id <= after)
        return false;
    const std::optional<std::string> name = job.title ? job.title : jobName(job.id);
    return name == title;
}

} // namespace

std::optional<int> CupsJobs::newestOwnJob(const std::string &printer)
{
    const auto jobs = ownJobs(printer, true);
    if (!jobs)
        return std::nullopt;
    int newest = 0;
    for (const Job &job : *jobs)
        newest = std::max(newest, job.id);
    return newest;
}

bool CupsJobs::holdsJob(const std::string &printer, std::optional<int> after,
                        const std::string &title)
{
    const auto jobs = after ? ownJobs(printer) : std::nullopt;
    if (!jobs)
        return false;
    for (const Job &job : *jobs) {
        const bool held = job.state == IPP_JSTATE_PENDING || job.state == IPP_JSTATE_HELD ||
                          job.state == IPP_JSTATE_PROCESSING || job.state == IPP_JSTATE_COMPLETED;
        if (held && !job.incoming && titled(job, *after, title))
            return true;
    }
    return false;
}

void CupsJobs::cancelOwnJobs(const std::string &printer, std::optional<int> after,
                             const std::string &title)
{
    const auto jobs = after ? ownJobs(printer) : std::nullopt;
    if (!jobs)
        return;
    for (const Job &job : *jobs)
        if (job.state < IPP_JSTATE_CANCELED && titled(job, *after, title))
            cupsCancelJob2(CUPS_HTTP_DEFAULT, printer.c_str(), job.id, 0);
}

void JobMarks::askAhead(const std::string &printer)
{
    std::lock_guard lock(m_lock);
    m_printer = printer;
    m_answer =
        std::async(std::launch::async, [printer] { return CupsJobs::newestOwnJob(printer); });
}

std::optional<int> JobMarks::newest(const std::string &printer)
{
    std::future<std::optional<int>> answer;
    {
        std::lock_guard lock(m_lock);
        if (m_answer.valid() && m_printer == printer)
            answer = std::move(m_answer);
        m_answer = {};
    }
    return answer.valid() ? answer.get() : CupsJobs::newestOwnJob(printer);
}

} // namespace automation
