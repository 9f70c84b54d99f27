#pragma once

// Prints the usual table and keeps each benchmark's real time per iteration (in the unit
// it was registered with), so a program can print its ratios last.

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace bench {

class TimeReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Iteration) time[r.benchmark_name()] = r.GetAdjustedRealTime();
    }
    std::map<std::string, double> time;
};

}  // namespace bench
