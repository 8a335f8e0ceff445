// Memory that a test's work takes, for the tests that check small hostile inputs stay
// small. Linux only: elsewhere every figure is 0.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace test_support {

// A figure of /proc/self/status in bytes ("VmRSS", "VmHWM"); 0 where there is none.
inline std::uint64_t statusBytes(const char* key) {
    unsigned long long kib = 0;
#ifdef __linux__
    if (std::FILE* file = std::fopen("/proc/self/status", "r")) {
        const std::string format = std::string(key) + ": %llu";
        char line[256];
        while (std::fgets(line, sizeof line, file) != nullptr) {
            if (std::sscanf(line, format.c_str(), &kib) == 1) break;
        }
        std::fclose(file);
    }
#endif
    return std::uint64_t{kib} * 1024;
}

// How much more memory than now this process holds at its peak from here on. The
// high-water mark of /proc can be reset, unlike getrusage's, and what earlier tests in
// this process left resident is not counted.
class PeakGrowth {
  public:
    PeakGrowth() {
#ifdef __linux__
        if (std::FILE* file = std::fopen("/proc/self/clear_refs", "w")) {
            std::fputs("5", file);
            std::fclose(file);
        }
#endif
        m_start = statusBytes("VmRSS");
    }
    std::uint64_t bytes() const {
        const std::uint64_t peak = statusBytes("VmHWM");
        return peak > m_start ? peak - m_start : 0;
    }

  private:
    std::uint64_t m_start = 0;
};

}  // namespace test_support
