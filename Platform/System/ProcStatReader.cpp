#include "Platform/System/ProcStatReader.h"

#include "Platform/System/SysFs.h"

#include <algorithm>
#include <cstring>

ProcStatReader::ProcStatReader(const QString& root) : path_(SysFs::join(root, "proc/stat")) {}

bool ProcStatReader::read(Snapshot& out) {
    if (!SysFs::readFile(path_, buffer_)) return false;
    return parse(buffer_, out);
}

bool ProcStatReader::parse(const std::string& text, Snapshot& out) {
    out.cpus.clear();
    bool haveTotal = false;
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end) {
        const char* lineEnd = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
        if (!lineEnd) lineEnd = end;
        if (lineEnd - p > 3 && std::memcmp(p, "cpu", 3) == 0) {
            const char* q = p + 3;
            int index = -1;
            if (q < lineEnd && *q >= '0' && *q <= '9') {
                uint64_t n = 0;
                SysFs::parseUnsigned(q, lineEnd, n);
                index = n > 65535 ? -2 : int(n);
            }
            uint64_t fields[8] = {};
            int count = 0;
            while (count < 8 && SysFs::parseUnsigned(q, lineEnd, fields[count])) ++count;
            if (count >= 4 && index != -2) {
                Ticks t{fields[0], fields[1], fields[2], fields[3], fields[4], fields[5], fields[6], fields[7]};
                if (index < 0) {
                    out.total = t;
                    haveTotal = true;
                } else {
                    out.cpus.emplace_back(index, t);
                }
            }
        } else if (haveTotal) {
            break;  // the processor lines come first; nothing after them is needed
        }
        p = lineEnd + 1;
    }
    return haveTotal;
}

std::optional<ProcStatReader::Load> ProcStatReader::load(const Ticks& previous, const Ticks& current) {
    auto d = [](uint64_t before, uint64_t after) { return after > before ? double(after - before) : 0.0; };
    const double user = d(previous.user, current.user) + d(previous.nice, current.nice);
    const double system = d(previous.system, current.system) + d(previous.irq, current.irq) +
                          d(previous.softirq, current.softirq);
    const double idle = d(previous.idle, current.idle) + d(previous.iowait, current.iowait);
    const double steal = d(previous.steal, current.steal);
    const double all = user + system + idle + steal;
    if (all <= 0) return std::nullopt;
    Load load;
    load.user = std::clamp(user / all * 100.0, 0.0, 100.0);
    load.system = std::clamp(system / all * 100.0, 0.0, 100.0);
    load.total = std::clamp((user + system) / all * 100.0, 0.0, 100.0);
    return load;
}
