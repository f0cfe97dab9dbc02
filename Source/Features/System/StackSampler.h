#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

// Samples the thread stacks of a process for a few seconds with eu-stack (elfutils), run again
// and again, and writes an aggregated text report: for each thread, its distinct call stacks
// with how often each was seen. Reports go to a private folder of ours, never a shared one.
namespace StackSampler {

inline constexpr double sampleSeconds = 3.0;

// The eu-stack program on PATH; empty when none is installed.
QString toolPath();
bool isAvailable();

// "<name with '/' as '-'>-sample-<unix seconds>.txt"; an over-long name is shortened (on a
// character boundary) so that the file name stays within the file system's 255 bytes.
QString fileName(const QString& groupName, const QDateTime& now);
// $XDG_CACHE_HOME/Quorvin/Samples (by default ~/.cache/Quorvin/Samples), created when missing
// and kept at mode 0700. Empty when it cannot be made private.
QString reportFolder();

// One reading of eu-stack: every thread's frames, innermost first.
struct Thread {
    int64_t tid = 0;
    std::vector<QString> frames;
};
std::vector<Thread> parse(const QByteArray& output);

// The report for the readings taken.
QString report(int64_t pid, const QString& processName, double seconds, const std::vector<std::vector<Thread>>& passes,
               const QDateTime& at);

// Blocks: samples pid for `seconds` and writes the report to path atomically. False (and no
// file) when the tool is missing, no reading could be taken, or the file cannot be written.
bool sample(int64_t pid, const QString& processName, double seconds, const QString& path,
            const QString& tool = toolPath());

}  // namespace StackSampler
