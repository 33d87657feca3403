// What every benchmark program shares: counting the memory the process
// allocates (the replaced global operator new below; include this header in
// one source per program, as each benchmark is), a user interface that
// shows nothing, and the bare baseline's way through a text file.
#pragma once

#include <malloc.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include <qdat/host/HostUi.h>

namespace bench {

inline std::atomic<std::size_t> g_inUse{0};
inline std::atomic<std::size_t> g_peak{0};

inline void* CountedAlloc(std::size_t n) {
    void* p = std::malloc(n ? n : 1);
    if (!p) throw std::bad_alloc();
    const std::size_t now = g_inUse.fetch_add(malloc_usable_size(p)) + malloc_usable_size(p);
    std::size_t peak = g_peak.load();
    while (now > peak && !g_peak.compare_exchange_weak(peak, now)) {
    }
    return p;
}
inline void CountedFree(void* p) {
    if (!p) return;
    g_inUse.fetch_sub(malloc_usable_size(p));
    std::free(p);
}
// Starts a measurement: the peak becomes what is in use now, which is returned.
inline std::size_t ResetPeak() {
    const std::size_t now = g_inUse.load();
    g_peak.store(now);
    return now;
}
// The most allocated at once since ResetPeak returned `before`, beyond it.
inline std::size_t PeakSince(std::size_t before) {
    return g_peak.load() - before;
}

class SilentUi : public qdat::ConsoleUi {
public:
    qdat::MessageAnswer ShowMessage(const std::string&, qdat::MessageKind, qdat::MessageButtons) override {
        return qdat::MessageAnswer::No;
    }
};

// The baseline's reading: the file in buffer-sized chunks, split into lines
// by hand, each line (without its line feed) handed to parse(begin, end).
template <class Parse>
void ForEachLine(const std::string& path, Parse&& parse) {
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
                parse(carry.data(), carry.data() + carry.size());
                carry.clear();
            } else {
                parse(b, nl);
            }
        }
        carry.append(b, e);
    }
    if (!carry.empty()) parse(carry.data(), carry.data() + carry.size());
    std::fclose(f);
}

}  // namespace bench

void* operator new(std::size_t n) {
    return bench::CountedAlloc(n);
}
void* operator new[](std::size_t n) {
    return bench::CountedAlloc(n);
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    try {
        return bench::CountedAlloc(n);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t n, const std::nothrow_t& t) noexcept {
    return operator new(n, t);
}
void operator delete(void* p) noexcept {
    bench::CountedFree(p);
}
void operator delete[](void* p) noexcept {
    bench::CountedFree(p);
}
void operator delete(void* p, std::size_t) noexcept {
    bench::CountedFree(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    bench::CountedFree(p);
}
