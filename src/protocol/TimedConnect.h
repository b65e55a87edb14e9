// A TCP connect that gives up after a time limit.
#pragma once

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>

#include <chrono>
#include <functional>

namespace ostrel {

// Calls done exactly once, on the context's thread, with the connected socket or an error.
void connectWithTimeout(asio::io_context& io, const asio::ip::tcp::endpoint& endpoint,
                        std::chrono::milliseconds limit,
                        std::function<void(asio::error_code, asio::ip::tcp::socket)> done);

} // namespace ostrel
