// The editor's cost on the GUI thread: a full repaint at 100, 150 and 200 %, and the idle step of an open
// editor in silence (the host's values and the meters taken, nothing to repaint).

#include "Common/gui/ParamControl.h"
#include "RecordingEditorHost.h"
#include "editor/ZaRorurarozeEditor.h"

#include <benchmark/benchmark.h>

namespace
{
void fullRepaint(benchmark::State& state)
{
    RecordingEditorHost host;
    ZaRorurarozeEditor editor(host);
    editor.setScale(static_cast<int>(state.range(0)));
    for (int m = 0; m < ZaRorurarozeMeter::count; ++m)
        host.meters[static_cast<std::size_t>(m)] = -20.0 + m % 7;
    editor.idle(0.0);
    for (auto _ : state) {
        editor.invalidate();
        benchmark::DoNotOptimize(editor.paint());
    }
}
BENCHMARK(fullRepaint)->Arg(100)->Arg(150)->Arg(200)->Unit(benchmark::kMillisecond);

void idleAtRest(benchmark::State& state)
{
    RecordingEditorHost host;
    ZaRorurarozeEditor editor(host);
    editor.setScale(100);
    editor.idle(0.0);
    editor.paint();
    double now = 0.0;
    for (auto _ : state) {
        now += 0.033;
        benchmark::DoNotOptimize(editor.idle(now));
        benchmark::DoNotOptimize(editor.paint());
    }
}
BENCHMARK(idleAtRest)->Unit(benchmark::kMicrosecond);
} // namespace

BENCHMARK_MAIN();
