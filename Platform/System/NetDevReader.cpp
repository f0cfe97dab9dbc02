#include "Platform/System/NetDevReader.h"

#include "Platform/System/SysFs.h"

#include <cstring>

NetDevReader::NetDevReader(const QString& root)
    : path_(SysFs::join(root, "proc/net/dev")), netClass_(SysFs::join(root, "sys/class/net")) {}

bool NetDevReader::read(std::vector<Interface>& out) {
    if (!SysFs::readFile(path_, buffer_)) {
        out.clear();
        return false;
    }
    parse(buffer_, out);
    std::string path;
    for (Interface& iface : out) {
        path.assign(netClass_).append("/").append(iface.name).append("/device");
        iface.physical = SysFs::exists(path);
    }
    return true;
}

void NetDevReader::parse(const std::string& text, std::vector<Interface>& out) {
    size_t count = 0;
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end) {
        const char* lineEnd = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
        if (!lineEnd) lineEnd = end;
        // "  name: rx_bytes rx_packets errs drop fifo frame compressed multicast tx_bytes ..."
        const char* colon = static_cast<const char*>(std::memchr(p, ':', size_t(lineEnd - p)));
        if (colon) {
            const std::string_view name = SysFs::trimmed(std::string_view(p, size_t(colon - p)));
            const bool validName = !name.empty() && name.find('|') == std::string_view::npos &&
                                   name.find('/') == std::string_view::npos && name != "." && name != "..";
            uint64_t fields[9] = {};
            const char* q = colon + 1;
            int n = 0;
            while (n < 9 && SysFs::parseUnsigned(q, lineEnd, fields[n])) ++n;
            if (validName && n == 9) {
                if (count == out.size()) out.emplace_back();
                Interface& iface = out[count++];
                iface.name.assign(name);
                iface.received = fields[0];
                iface.sent = fields[8];
                iface.physical = false;
            }
        }
        p = lineEnd + 1;
    }
    out.resize(count);
}
