#pragma once

// Prints the usual table and keeps each benchmark's real time per iteration (in the unit
// it was registered with), so a program can print its ratios last. Times are kept under
// the function's name and its arguments ("BM_Sort/2"), whatever time or iteration count
// it ran with.

#include <benchmark/benchmark.h>

#include <QElapsedTimer>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace bench {

class TimeReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Iteration) {
                const std::string& args = r.run_name.args;
                time[r.run_name.function_name + (args.empty() ? "" : "/" + args)] =
                    r.GetAdjustedRealTime();
            }
    }
    std::map<std::string, double> time;
};

// The median wall time of `runs` calls, in milliseconds: steadier than the mean on a
// shared machine, where one run in a few is slowed by something else.
template <typename F>
double medianMs(int runs, F&& run) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        run();
        times.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace bench
