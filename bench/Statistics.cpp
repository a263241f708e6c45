#include "bench/Statistics.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace {

// The 97.5 % quantile of Student's t with `degrees` degrees of freedom, by the
// Cornish-Fisher expansion around the normal quantile; within 0.1 % from 5
// degrees up.
double studentT975(double degrees)
{
    const double z = 1.959963985;
    const double z3 = z * z * z;
    const double z5 = z3 * z * z;
    const double z7 = z5 * z * z;
    return z + (z3 + z) / (4 * degrees) + (5 * z5 + 16 * z3 + 3 * z) / (96 * degrees * degrees) +
           (3 * z7 + 19 * z5 + 17 * z3 - 15 * z) / (384 * degrees * degrees * degrees);
}

} // namespace

double percentile(std::vector<double> values, double fraction)
{
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<std::size_t>(std::ceil(fraction * static_cast<double>(values.size())));
    return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

PairedRatio pairedRatio(const std::vector<double>& ours, const std::vector<double>& theirs)
{
    const std::size_t n = std::min(ours.size(), theirs.size());
    std::vector<double> logs(n);
    for (std::size_t i = 0; i < n; ++i)
        logs[i] = std::log(ours[i] / theirs[i]);
    double mean = 0;
    for (double value : logs)
        mean += value / static_cast<double>(n);
    double squares = 0;
    for (double value : logs)
        squares += (value - mean) * (value - mean);
    const double halfWidth =
        n > 1 ? studentT975(static_cast<double>(n - 1)) * std::sqrt(squares / static_cast<double>(n - 1) / static_cast<double>(n)) : 0;
    return {std::exp(mean), std::exp(mean - halfWidth), std::exp(mean + halfWidth)};
}
