// What the bare baselines of the benchmarks share: a user interface that
// answers every question No without a word, and a reader that hands over the
// lines of a text file as a plain program would split them.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/HostUi.h"

namespace qdat::bench {

class SilentUi : public ConsoleUi {
public:
    MessageAnswer ShowMessage(const std::string&, MessageKind, MessageButtons) override {
        return MessageAnswer::No;
    }
};

// Calls line(begin, end) for every line of the file, without its line feed:
// the file read in chunks of 4096 bytes, lines found with memchr, a line cut
// by a chunk's end put together in a string.
template <class LineFunction>
void ForEachLine(const std::string& path, LineFunction line) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) std::abort();
    std::string carry;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
        const char* b = buffer;
        const char* e = buffer + n;
        for (const char* nl; (nl = static_cast<const char*>(std::memchr(b, '\n', e - b))); b = nl + 1) {
            if (!carry.empty()) {
                carry.append(b, nl);
                line(carry.data(), carry.data() + carry.size());
                carry.clear();
            } else {
                line(b, nl);
            }
        }
        carry.append(b, e);
    }
    if (!carry.empty()) line(carry.data(), carry.data() + carry.size());
    std::fclose(f);
}

}  // namespace qdat::bench
