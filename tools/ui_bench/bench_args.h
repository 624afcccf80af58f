// Argument and summary helpers shared by the UI and merge benchmarks.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

// "10,100,1000" -> {10, 100, 1000}; false for anything else or a number
// outside [1, maxValue].
inline bool ParseSizeList(const std::string& list, int maxValue, std::vector<int>& sizes) {
    sizes.clear();
    size_t start = 0;
    while (true) {
        size_t end = list.find(',', start);
        std::string item = list.substr(start, end == std::string::npos ? end : end - start);
        char* rest = nullptr;
        long value = std::strtol(item.c_str(), &rest, 10);
        if (item.empty() || *rest != '\0' || value < 1 || value > maxValue)
            return false;
        sizes.push_back(static_cast<int>(value));
        if (end == std::string::npos)
            return true;
        start = end + 1;
    }
}

inline double Median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}
