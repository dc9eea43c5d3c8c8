// The main window's view rules that need no window: the sort order of
// "Already Tested Proxies", how the view follows the list, and the proxy
// selector filled a step at a time.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/list_view_order.h"
#include "session/selector_fill.h"

namespace {

ProxyEntry Row(const std::string& address, const std::string& time = NotTestedToday,
               const std::string& speed = NoSpeed, const std::string& level = "") {
    // A bare name is a host on port 80, as the view tests name rows.
    ProxyEntry row{address.find(':') == std::string::npos ? net::ProxyAddress(address, 80)
                                                          : net::ParseProxyAddress(address),
                   "", time, speed};
    row.anonymity = level;
    return row;
}

struct CellOrderCase {
    int column;
    ProxyEntry a;
    ProxyEntry b;
    int expected;  // -1: a first, 0: equal, 1: b first
};

int SignOf(int value) {
    return value < 0 ? -1 : value > 0 ? 1 : 0;
}

TEST(CompareCells, OrdersEachColumnByWhatItMeans) {
    const CellOrderCase cases[] = {
        // Times by their numbers, not their text; both spellings of the unit.
        {ResponseTimeColumn, Row("a", "90 miliseconds"), Row("b", "120 miliseconds"), -1},
        {ResponseTimeColumn, Row("a", "1500 milliseconds"), Row("b", "200 miliseconds"), 1},
        {ResponseTimeColumn, Row("a", "300 miliseconds"), Row("b", "300 milliseconds"), 0},
        // Not tested after every tested row.
        {ResponseTimeColumn, Row("a"), Row("b", "99999 miliseconds"), 1},
        {ResponseTimeColumn, Row("a", "5 miliseconds"), Row("b"), -1},
        // Speeds with their fractions.
        {DownloadSpeedColumn, Row("a", "", "9.50 KB/sec"), Row("b", "", "10.25 KB/sec"), -1},
        {DownloadSpeedColumn, Row("a", "", "0.75 KB/sec"), Row("b", "", "0.70 KB/sec"), 1},
        {DownloadSpeedColumn, Row("a", "", NoSpeed), Row("b", "", "0.01 KB/sec"), 1},
        // Levels from the best down, untested last.
        {AnonymityColumn, Row("a", "", "", "Elite"), Row("b", "", "", "Anonymous"), -1},
        {AnonymityColumn, Row("a", "", "", "Transparent"), Row("b", "", "", "Anonymous"), 1},
        {AnonymityColumn, Row("a", "", "", ""), Row("b", "", "", "Unknown"), 1},
        {AnonymityColumn, Row("a", "", "", "Elite"), Row("b", "", "", "Elite"), 0},
        // Text without regard to case, a shorter twin first.
        {AddressColumn, Row("Proxy.example:80"), Row("proxy.example:80"), 0},
        {AddressColumn, Row("a.example:80"), Row("B.example:80"), -1},
        {AddressColumn, Row("a.example:8"), Row("a.example:80"), -1},
    };
    for (const auto& test : cases) {
        EXPECT_EQ(SignOf(CompareCells(test.column, test.a, test.b)), test.expected)
            << test.column << ": " << CellText(test.a, test.column) << " / "
            << CellText(test.b, test.column);
    }
}

// The rows a large list's columns are sized over: the longest cells of
// each column, each row once, in the list's order.
TEST(RowsWithLongestCells, TheLongestOfEachColumnOnce) {
    std::vector<ProxyEntry> rows = {Row("a"), Row("bbbbbbbbbb"), Row("c", "1 miliseconds"),
                                    Row("dddddddddd", "2 miliseconds", "9.99 KB/sec", "Elite"),
                                    Row("e")};
    // Rows 0 and 1 win ties (empty cells, equal lengths) as the earlier ones.
    EXPECT_EQ((std::vector<size_t>{0, 1, 3}), RowsWithLongestCells(rows, 1));
    EXPECT_EQ(5u, RowsWithLongestCells(rows, 9).size());
}

std::vector<std::string> ViewAddresses(const ListViewOrder& order,
                                       const std::vector<ProxyEntry>& rows) {
    std::vector<std::string> addresses;
    for (int row : order.ViewRows())
        addresses.push_back(rows[static_cast<size_t>(row)].proxy.host);
    return addresses;
}

TEST(ListViewOrder, SortsTheViewOnlyAndTurnsRoundOnASecondClick) {
    std::vector<ProxyEntry> rows = {Row("a", "300 miliseconds"), Row("b", "20 miliseconds"),
                                    Row("c"), Row("d", "20 miliseconds")};
    const std::vector<ProxyEntry> listBefore = rows;
    ListViewOrder order;
    order.SortBy(ResponseTimeColumn, rows);
    EXPECT_EQ(ViewAddresses(order, rows), (std::vector<std::string>{"b", "d", "a", "c"}));
    EXPECT_EQ(order.ListRowAt(0), 1);
    EXPECT_EQ(order.ListRowAt(4), -1);
    order.SortBy(ResponseTimeColumn, rows);
    EXPECT_FALSE(order.Ascending());
    // Equal rows keep the list's order either way round.
    EXPECT_EQ(ViewAddresses(order, rows), (std::vector<std::string>{"c", "a", "b", "d"}));
    order.SortBy(AddressColumn, rows);
    EXPECT_TRUE(order.Ascending());
    EXPECT_EQ(rows[0].Address(), listBefore[0].Address());
}

TEST(ListViewOrder, FollowsTheListsInsertionsAndRemovalsInItsOrder) {
    std::vector<ProxyEntry> rows;
    ListViewOrder order;
    // Unsorted: the view row is the list row.
    rows.insert(rows.begin(), Row("x", "50 miliseconds"));
    EXPECT_EQ(order.RowInserted(0, rows), 0);
    rows.insert(rows.begin(), Row("y", "10 miliseconds"));
    EXPECT_EQ(order.RowInserted(0, rows), 0);
    EXPECT_EQ(ViewAddresses(order, rows), (std::vector<std::string>{"y", "x"}));

    order.SortBy(ResponseTimeColumn, rows);
    // A row tested again comes back in its sorted place (a replaced row is
    // removed and inserted in the list).
    rows.erase(rows.begin() + 0);
    EXPECT_EQ(order.RowRemoved(0), 0);
    rows.insert(rows.begin() + 0, Row("y", "70 miliseconds"));
    EXPECT_EQ(order.RowInserted(0, rows), 1);
    EXPECT_EQ(ViewAddresses(order, rows), (std::vector<std::string>{"x", "y"}));
    // Appended, equal to a row: after it.
    rows.push_back(Row("z", "50 miliseconds"));
    EXPECT_EQ(order.RowInserted(2, rows), 1);
    EXPECT_EQ(ViewAddresses(order, rows), (std::vector<std::string>{"x", "z", "y"}));
    // Removing list row 1 ("x", view row 0) shifts the list rows after it.
    rows.erase(rows.begin() + 1);
    EXPECT_EQ(order.RowRemoved(1), 0);
    EXPECT_EQ(ViewAddresses(order, rows), (std::vector<std::string>{"z", "y"}));
    EXPECT_EQ(order.ListRowAt(0), 1);
    EXPECT_EQ(order.RowRemoved(7), -1);
}

// A stand-in for the drop-down box: its items as the box's insert makes
// them, and what is selected.
struct FakeBox {
    std::vector<std::string> items;
    std::string selected;
    SelectorFill::InsertItem Insert() {
        return [this](int index, const SelectorItem& item) {
            items.insert(items.begin() + index, item.text);
        };
    }
    SelectorFill::RemoveItem Remove() {
        return [this](int index) { items.erase(items.begin() + index); };
    }
    SelectorFill::SelectItem Select() {
        return [this](const std::string& text) { selected = text; };
    }
};

TEST(SelectorFill, PutsTheItemsInAStepAtATimeInTheOrderTheyCame) {
    SelectorFill fill(2000);
    FakeBox box;
    EXPECT_TRUE(fill.Queue(0, {"proxy 0", 0}));
    for (int i = 1; i < 4500; ++i)
        EXPECT_FALSE(fill.Queue(i, {"proxy " + std::to_string(i), 0}));
    // The first-ever item of the box, put in at the top after the others.
    EXPECT_FALSE(fill.Queue(0, {"start-up", 1}));
    EXPECT_TRUE(fill.SelectAfterFill("proxy 4499"));
    EXPECT_TRUE(fill.RunStep(box.Insert(), box.Remove(), box.Select()));
    EXPECT_EQ(box.items.size(), 2000u);
    EXPECT_TRUE(fill.RunStep(box.Insert(), box.Remove(), box.Select()));
    EXPECT_EQ(box.items.size(), 4000u);
    EXPECT_EQ(box.selected, "");
    // A step whose time is up still puts one item in.
    EXPECT_TRUE(fill.RunStep(box.Insert(), box.Remove(), box.Select(),
                             SelectorFill::Clock::now() - std::chrono::seconds(1)));
    EXPECT_EQ(box.items.size(), 4001u);
    EXPECT_FALSE(fill.RunStep(box.Insert(), box.Remove(), box.Select()));
    ASSERT_EQ(box.items.size(), 4501u);
    EXPECT_EQ(box.items.front(), "start-up");
    EXPECT_EQ(box.items[1], "proxy 0");
    EXPECT_EQ(box.items.back(), "proxy 4499");
    EXPECT_EQ(box.selected, "proxy 4499");
    EXPECT_FALSE(fill.Filling());
    // Nothing waits: the selection is the caller's to make at once.
    EXPECT_FALSE(fill.SelectAfterFill("proxy 1"));
}

TEST(SelectorFill, AClearedBoxTakesNothingMoreOfTheEarlierFill) {
    SelectorFill fill(2);
    FakeBox box;
    fill.Queue(0, {"old 0", 0});
    fill.Queue(1, {"old 1", 0});
    fill.Queue(2, {"old 2", 0});
    fill.SelectAfterFill("old 2");
    EXPECT_TRUE(fill.RunStep(box.Insert(), box.Remove(), box.Select()));
    fill.Clear();
    box.items.clear();
    EXPECT_FALSE(fill.Filling());
    EXPECT_TRUE(fill.Queue(0, {"new 0", 0}));
    EXPECT_FALSE(fill.RunStep(box.Insert(), box.Remove(), box.Select()));
    EXPECT_EQ(box.items, std::vector<std::string>{"new 0"});
    EXPECT_EQ(box.selected, "");
}

TEST(SelectorFill, EmptiesAFullBoxAStepAtATimeBeforeTheNewItemsGoIn) {
    SelectorFill fill(3);
    FakeBox box;
    box.items = {"old 0", "old 1", "old 2", "old 3", "old 4"};
    fill.Queue(5, {"never", 0});
    EXPECT_TRUE(fill.QueueRemoval(5));
    EXPECT_FALSE(fill.QueueRun(0, {{"new 0", 0}, {"new 1", 0}}));
    EXPECT_FALSE(fill.Queue(0, {"first", 0}));
    EXPECT_TRUE(fill.RunStep(box.Insert(), box.Remove(), box.Select()));
    EXPECT_EQ(box.items, (std::vector<std::string>{"old 0", "old 1"}));
    EXPECT_TRUE(fill.RunStep(box.Insert(), box.Remove(), box.Select()));
    EXPECT_FALSE(fill.RunStep(box.Insert(), box.Remove(), box.Select()));
    EXPECT_EQ(box.items, (std::vector<std::string>{"first", "new 0", "new 1"}));
    EXPECT_FALSE(fill.QueueRemoval(0));
}

}  // namespace
