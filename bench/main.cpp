#include "bench.h"

#include <QApplication>
#include <QStringList>

#include <cstdio>

namespace bench {

std::vector<Benchmark>& registry()
{
    static std::vector<Benchmark> benchmarks;
    return benchmarks;
}

} // namespace bench

// Runs the benchmarks named on the command line, or all of them.
int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList wanted = app.arguments().mid(1);
    for (const bench::Benchmark& b : bench::registry()) {
        if (!wanted.isEmpty() && !wanted.contains(b.name))
            continue;
        std::printf("== %s\n", qPrintable(b.name));
        b.run();
    }
    return 0;
}
