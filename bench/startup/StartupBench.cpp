// Start-up to a mapped window, and memory once idle, of two programs measured in the same
// run: rounds alternate which goes first, so a busy machine slows both alike. Runs on the
// X display in $DISPLAY, where nothing else may map windows meanwhile.
// usage: vantrell_startup_bench ROUNDS PROGRAM BASELINE

#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <poll.h>
#include <signal.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

struct Sample {
    double startMs = 0;
    double rssMb = 0;
    double pssMb = 0;
};

// Rss and Pss of a process, in MB.
void ReadMemory(pid_t pid, Sample& sample)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/smaps_rollup");
    std::string key;
    double kb = 0;
    std::string unit;
    while (in >> key) {
        if (key == "Rss:" && in >> kb >> unit)
            sample.rssMb = kb / 1024;
        else if (key == "Pss:" && in >> kb >> unit)
            sample.pssMb = kb / 1024;
        else
            in.ignore(1 << 16, '\n');
    }
}

// x watches the root window's children; one connection serves every round, since an X
// server left without clients resets and refuses connections for a moment.
bool Measure(xcb_connection_t* x, const char* program, Sample& sample)
{
    while (xcb_generic_event_t* stale = xcb_poll_for_event(x))
        std::free(stale);

    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::execl(program, program, static_cast<char*>(nullptr));
        ::_exit(127);
    }
    bool mapped = false;
    const auto deadline = start + std::chrono::seconds(20);
    int status = 0;
    while (!mapped && std::chrono::steady_clock::now() < deadline) {
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            std::fprintf(stderr, "%s ended before showing a window (status %d)\n", program, status);
            return false;
        }
        pollfd fd{xcb_get_file_descriptor(x), POLLIN, 0};
        ::poll(&fd, 1, 100);
        while (xcb_generic_event_t* event = xcb_poll_for_event(x)) {
            mapped = mapped || (event->response_type & 0x7f) == XCB_MAP_NOTIFY;
            std::free(event);
        }
    }
    sample.startMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    ReadMemory(pid, sample);
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
    return mapped;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s ROUNDS PROGRAM BASELINE\n", argv[0]);
        return 2;
    }
    const int rounds = std::atoi(argv[1]);
    xcb_connection_t* x = xcb_connect(nullptr, nullptr);
    if (const int error = xcb_connection_has_error(x)) {
        std::fprintf(stderr, "no X display (error %d)\n", error);
        return 1;
    }
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(x)).data;
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(x, screen->root, XCB_CW_EVENT_MASK, &mask);
    std::free(xcb_get_input_focus_reply(x, xcb_get_input_focus(x), nullptr)); // the change is in force
    std::vector<Sample> ours, baseline;
    for (int round = 0; round < rounds; ++round) {
        Sample a, b;
        const bool oursFirst = round % 2 == 0;
        const bool ok = oursFirst ? Measure(x, argv[2], a) && Measure(x, argv[3], b)
                                  : Measure(x, argv[3], b) && Measure(x, argv[2], a);
        if (!ok) {
            std::fprintf(stderr, "round %d: no window was mapped\n", round + 1);
            return 1;
        }
        std::printf("round %2d: program %6.1f ms, baseline %6.1f ms\n", round + 1, a.startMs, b.startMs);
        ours.push_back(a);
        baseline.push_back(b);
    }
    const auto median = [](const std::vector<Sample>& samples, double Sample::*field) {
        std::vector<double> values;
        for (const Sample& s : samples)
            values.push_back(s.*field);
        return Median(values);
    };
    const double start = median(ours, &Sample::startMs), startBase = median(baseline, &Sample::startMs);
    const double rss = median(ours, &Sample::rssMb), rssBase = median(baseline, &Sample::rssMb);
    const double pss = median(ours, &Sample::pssMb), pssBase = median(baseline, &Sample::pssMb);
    std::printf("start-up to a mapped window: %.1f ms against %.1f ms, ratio %.2f (medians of %d rounds)\n",
                start, startBase, start / startBase, rounds);
    std::printf("memory idle: RSS %.1f MB against %.1f MB (ratio %.2f), PSS %.1f MB against %.1f MB\n", rss, rssBase,
                rss / rssBase, pss, pssBase);
    xcb_disconnect(x);
    return 0;
}
