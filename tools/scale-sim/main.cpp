// ostrel-scale-sim: simulated label-printing scales for tests, benchmarks and demos.
#include "SimOptions.h"
#include "SimServer.h"

#include <asio/io_context.hpp>
#include <asio/signal_set.hpp>

#include <cstdio>
#include <exception>
#include <iostream>
#include <thread>

int main(int argc, char** argv)
{
    using namespace ostrel::sim;
    const ParseResult parsed = parseArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.config) {
        std::fprintf(stderr, "ostrel-scale-sim: %s (see --help)\n", parsed.error.c_str());
        return 2;
    }
    if (parsed.config->help) {
        std::fputs(helpText().c_str(), stdout);
        return 0;
    }
    if (parsed.config->version) {
        std::fputs(versionText().c_str(), stdout);
        return 0;
    }
    try {
        SimServer server(*parsed.config);
        server.bind();

        // Signals are waited for on a loop of their own, so the server's loop stays its own.
        asio::io_context signalLoop;
        asio::signal_set signals(signalLoop, SIGINT, SIGTERM);
        signals.async_wait([&server](asio::error_code ec, int) {
            if (!ec)
                server.stop();
        });
        std::thread signalThread([&signalLoop] { signalLoop.run(); });

        std::cout << server.readyLine() << std::endl;
        server.run();

        signals.cancel();
        signalLoop.stop();
        signalThread.join();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ostrel-scale-sim: %s\n", e.what());
        return 1;
    }
    return 0;
}
