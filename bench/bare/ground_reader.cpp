// The bare baseline of bench_ground_line_process: reads a text ground line
// (a signature line, then "station elevation" records) with one read into a
// buffer of the file's size and std::from_chars into a reserved vector, and
// prints the count. Nothing else: no library, no checks beyond the parse.
#include <fcntl.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const int fd = open(argv[1], O_RDONLY);
    if (fd < 0) return 1;
    const off_t size = lseek(fd, 0, SEEK_END);
    lseek(fd, 0, SEEK_SET);
    std::string data(static_cast<std::size_t>(size), '\0');
    std::size_t got = 0;
    while (got < data.size()) {
        const ssize_t n = read(fd, data.data() + got, data.size() - got);
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    close(fd);
    std::vector<std::pair<double, double>> points;
    points.reserve(data.size() / 16);
    const char* p = data.data();
    const char* end = p + got;
    const void* line = std::memchr(p, '\n', got);
    p = line ? static_cast<const char*>(line) + 1 : end;
    const auto blanks = [&] {
        while (p < end && (*p == ' ' || *p == '\n' || *p == '\r')) ++p;
    };
    blanks();
    while (p < end) {
        double station = 0.0;
        double elevation = 0.0;
        p = std::from_chars(p, end, station).ptr;
        blanks();
        const auto r = std::from_chars(p, end, elevation);
        if (r.ptr == p) break;
        p = r.ptr;
        blanks();
        points.emplace_back(station, elevation);
    }
    std::printf("%zu\n", points.size());
    return 0;
}
