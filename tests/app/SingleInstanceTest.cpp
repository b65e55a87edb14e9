#include "app/SingleInstance.h"

#include "TestSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <gtest/gtest.h>

#include <QSysInfo>
#include <future>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace ostrel {
namespace {

TEST(InstanceFrames, RoundTripAndRejects)
{
    const auto frame = encodeInstanceMessage(InstanceMessage::copyData(1094));
    EXPECT_EQ(std::string_view(frame.data(), frame.size()),
              std::string_view("OSTR\x01\x01\x46\x04", 8));
    EXPECT_EQ(decodeInstanceMessage({frame.data(), frame.size()}), InstanceMessage::copyData(1094));
    EXPECT_EQ(decodeInstanceMessage(std::string_view("OSTR\x01\x02\x00\x00", 8)),
              InstanceMessage::exit());
    EXPECT_FALSE(decodeInstanceMessage(std::string_view("OSTR\x02\x01\x52\x00", 8))); // version
    EXPECT_FALSE(decodeInstanceMessage(std::string_view("OSTR\x01\x07\x52\x00", 8))); // kind
    EXPECT_FALSE(decodeInstanceMessage("OSTR\x01"));                                  // short
    EXPECT_EQ(instanceMessageFromName("run"), InstanceMessage::copyData(82));
    EXPECT_EQ(instanceMessageFromName("reload-and-run"), InstanceMessage::copyData(1094));
    EXPECT_FALSE(instanceMessageFromName("stop"));
}

TEST(InstanceFrames, EveryKindHasItsOwnBytesAndOnlyItsCode)
{
    // Kinds 1 to 3 keep the bytes older programs send; the ways into the windows follow.
    const struct
    {
        const char* name; // for --send, "" when none
        InstanceMessage message;
        std::string_view frame;
    } kinds[] = {
        {"", InstanceMessage::copyData(1094), {"OSTR\x01\x01\x46\x04", 8}},
        {"exit", InstanceMessage::exit(), {"OSTR\x01\x02\x00\x00", 8}},
        {"", InstanceMessage::runFull(), {"OSTR\x01\x03\x52\x00", 8}},
        {"configure", InstanceMessage::configure(), {"OSTR\x01\x04\x00\x00", 8}},
        {"plu-file-setting", InstanceMessage::pluFileSetting(), {"OSTR\x01\x05\x00\x00", 8}},
        {"", InstanceMessage::show(), {"OSTR\x01\x06\x46\x04", 8}},
    };
    for (const auto& kind : kinds) {
        const auto frame = encodeInstanceMessage(kind.message);
        EXPECT_EQ(std::string_view(frame.data(), frame.size()), kind.frame) << kind.name;
        EXPECT_EQ(decodeInstanceMessage(kind.frame), kind.message) << kind.name;
        if (*kind.name != '\0') {
            EXPECT_EQ(instanceMessageFromName(kind.name), kind.message);
        }
    }
    EXPECT_FALSE(decodeInstanceMessage(std::string_view("OSTR\x01\x04\x52\x00", 8)));
    EXPECT_FALSE(decodeInstanceMessage(std::string_view("OSTR\x01\x06\x52\x00", 8)));
    EXPECT_FALSE(instanceMessageFromName("show")); // a second start's own
}

class SingleInstanceLive : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (QCoreApplication::instance() == nullptr) {
            static int argc = 1;
            static char name[] = "test_app";
            static char* argv[] = {name, nullptr};
            static QCoreApplication app(argc, argv);
        }
        m_paths = InstancePaths{QString::fromStdString(m_dir.file("o.lock")),
                                QString::fromStdString(m_dir.file("o.sock"))};
    }

    // Runs the event loop until `done` is ready.
    template <typename T> T pump(std::future<T>& done)
    {
        const QDeadlineTimer deadline(20000);
        while (done.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready &&
               !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        return done.get();
    }

    test::TempDir m_dir;
    InstancePaths m_paths;
};

TEST_F(SingleInstanceLive, SecondHolderIsRefusedAndMessagesAreAcknowledged)
{
    std::vector<InstanceMessage> received;
    InstanceServer first(m_paths);
    ASSERT_EQ(first.acquire([&](const InstanceMessage& m) { received.push_back(m); }),
              InstanceServer::Result::Acquired);

    InstanceServer second(m_paths);
    EXPECT_EQ(second.acquire({}), InstanceServer::Result::AlreadyRunning);

    auto sent = std::async(std::launch::async, [this] {
        return sendToRunningInstance(m_paths, InstanceMessage::copyData(1094), 3000, nullptr);
    });
    EXPECT_TRUE(pump(sent));
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0], InstanceMessage::copyData(1094));
}

TEST_F(SingleInstanceLive, ARefusedKindIsAnsweredWithTheReasonAndNotHandled)
{
    std::vector<InstanceMessage> received;
    InstanceServer server(m_paths);
    server.refuse(InstanceMessage::Kind::Exit);
    ASSERT_EQ(server.acquire([&](const InstanceMessage& m) { received.push_back(m); }),
              InstanceServer::Result::Acquired);
    QString error;
    auto refused = std::async(std::launch::async, [&] {
        return sendToRunningInstance(m_paths, InstanceMessage::exit(), 3000, &error);
    });
    EXPECT_FALSE(pump(refused));
    EXPECT_TRUE(error.contains(QStringLiteral("--once"))) << error.toStdString();
    auto taken = std::async(std::launch::async, [this] {
        return sendToRunningInstance(m_paths, InstanceMessage::copyData(82), 3000, nullptr);
    });
    EXPECT_TRUE(pump(taken));
    EXPECT_EQ(received, (std::vector<InstanceMessage>{InstanceMessage::copyData(82)}));
    // A program without windows refuses to open one, and says why.
    server.refuse(InstanceMessage::Kind::Configure);
    auto windowless = std::async(std::launch::async, [&] {
        return sendToRunningInstance(m_paths, InstanceMessage::configure(), 3000, &error);
    });
    EXPECT_FALSE(pump(windowless));
    EXPECT_TRUE(error.contains(QStringLiteral("has no windows"))) << error.toStdString();
    EXPECT_EQ(received.size(), 1u);
}

TEST_F(SingleInstanceLive, APathErrorAcquiresAndSendsNothing)
{
    m_paths.error = QStringLiteral("the folder /tmp/x belongs to another user");
    InstanceServer server(m_paths);
    EXPECT_EQ(server.acquire({}), InstanceServer::Result::Failed);
    EXPECT_EQ(server.errorText(), m_paths.error);
    QString error;
    EXPECT_FALSE(sendToRunningInstance(m_paths, InstanceMessage::copyData(82), 100, &error));
    EXPECT_EQ(error, m_paths.error);
    EXPECT_FALSE(QFile::exists(m_paths.lockFile));
}

TEST_F(SingleInstanceLive, StaleLockAndSocketOfAKilledInstanceAreRecovered)
{
    // A lock naming a process that no longer exists, and a socket file nobody listens on.
    pid_t dead = ::fork();
    if (dead == 0) {
        ::_exit(0);
    }
    ::waitpid(dead, nullptr, 0);
    test::writeFile(m_paths.lockFile.toStdString(), std::to_string(dead) + "\nostrel\n" +
                                                        QSysInfo::machineHostName().toStdString() +
                                                        "\n");
    test::writeFile(m_paths.socketPath.toStdString(), "");

    InstanceServer server(m_paths);
    ASSERT_EQ(server.acquire([](const InstanceMessage&) {}), InstanceServer::Result::Acquired);
    auto sent = std::async(std::launch::async, [this] {
        return sendToRunningInstance(m_paths, InstanceMessage::exit(), 3000, nullptr);
    });
    EXPECT_TRUE(pump(sent));
}

TEST_F(SingleInstanceLive, NoListenerGivesAnErrorAfterTheRetryTime)
{
    QString error;
    EXPECT_FALSE(sendToRunningInstance(m_paths, InstanceMessage::copyData(82), 300, &error));
    EXPECT_FALSE(error.isEmpty());
}

} // namespace
} // namespace ostrel
