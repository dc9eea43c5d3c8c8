#include "engine/refusal.h"

#include <array>

#include <asio/write.hpp>

#include "engine/loop_socket.h"
#include "engine/deadline.h"

namespace {

class Refusal : public std::enable_shared_from_this<Refusal> {
public:
    Refusal(asio::io_context& io, asio::ip::tcp::socket browser, std::string response,
            RefusalLimits limits, std::shared_ptr<void> owner)
        : browser_(std::move(browser)),
          deadline_(io, [this] { End(); }),
          response_(std::move(response)),
          limits_(limits),
          owner_(std::move(owner)) {}

    void Start() {
        auto self = shared_from_this();
        Arm(limits_.sendFor);
        asio::async_write(browser_, asio::buffer(response_),
                          [self](const asio::error_code& error, size_t) {
                              if (error) {
                                  self->End();
                                  return;
                              }
                              asio::error_code ignored;
                              self->browser_.shutdown(asio::socket_base::shutdown_send, ignored);
                              self->Arm(self->limits_.drainFor);
                              self->Drain();
                          });
    }

private:
    void Arm(std::chrono::milliseconds limit) { deadline_.SetAfter(limit, shared_from_this()); }

    void Drain() {
        auto self = shared_from_this();
        browser_.async_read_some(asio::buffer(piece_),
                                 [self](const asio::error_code& error, size_t got) {
                                     self->drained_ += got;
                                     if (error || self->drained_ >= self->limits_.drainBytes)
                                         self->End();
                                     else
                                         self->Drain();
                                 });
    }

    // Closing ends the pending read or write, and cancelling the timer its
    // wait; the last handler to go takes this object with it.
    void End() {
        deadline_.Cancel();
        CancelAndClose(browser_);
    }

    asio::ip::tcp::socket browser_;
    Deadline deadline_;
    std::string response_;
    RefusalLimits limits_;
    std::shared_ptr<void> owner_;
    size_t drained_ = 0;
    std::array<char, 4096> piece_;
};

}  // namespace

void StartRefusal(asio::io_context& io, asio::ip::tcp::socket browser, std::string response,
                  RefusalLimits limits, std::shared_ptr<void> owner) {
    std::make_shared<Refusal>(io, std::move(browser), std::move(response), limits, std::move(owner))
        ->Start();
}
