// The real owner-data list view under Windows (or Wine): dialog 4101 opened with a model of 100
// rows (the baseline) and of 100,000 rows, scrolled to its last row by the dialog, until it is
// shown and waits for a person. Prints the median time of five openings and how many rows the
// model was asked for.
//
// usage: list_timing.exe   (run it under xvfb-run wine for the Wine figures)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "ids.h"
#include "platform/headless/headless.h"
#include "platform/ui.h"

namespace {

class Rows : public wq::ui::ListModel {
  public:
    explicit Rows(int n) : n_(n) {}
    int rowCount() const override { return n_; }
    std::string text(int row, int) const override {
        ++asked;
        return "Rule " + std::to_string(row);
    }
    wq::ui::Tick tick(int row) const override {
        return row % 3 ? wq::ui::Tick::kOn : wq::ui::Tick::kOff;
    }
    mutable long asked = 0;

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

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

}  // namespace

int main() {
    LoadLibraryA("riched20.dll");  // the template's description pane
    std::printf("%-10s %14s %12s\n", "rows", "open ms (med)", "rows asked");
    for (int n : {100, 100000}) {
        std::vector<double> times;
        long asked = 0;
        for (int run = 0; run < 5; ++run) {
            Rows rows(n);
            ListDialog dialog(rows);
            // Ready when the dialog's loop is idle: shown, painted, and waiting for a person.
            LARGE_INTEGER start, ready;
            wq::headless::OnDialog([&](wq::headless::DialogView& v) {
                QueryPerformanceCounter(&ready);
                v.click(wq::ui::kIdOk);
            });
            QueryPerformanceCounter(&start);
            wq::ui::RunModalDialog(IDD_MAIL_RULES, nullptr, dialog);
            times.push_back(Seconds(start, ready) * 1000);
            asked = rows.asked;
        }
        std::sort(times.begin(), times.end());
        std::printf("%-10d %14.1f %12ld\n", n, times[2], asked);
    }
    return 0;
}
