#include "protocol/TimedConnect.h"

#include <asio/steady_timer.hpp>

#include <memory>

namespace ostrel {

namespace {

struct ConnectAttempt
{
    explicit ConnectAttempt(asio::io_context& io) : socket(io), timer(io) {}
    asio::ip::tcp::socket socket;
    asio::steady_timer timer;
    bool finished = false;
    std::function<void(asio::error_code, asio::ip::tcp::socket)> done;

    void finish(asio::error_code ec)
    {
        if (finished)
            return;
        finished = true;
        timer.cancel();
        if (ec) {
            asio::error_code ignored;
            socket.close(ignored);
        }
        done(ec, std::move(socket));
    }
};

} // namespace

void connectWithTimeout(asio::io_context& io, const asio::ip::tcp::endpoint& endpoint,
                        std::chrono::milliseconds limit,
                        std::function<void(asio::error_code, asio::ip::tcp::socket)> done)
{
    auto attempt = std::make_shared<ConnectAttempt>(io);
    attempt->done = std::move(done);
    attempt->timer.expires_after(limit);
    attempt->timer.async_wait([attempt](asio::error_code ec) {
        if (!ec)
            attempt->finish(asio::error::timed_out);
    });
    attempt->socket.async_connect(endpoint,
                                  [attempt](asio::error_code ec) { attempt->finish(ec); });
}

} // namespace ostrel
