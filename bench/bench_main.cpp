#include "bench/bench.h"

#include <QApplication>
#include <QTextStream>

#include <chrono>
#include <cstdio>
#include <map>

namespace {
std::map<std::string, std::function<void()>>& registry() {
    static std::map<std::string, std::function<void()>> benches;
    return benches;
}
} // namespace

Bench::Bench(const char* name, std::function<void()> run) {
    registry()[name] = std::move(run);
}

void reportFigure(const QString& name, double value, const QString& unit) {
    std::printf("%s: %.3f %s\n", qPrintable(name), value, qPrintable(unit));
    std::fflush(stdout);
}

double timeSeconds(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Usage: tarnel_bench [bench name ...]; without names every bench runs.
int main(int argc, char** argv) {
    // The editor benchmark shows real windows; without a chosen platform they are drawn offscreen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList names = app.arguments().mid(1);
    int status = 0;
    for (const auto& [name, run] : registry()) {
        if (!names.isEmpty() && !names.contains(QString::fromStdString(name))) continue;
        try {
            run();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s failed: %s\n", name.c_str(), e.what());
            status = 1;
        }
    }
    return status;
}
