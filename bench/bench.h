#pragma once

#include <QString>

#include <functional>

// A benchmark registers itself with a static Bench object; tarnel_bench runs all or the named ones.
struct Bench {
    Bench(const char* name, std::function<void()> run);
};

// Prints one figure as "<figure name>: <number> <unit>".
void reportFigure(const QString& name, double value, const QString& unit);

// Seconds taken by one call of `work`.
double timeSeconds(const std::function<void()>& work);
