// The main window with a thousand adapters, watched by the UI probe: every
// adapter is listed after start-up and after "Update", row i shows table
// entry i with the texts the window hands out on demand, and the list paints
// its new rows (a rebuild that left the list's redraw off would show nothing),
// and the row the user picked stays tracked across the rebuild.
// Correctness only: timing belongs to scripts/bench-ui.sh.
#include <gtest/gtest.h>

#include <ostream>
#include <set>
#include <string>

#include "app/adapter_config_app.h"
#include "tests/support/network_env.h"
#include "tests/support/sim_process.h"
#include "tools/ui_bench/ui_probe.h"

// Rows print as their texts in failure messages.
void PrintTo(const ProbeRow& row, std::ostream* out) {
    *out << '"' << row.ip << " | " << row.mac << " | " << row.status << '"';
}

namespace {

constexpr int kGenerated = 1000;

void ExpectRowsShowTheTable(const ProbeSnapshot& snapshot, const char* when) {
    SCOPED_TRACE(when);
    EXPECT_TRUE(snapshot.listVisible);
    ASSERT_EQ(snapshot.table.size(), static_cast<size_t>(kGenerated + 1))
        << "every adapter answered and was merged";
    ASSERT_EQ(snapshot.rows.size(), snapshot.table.size());
    std::set<std::string> macs;
    for (size_t i = 0; i < snapshot.rows.size(); ++i) {
        ASSERT_EQ(snapshot.rows[i], snapshot.table[i]) << "row " << i;
        macs.insert(snapshot.rows[i].mac);
    }
    EXPECT_EQ(macs.size(), snapshot.rows.size()) << "one row per adapter";
}

TEST(UiRebuildTest, AThousandAdaptersAreListedInTableOrderAndPainted) {
    REQUIRE_PRIVATE_NETWORK();
    SimulatorProcess sim;
    // One controlled adapter first, so the status column has both kinds of
    // text; its last three MAC octets differ from every generated adapter's.
    ASSERT_TRUE(sim.Start({"--adapter", "10.231.0.40,00:1b:2c:10:00:40,10.231.0.77", "--generate",
                           std::to_string(kGenerated), "--lifetime", "120"}))
        << sim.GetLastError();

    CAdapterConfigApp app;
    ProbeReport report;
    std::string error;
    // Row 1 is clicked before "Update": the rebuild must not move the tracking.
    ASSERT_TRUE(RunProbedSession(ProbeOptions{.updates = 1, .selectRow = 1}, report, error))
        << error;

    ExpectRowsShowTheTable(report.atStart, "after start-up");
    EXPECT_EQ(report.atStart.trackedRow, -1) << "listing rows selects none";
    ASSERT_FALSE(report.atStart.rows.empty());
    EXPECT_EQ(report.atStart.rows[0],
              (ProbeRow{"10.231.0.40", "00:1b:2c:10:00:40", "Controlled by 10.231.0.77"}));
    EXPECT_EQ(report.atStart.rows[1], (ProbeRow{"10.231.128.1", "02:7e:a0:00:00:01", "Ready"}));

    ASSERT_EQ(report.updates.size(), 1u);
    const ProbeUpdate& update = report.updates[0];
    ExpectRowsShowTheTable(update.after, "after \"Update\"");
    EXPECT_EQ(update.after.rows, report.atStart.rows) << "the same adapters, the same rows";
    EXPECT_EQ(update.after.trackedRow, 1) << "a refresh keeps the tracked row";
    EXPECT_TRUE(update.repainted) << "the list did not paint after \"Update\"";
    EXPECT_GT(update.textRequestsInPaint, 0) << "the paint asked for no row text";
}

}  // namespace
