// The language texts at start: the first start, which writes every key of a fresh language file,
// and a later start, which finds every key and only reads.
#include "bench.h"

#include "support/installation.h"
#include "texts/tooltiptexts.h"
#include "window/kalvia.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kRounds = 7;

void report(const char* what, std::vector<qint64> times)
{
    std::sort(times.begin(), times.end());
    const auto ms = [](qint64 ns) { return static_cast<double>(ns) / 1e6; };
    std::printf("  %-58s median %8.2f ms   min %8.2f ms   max %8.2f ms\n", what, ms(times[times.size() / 2]),
                ms(times.front()), ms(times.back()));
}

std::size_t controlCount = 0;

qint64 timedLoad(support::Installation& inst)
{
    window::Kalvia w(inst.context);
    texts::ControlRegistry controls = w.controls();
    controlCount = controls.size();
    QElapsedTimer timer;
    timer.start();
    texts::LoadToolTipTexts(inst.context, controls, w.help());
    return timer.nsecsElapsed();
}

const bench::Registration registration{QStringLiteral("texts"), [] {
    std::vector<qint64> first;
    std::vector<qint64> later;
    for (int round = 0; round < kRounds; ++round) {
        support::Installation inst;
        first.push_back(timedLoad(inst));
        later.push_back(timedLoad(inst));
    }
    std::printf("  %zu controls, %d rounds\n", controlCount, kRounds);
    report("first start: no language file, every key written", first);
    report("later start: every key present, nothing written", later);
}};

} // namespace
