#include "CupsJobs.h"

#include <cups/cups.h>

#include <cstring>

namespace automation {

namespace {

template <typename Visit> void forEachJob(const std::string &printer, Visit visit)
{
    cups_job_t *jobs = nullptr;
    const int count =
        cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, printer.c_str(), 0, CUPS_WHICHJOBS_ALL);
    for (int i = 0; i < count; ++i)
        visit(jobs[i]);
    cupsFreeJobs(count, jobs);
}

} // namespace

int CupsJobs::newestJob(const std::string &printer)
{
    int newest = 0;
    forEachJob(printer, [&](const cups_job_t &job) {
        if (job.id > newest)
            newest = job.id;
    });
    return newest;
}

bool CupsJobs::receivedSince(const std::string &printer, int after)
{
    bool received = false;
    const char *user = cupsUser();
    forEachJob(printer, [&](const cups_job_t &job) {
        if (job.id > after && job.user && user && std::strcmp(job.user, user) == 0)
            received = true;
    });
    return received;
}

} // namespace automation
