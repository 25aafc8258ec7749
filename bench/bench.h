#pragma once

#include <QString>
#include <QtGlobal>

#include <functional>
#include <vector>

namespace bench {

// A named benchmark; it prints its own figures.
struct Benchmark {
    QString name;
    std::function<void()> run;
};

// Every benchmark registers itself from its own source file:
//     static bench::Registration r{"ini", [] { ... }};
std::vector<Benchmark>& registry();

// Rounds a benchmark runs: its own number, or KALVIA_BENCH_ROUNDS when set (more rounds give
// steadier medians on a busy machine).
inline int rounds(int usual)
{
    bool ok = false;
    const int wanted = qEnvironmentVariableIntValue("KALVIA_BENCH_ROUNDS", &ok);
    return ok && wanted > 0 ? wanted : usual;
}

struct Registration {
    Registration(const QString& name, std::function<void()> run) { registry().push_back({name, std::move(run)}); }
};

} // namespace bench
