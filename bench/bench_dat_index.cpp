// Indexing every software list of /usr/share/games/mame/hash into an empty checksum index
// (a new cache database each time), against `xmllint --stream --noout` over the same
// files, which only reads them. Goal: at most 1.5 times xmllint. Both sides in the same run.
// The processor time of each side is printed too: on a machine busy with other work it
// moves less than the wall time.

#include "Quick.h"
#include "TimeReporter.h"
#include "identify/ChecksumDb.h"
#include "identify/ChecksumIndex.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

const int kRuns = bench::sized(3, 1);
const char* const kHash = "/usr/share/games/mame/hash";

// User and system time so far, in milliseconds, of this process or of its waited children.
double cpuMs(int who) {
    rusage u{};
    getrusage(who, &u);
    const auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
    return ms(u.ru_utime) + ms(u.ru_stime);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString hash = QString::fromLatin1(kHash);
    const QStringList names =
        QDir(hash).entryList({QStringLiteral("*.xml")}, QDir::Files, QDir::Name);
    if (names.isEmpty()) {
        std::printf("No software lists in %s (Debian: mame-data): nothing to measure.\n", kHash);
        return 0;
    }
    QStringList files;
    for (const QString& name : names)
        files.append(hash + QLatin1Char('/') + name);
    if (bench::quick()) files = files.mid(0, 2);

    qint64 roms = 0;
    const auto indexOnce = [&] {
        QTemporaryDir dir;
        identify::ChecksumDb db;
        if (!db.open(dir.filePath(QStringLiteral("checksums.sqlite3"))).ok) return false;
        identify::ChecksumIndex index(db.handle());
        const QStringList problems = index.refresh({{hash}}, {});
        for (const QString& p : problems)
            std::fprintf(stderr, "%s\n", qPrintable(p));
        // One lookup, so a refresh that stored nothing cannot pass for a quick one.
        roms = qint64(index.entries(4096, 0x0a25900b).size());
        return index.ok();
    };
    if (!indexOnce() || roms == 0) {
        std::fprintf(stderr, "the index did not fill\n");
        return 1;
    }

    const QString xmllint = QStandardPaths::findExecutable(QStringLiteral("xmllint"));
    const auto lintOnce = [&] {
        QProcess p;
        p.start(xmllint,
                QStringList{QStringLiteral("--stream"), QStringLiteral("--noout")} + files);
        p.waitForFinished(-1);
    };

    // Alternated, so a slower moment of the machine falls on both sides alike; the best
    // median of each side counts.
    std::vector<double> indexed, linted;
    double indexCpu = 0, lintCpu = 0;
    for (int round = 0; round < 2; ++round) {
        double before = cpuMs(RUSAGE_SELF);
        indexed.push_back(bench::medianMs(kRuns, indexOnce));
        indexCpu += cpuMs(RUSAGE_SELF) - before;
        if (xmllint.isEmpty()) continue;
        before = cpuMs(RUSAGE_CHILDREN);
        linted.push_back(bench::medianMs(kRuns, lintOnce));
        lintCpu += cpuMs(RUSAGE_CHILDREN) - before;
    }
    const double index = *std::min_element(indexed.begin(), indexed.end());
    std::printf("Indexing %lld software lists: %.0f ms\n", static_cast<long long>(files.size()),
                index);
    if (linted.empty()) {
        std::printf("xmllint is not installed (Debian: libxml2-utils): no reference.\n");
        return 0;
    }
    const double lint = *std::min_element(linted.begin(), linted.end());
    std::printf("xmllint --stream --noout over the same files: %.0f ms\n", lint);
    std::printf("Ratio: %.2fx (goal: at most 1.5x)\n", index / lint);
    std::printf("Processor time per run: indexing %.0f ms, xmllint %.0f ms, ratio %.2fx\n",
                indexCpu / (2 * kRuns), lintCpu / (2 * kRuns), indexCpu / lintCpu);
    return 0;
}
