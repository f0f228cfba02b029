// Opening the explorer on a large STEM, and the texts of its table rows.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTableView>

#include "app/QuarvoApp.h"
#include "app/UserDialogs.h"
#include "views/StemTexts.h"
#include "app/views/SteV.h"

namespace {

// A chain of states, each with two maximal events and two arcs, like a long generation.
void Fill(quarvo::StemStore& store, std::int32_t states) {
    store.FreeStates();
    const quarvo::ActionId a = store.Intern("SEND"), b = store.Intern("I_RECEIVE");
    const quarvo::EventSetId events = store.InternEvents({{1, a}, {2, b}});
    const quarvo::EventSetId causes = store.InternEvents({{1, a}});
    for (std::int32_t n = 0; n < states; ++n) {
        store.AppendState(n, events);
        const quarvo::TStemArc found[] = {{(n + 1) % states, b, 2, causes}, {n / 2, a, 3, quarvo::EmptyEventSet}};
        store.SetArcs(static_cast<std::size_t>(n), found);
    }
    store.StemStateCount = states;
    store.LastGenStateCount = states;
}

void OpenExplorer(benchmark::State& state) {
    quarvo::DesktopDialogs dialogs;
    quarvo::QuarvoApp app(".", dialogs, ".");
    quarvo::Session& session = app.GetSession();
    Fill(session.stem, static_cast<std::int32_t>(state.range(0)));
    session.hasStem = true;
    TSteVisual& explorer = *app.Windows().explorer;
    for (auto _ : state) {
        explorer.show();
        // Paints the visible rows, as the user first sees them.
        benchmark::DoNotOptimize(explorer.ex->grab());
        explorer.hide();
    }
}
BENCHMARK(OpenExplorer)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void RowTexts(benchmark::State& state) {
    quarvo::StemStore store;
    Fill(store, 1000);
    std::size_t i = 0;
    for (auto _ : state) {
        const quarvo::StateView s = store.State(i++ % 1000);
        benchmark::DoNotOptimize(quarvo::afficher_listEvent(s.Events, store.actions));
        benchmark::DoNotOptimize(quarvo::afficher_ButStates(s.Arcs));
    }
}
BENCHMARK(RowTexts);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
