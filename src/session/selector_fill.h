// The proxy selector filled a step at a time. A list of 100,000 proxies put
// into the drop-down box at once would hold the window for seconds; the
// items are queued instead and put in a few thousand per step, each step a
// message of its own, so that the window answers between steps. A selection
// asked for while items wait is made once they are all in.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "proxies/proxy_list_reply.h"

class SelectorFill {
public:
    static constexpr size_t DefaultItemsPerStep = 2000;
    explicit SelectorFill(size_t itemsPerStep = DefaultItemsPerStep);

    // The box was emptied: nothing queued is put in, nothing selected.
    void Clear();
    // Empties a box that holds `count` items a step at a time, from its
    // last item (emptying 100,000 items at once holds the window for
    // seconds); nothing queued before is put in. True when a step is to be
    // asked for.
    bool QueueRemoval(int count);
    // Queues an item for `index` (as the box's insert takes it, in turn
    // with the items before it). True when nothing was queued, so that a
    // step is to be asked for.
    bool Queue(int index, const SelectorItem& item);
    // Queues `items` for `firstIndex` and the indexes after it, held as
    // they are: copying 100,000 items one by one into the queue held the
    // window for a second under Wine's heap.
    bool QueueRun(int firstIndex, std::vector<SelectorItem> items);
    // True when the selection of `text` waits for the queue (and is then
    // made by the last step); false when it can be made now.
    bool SelectAfterFill(const std::string& text);
    bool Filling() const { return removals_ > 0 || !queued_.empty(); }

    using InsertItem = std::function<void(int index, const SelectorItem& item)>;
    using SelectItem = std::function<void(const std::string& text)>;
    using RemoveItem = std::function<void(int index)>;
    using Clock = std::chrono::steady_clock;
    // Takes out and puts in up to one step's items, in the order asked, and
    // ends the step early once `until` has passed (after one item at least):
    // a drop-down box that takes a hundred microseconds an item held the
    // window for a quarter of a second a step. Makes the waiting selection
    // after the last item. True when items remain, so that another step is
    // to be asked for.
    bool RunStep(const InsertItem& insert, const RemoveItem& remove, const SelectItem& select,
                 Clock::time_point until = Clock::time_point::max());

private:
    struct Run {
        int firstIndex;
        std::vector<SelectorItem> items;
        size_t next;
    };
    size_t itemsPerStep_;
    // Items still to be taken out, from the box's last; before any insert.
    int removals_ = 0;
    std::deque<Run> queued_;
    bool selectionWaits_ = false;
    std::string selection_;
};
