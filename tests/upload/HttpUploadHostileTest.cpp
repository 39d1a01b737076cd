// Servers that misbehave must neither hang the upload nor fill the program's memory: each case
// ends in an error within the bound and the client leaves the connection. Most run with a
// lowered stall time-out; one proves the 35 s bound with the real one.
#include "PeakMemory.h"
#include "ScriptedHttpServer.h"
#include "TestApplication.h"
#include "UploadEvents.h"

#include <QFile>
#include <QWidget>

#include <gtest/gtest.h>

#include <optional>

using namespace uploadtest;
using Kind = Reply::Kind;

namespace {

constexpr qint64 kLoweredCap = 4 * 1024 * 1024;

struct HostileCase
{
    const char* name;
    Kind kind;
    std::chrono::milliseconds interval;
    bool realTimeOuts; // else a stall time-out of 2 s and an answer cap of 4 MB
    bool serverCloses;
};

class HostileServerTest : public testing::TestWithParam<HostileCase>
{
protected:
    HostileServerTest() { testsupport::ensureApplication(); }
    ~HostileServerTest() override { TVelkoHTTPUpload::setOptions({}); }
};

TEST_P(HostileServerTest, EndsInAnErrorWithinTheBound)
{
    const HostileCase& hostile = GetParam();
    TVelkoHTTPUpload::Options options;
    if (!hostile.realTimeOuts) {
        options.stallTimeoutSeconds = 2;
        options.maxAnswerBytes = kLoweredCap;
    }
    TVelkoHTTPUpload::setOptions(options);

    ScriptedHttpServer server;
    Reply reply = Reply::of(hostile.kind, hostile.interval);
    reply.body = QByteArray(100000, 'a');
    server.setScript([reply](const RecordedRequest&) { return reply; });
    QWidget window;
    TVelkoHTTPUpload upload(&window);
    UploadEvents events(upload);

    resetPeakRss();
    const double rssBefore = peakRssMb();
    events.start();
    ASSERT_TRUE(upload.SendRequest(server.server(), QStringLiteral("/programma/uploadfile.aspx"),
                                   TVelkoHTTPPostType::hpMultipart, QByteArray(20000, 'x')));
    ASSERT_TRUE(events.waitForEnd(35s)) << "still running after 35 s";
    const qint64 took = events.clock.elapsed();

    ASSERT_EQ(events.errors.size(), 1u);
    EXPECT_TRUE(events.answers.empty());
    EXPECT_EQ(events.canceled, 0);
    EXPECT_FALSE(events.errors[0].text.isEmpty());
    if (hostile.realTimeOuts) {
        EXPECT_GE(took, 29000) << "the stall time-out is 30 s";
    }
    if (!hostile.serverCloses) {
        EXPECT_TRUE(pumpUntil([&] { return server.closedByClientCount() == 1; }))
            << "the client leaves the connection";
    }
    if (hostile.kind == Kind::Endless) {
        // The cap ended it: the server could have sent without end.
        EXPECT_GE(server.bytesAnswered(), kLoweredCap);
        EXPECT_LT(server.bytesAnswered(), 16 * kLoweredCap);
        EXPECT_LT(peakRssMb() - rssBefore, 64) << "memory stays bounded";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Servers, HostileServerTest,
    testing::Values(HostileCase{"GarbageInsteadOfHttp", Kind::Garbage, {}, false, false},
                    HostileCase{"EndlessAnswer", Kind::Endless, {}, false, false},
                    HostileCase{"AcceptsAndNeverAnswers", Kind::Silent, {}, false, false},
                    HostileCase{"ClosesMidBody", Kind::CloseMidBody, {}, false, true},
                    HostileCase{"AByteAMinute", Kind::Trickle, std::chrono::minutes(1), true,
                                false}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
