#pragma once

#include <vector>

// The figures every benchmark here reports, computed one way for all.

// Nearest-rank percentile: the smallest value with at least `fraction` (0 to
// 1) of all values at or below it. `values` must not be empty.
double percentile(std::vector<double> values, double fraction);

// How many times faster `ours` is than `theirs`, from runs made in pairs
// (ours[i] beside theirs[i]): the geometric mean of the pairs' ratios and its
// 95 % confidence interval (Student's t on the logarithms).
struct PairedRatio
{
    double mean = 0;
    double low = 0;
    double high = 0;
};
PairedRatio pairedRatio(const std::vector<double>& ours, const std::vector<double>& theirs);
