// Checks every proxy of a list file as "Find Working Proxies" does and
// prints what it found, how long it took and the process's peak memory.
//
// Usage: find_check LIST-FILE JUDGE-URL AT-ONCE
// Output: one line per proxy found ("found <address> <level> <ms>"), then
//   "checked N found F seconds S peak_kib K"
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "base/files.h"
#include "proxies/bulk_check.h"
#include "proxies/proxy_list_text.h"

// The peak of this program's own memory. ru_maxrss would do, but Linux
// carries it over from the process that started this one (a benchmark
// script of a few dozen MiB) across the exec; VmHWM starts afresh.
long PeakKib() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, 6, "VmHWM:") == 0)
            return std::atol(line.c_str() + 6);
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: find_check LIST-FILE JUDGE-URL AT-ONCE\n");
        return 2;
    }
    std::string bytes;
    ProxyJudge judge;
    if (!base::ReadWholeFile(argv[1], bytes) || !ParseJudgeUrl(argv[2], judge)) {
        std::fprintf(stderr, "cannot read the list or the judge's address\n");
        return 2;
    }
    std::vector<net::ProxyAddress> proxies;
    for (const ListedProxy& listed : ParseProxyListText(bytes).proxies)
        proxies.push_back(listed.proxy);
    std::mutex mutex;
    size_t checked = 0;
    size_t found = 0;
    BulkCheckReceiver receiver;
    receiver.checked = [&](const BulkCheckResult& result) {
        std::lock_guard<std::mutex> lock(mutex);
        ++checked;
        if (!IsFound(result.check))
            return;
        ++found;
        std::printf("found %s %s %u\n", net::FormatProxyAddress(proxies[result.index]).c_str(),
                    AnonymityWord(result.check.level), result.check.responseMs);
    };
    std::atomic<bool> stop{false};
    auto started = std::chrono::steady_clock::now();
    bool answered = RunBulkCheck(proxies, {judge}, std::atoi(argv[3]), stop, receiver);
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("checked %zu found %zu seconds %.1f peak_kib %ld judge %s\n", checked, found,
                seconds, PeakKib(), answered ? "answered" : "silent");
    return 0;
}
