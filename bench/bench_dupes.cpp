// The duplicate finder's search against jdupes over the same folders in the same run.
// Two folders of ROM-like files: power-of-two sizes, some with a 512-byte header, so most
// sizes repeat; about 5 % redundant copies; and many same-size files that differ only in
// their last KiB, which no first-block check can tell apart. The search deletes nothing
// and runs on a warm cache. Prints last "dupes ratio vs jdupes: X.XX" (ours divided by
// jdupes, the worse folder) after the peak memory of each.

#include "Quick.h"
#include "TimeReporter.h"
#include "filelist/FolderListing.h"
#include "launcher/maintenance/DuplicateFinder.h"
#include "platform/FileOperations.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QSet>
#include <QStringList>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

struct FolderPlan {
    const char* label;
    int files;
    std::vector<int> shifts;  // sizes are 2^shift bytes, the shift drawn from these
};
const FolderPlan kPlans[] = {
    {"2000 files, 1.7 GiB", bench::sized(2000, 20), {17, 18, 18, 19, 19, 20, 20, 20, 21, 21}},
    {"30000 files, 4-64 KiB", bench::sized(30000, 100), {12, 13, 14, 15, 16}},
};

std::string g_root;
std::string g_folders[2];

std::uint64_t next(std::uint64_t& s) {
    s ^= s << 13;
    s ^= s >> 7;
    s ^= s << 17;
    return s;
}

void fill(std::vector<char>& b, size_t from, size_t to, std::uint64_t salt) {
    std::uint64_t s = salt * 0x9E3779B97F4A7C15ull + 1;
    for (size_t i = from; i + 8 <= to; i += 8) {
        const std::uint64_t x = next(s);
        std::memcpy(b.data() + i, &x, 8);
    }
    for (size_t i = to - (to - from) % 8; i < to; ++i)
        b[i] = char(next(s));
}

bool writeFile(const std::string& path, const std::vector<char>& b, size_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, b.data() + done, size - done);
        if (n <= 0) break;
        done += size_t(n);
    }
    ::close(fd);
    return done == size;
}

// One folder: half the files of each size share all but their last KiB, the other half
// are their own all through, and one file in twenty is a copy of an earlier one.
bool generate(const FolderPlan& plan, const std::string& folder) {
    std::filesystem::create_directories(folder);
    std::mt19937_64 rng(plan.files);
    struct Made {
        std::string name;
        size_t size;
        std::uint64_t salt;
        bool shared;
    };
    std::vector<Made> made;
    const int maxShift = *std::max_element(plan.shifts.begin(), plan.shifts.end());
    std::vector<char> b((size_t{1} << maxShift) + 512);
    std::map<size_t, std::vector<char>> bases;
    for (int i = 0; i < plan.files; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "Game %05d (%c).bin", i, "UEJ"[i % 3]);
        Made m;
        m.name = name;
        if (i % 20 == 19 && !made.empty()) {
            const Made& src = made[rng() % made.size()];
            m.size = src.size;
            m.salt = src.salt;
            m.shared = src.shared;
        } else {
            const int shift = plan.shifts[rng() % plan.shifts.size()];
            m.size = (size_t{1} << shift) + ((rng() & 1) ? 512 : 0);
            m.salt = rng();
            m.shared = rng() & 1;
        }
        if (m.shared) {
            auto& base = bases[m.size];
            if (base.empty()) {
                base.resize(m.size);
                fill(base, 0, m.size, m.size);
            }
            std::memcpy(b.data(), base.data(), m.size - 1024);
            fill(b, m.size - 1024, m.size, m.salt);
        } else {
            fill(b, 0, m.size, m.salt);
        }
        if (!writeFile(folder + "/" + m.name, b, m.size)) return false;
        made.push_back(m);
    }
    return true;
}

QStringList listed(const std::string& folder) {
    QStringList names;
    for (const ListedFile& f : listFolder(QString::fromStdString(folder), {QStringLiteral("*.*")}))
        names << f.name;
    return names;
}

DuplicateSearchResult search(const std::string& folder) {
    platform::LocalFileOperations files;
    return findDuplicates(QString::fromStdString(folder + "/"), listed(folder), files,
                          DuplicateMode::DryRun);
}

std::string jdupes(const std::string& folder) {
    const std::string command = "jdupes -r -q '" + folder + "' 2>/dev/null";
    std::FILE* p = ::popen(command.c_str(), "r");
    if (!p) return {};
    std::string out;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    ::pclose(p);
    return out;
}

using Groups = std::set<std::set<std::string>>;

Groups ourGroups(const std::string& folder) {
    const QStringList names = listed(folder);
    platform::LocalFileOperations files;
    const DuplicateSearchResult r =
        findDuplicates(QString::fromStdString(folder + "/"), names, files, DuplicateMode::DryRun);
    std::map<int, std::set<std::string>> byKept;
    for (const auto& c : r.copies) {
        byKept[c.keptRow].insert(folder + "/" + names.at(c.keptRow).toStdString());
        byKept[c.keptRow].insert(folder + "/" + names.at(c.row).toStdString());
    }
    Groups g;
    for (auto& [kept, set] : byKept)
        g.insert(set);
    return g;
}

Groups theirGroups(const std::string& folder) {
    Groups g;
    std::set<std::string> current;
    const std::string out = jdupes(folder);
    size_t start = 0;
    while (start <= out.size()) {
        size_t end = out.find('\n', start);
        if (end == std::string::npos) end = out.size();
        const std::string line = out.substr(start, end - start);
        if (line.empty()) {
            if (!current.empty()) g.insert(current);
            current.clear();
        } else {
            current.insert(line);
        }
        start = end + 1;
    }
    if (!current.empty()) g.insert(current);
    return g;
}

void BM_FindDuplicates(benchmark::State& state) {
    const std::string& folder = g_folders[state.range(0)];
    size_t copies = 0;
    for (auto _ : state)
        copies = search(folder).copies.size();
    state.SetLabel(kPlans[state.range(0)].label);
    state.counters["copies"] = double(copies);
}

void BM_Jdupes(benchmark::State& state) {
    const std::string& folder = g_folders[state.range(0)];
    for (auto _ : state)
        benchmark::DoNotOptimize(jdupes(folder).size());
    state.SetLabel(kPlans[state.range(0)].label);
}

BENCHMARK(BM_FindDuplicates)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(bench::sized(3, 1));
BENCHMARK(BM_Jdupes)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(bench::sized(3, 1));

// Peak resident memory, in KiB, of a fresh process running `program` with `args`: this
// program searching a folder, this program doing nothing, or jdupes.
long peakOf(const char* program, std::vector<std::string> args) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        std::vector<char*> argv{const_cast<char*>(program)};
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execvp(program, argv.data());
        ::_exit(127);
    }
    int status = 0;
    struct rusage use {};
    ::wait4(pid, &status, 0, &use);
    return use.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // "--peak FOLDER" searches one folder and ends, for the memory figure; "--peak -"
    // only starts and ends.
    if (argc == 3 && std::strcmp(argv[1], "--peak") == 0) {
        if (std::strcmp(argv[2], "-") != 0) benchmark::DoNotOptimize(search(argv[2]));
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    if (std::system("jdupes -v >/dev/null 2>&1") != 0) {
        std::fprintf(stderr, "jdupes is not installed (scripts/test installs it)\n");
        return 1;
    }
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/rombard-bench-dupes-XXXXXX";
    if (!::mkdtemp(pattern.data())) return 1;
    g_root = pattern;
    bool ok = true;
    for (int i = 0; i < 2 && ok; ++i) {
        g_folders[i] = g_root + "/set" + std::to_string(i);
        ok = generate(kPlans[i], g_folders[i]);
    }
    bool same = ok;
    for (int i = 0; i < 2 && ok; ++i) {
        // Also brings every file into the cache before anything is timed.
        const Groups ours = ourGroups(g_folders[i]), theirs = theirGroups(g_folders[i]);
        std::printf("%s: %zu groups of copies (jdupes %zu), same files: %s\n", kPlans[i].label,
                    ours.size(), theirs.size(), ours == theirs ? "yes" : "NO");
        same = same && ours == theirs;
    }
    bench::TimeReporter reporter;
    if (ok) benchmark::RunSpecifiedBenchmarks(&reporter);
    double worst = 0;
    for (int i = 0; i < 2 && ok; ++i) {
        // Appended, not "/" + to_string(i): GCC 12 at -O3 takes that insert at the front
        // for an overlapping copy (-Wrestrict, a known false positive).
        std::string arg = "/";
        arg += std::to_string(i);
        const double ours = reporter.time["BM_FindDuplicates" + arg];
        const double theirs = reporter.time["BM_Jdupes" + arg];
        if (theirs > 0) worst = std::max(worst, ours / theirs);
        const long base = peakOf("/proc/self/exe", {"--peak", "-"});
        const long peak = peakOf("/proc/self/exe", {"--peak", g_folders[i]});
        std::printf(
            "%s: peak memory of the search %.1f MB above the process's %.1f MB "
            "(jdupes %.1f MB)\n",
            kPlans[i].label, double(peak - base) / 1024.0, double(base) / 1024.0,
            double(peakOf("jdupes", {"-r", "-q", g_folders[i]})) / 1024.0);
    }
    std::filesystem::remove_all(g_root);
    if (!ok) {
        std::fprintf(stderr, "could not build the test folders under %s\n", g_root.c_str());
        return 1;
    }
    std::printf("dupes ratio vs jdupes: %.2f\n", worst);
    return same ? 0 : 2;
}
