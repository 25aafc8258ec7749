#pragma once

#include <QString>

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

struct Registration {
    Registration(const QString& name, std::function<void()> run) { registry().push_back({name, std::move(run)}); }
};

} // namespace bench
