// An owner-data list opened, scrolled to its last row and read the way a screen shows it, for a
// model of 100 rows (the baseline) and of 100,000 rows. The list copies nothing and asks the
// model only for the rows on screen, so both should cost the same; the counter says how many
// rows the model was asked for per opening.
//
// The same steps run against the real list view in the Windows test program under Wine
// (tests/ui), where the number of rows the model is asked for is checked.
#include <benchmark/benchmark.h>

#include <string>

#include "ids.h"
#include "platform/headless/headless.h"
#include "platform/ui.h"

namespace {

using wq::ui::Tick;

class Rows : public wq::ui::ListModel {
  public:
    explicit Rows(int n) : n_(n) {}
    int rowCount() const override { return n_; }
    std::string text(int row, int) const override {
        ++reads;
        return "Rule " + std::to_string(row);
    }
    Tick tick(int row) const override { return row % 3 ? Tick::kOn : Tick::kOff; }
    mutable long reads = 0;

  private:
    int n_;
};

class ListDialog : public wq::ui::Dialog {
  public:
    explicit ListDialog(Rows& rows) : rows_(rows) {}
    bool onInit() override {
        wq::ui::ListView* list = window().listView(IDC_MAIL_RULES_LIST);
        wq::ui::ListSetup setup;
        setup.columns = {{"", -1}};
        setup.ticks = {IDB_CHECK_STATES, 16, true, {}};
        list->setup(setup);
        list->setModel(&rows_);
        list->select(rows_.rowCount() - 1);
        list->ensureVisible(rows_.rowCount() - 1);
        return true;
    }

  private:
    Rows& rows_;
};

void BM_OpenAndScrollToEnd(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    Rows rows(n);
    long opened = 0;
    for (auto _ : state) {
        wq::headless::Reset();
        wq::headless::OnDialog([n](wq::headless::DialogView& v) {
            // What a screen of about twenty rows at the end of the list shows.
            for (int row = n - 20; row < n; ++row) {
                benchmark::DoNotOptimize(v.rowText(IDC_MAIL_RULES_LIST, row));
            }
            v.click(wq::ui::kIdOk);
        });
        ListDialog dialog(rows);
        benchmark::DoNotOptimize(wq::ui::RunModalDialog(IDD_MAIL_RULES, nullptr, dialog));
        ++opened;
    }
    state.counters["rows asked"] = static_cast<double>(rows.reads) / static_cast<double>(opened);
}
BENCHMARK(BM_OpenAndScrollToEnd)->Arg(100)->Arg(100000);

}  // namespace

BENCHMARK_MAIN();
