// The proxy selector filled a step at a time. A list of 100,000 proxies put
// into the drop-down box at once would hold the window for seconds; the
// items are queued instead and put in a few thousand per step, each step a
// message of its own, so that the window answers between steps. A selection
// asked for while items wait is made once they are all in.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <string>

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
    // with the items before it). True when the queue was empty, so that a
    // step is to be asked for.
    bool Queue(int index, const SelectorItem& item);
    // True when the selection of `text` waits for the queue (and is then
    // made by the last step); false when it can be made now.
    bool SelectAfterFill(const std::string& text);
    bool Filling() const { return !queued_.empty(); }

    using InsertItem = std::function<void(int index, const SelectorItem& item)>;
    using SelectItem = std::function<void(const std::string& text)>;
    using RemoveItem = std::function<void(int index)>;
    // Takes out and puts in up to one step's items, in the order asked, and
    // makes the
    // waiting selection after the last. True when items remain, so that
    // another step is to be asked for.
    bool RunStep(const InsertItem& insert, const RemoveItem& remove, const SelectItem& select);

private:
    struct Queued {
        bool remove;
        int index;
        SelectorItem item;
    };
    size_t itemsPerStep_;
    std::deque<Queued> queued_;
    bool selectionWaits_ = false;
    std::string selection_;
};
