// The audit and access logs' lines: valid whatever a request or file name holds.
#include "host/AuditLog.h"

#include <gtest/gtest.h>

#include "host/AccessLog.h"

namespace vantrel::host {
namespace {

TEST(AuditLogTest, WritesOneValidJsonLinePerOperation) {
    asp::OperationRecord record;
    record.letter = 'E';
    record.archive = "c:\\d\\\"q\".zip";
    record.target = std::string("c:\\out\n\xff", 8);
    record.entries = {"caf\xc3\xa9.txt"};
    record.status = -61;
    record.outcome = asp::OperationOutcome::Failed;
    record.text = "<B>Error:</B> Bad or missing decryption key &amp; more.";
    AuditWho who{{}, "alice", 1001, 1002, "10.0.0.7"};
    EXPECT_EQ(OperationAuditLine(who, record, std::chrono::milliseconds(42)),
              "{\"time\":\"1970-01-01T00:00:00.000Z\",\"event\":\"operation\",\"account\":"
              "\"alice\",\"uid\":1001,\"gid\":1002,\"client\":\"10.0.0.7\",\"operation\":\"E\","
              "\"archive\":\"c:\\\\d\\\\\\\"q\\\".zip\",\"target\":\"c:\\\\out\\u000a\\u00ff\","
              "\"entries\":[\"caf\xc3\xa9.txt\"],\"status\":-61,\"result\":\"failed\","
              "\"text\":\"Error: Bad or missing decryption key & more.\",\"durationMs\":42,"
              "\"bytesIn\":0,\"bytesOut\":0}");
    record.entries.assign(101, "x");
    record.status.reset();
    std::string many = OperationAuditLine(who, record, {});
    EXPECT_NE(many.find("\"entryCount\":101,\"status\":null"), std::string::npos) << many;
}

TEST(AccessLogTest, WritesTheCommonLogFormatWithoutForgeableLines) {
    AccessEntry entry{
        "10.0.0.7", "al ice", std::chrono::system_clock::time_point{}, "GET /x\"\n HTTP/1.1",
        200,        12};
    std::string line = CommonLogLine(entry);
    EXPECT_EQ(line.rfind("10.0.0.7 - al\\x20ice [", 0), 0u) << line;
    EXPECT_NE(line.find("] \"GET /x\\\"\\x0a HTTP/1.1\" 200 12"), std::string::npos) << line;
    entry.account.clear();
    entry.bytes.reset();
    line = CommonLogLine(entry);
    EXPECT_NE(line.find("10.0.0.7 - - ["), std::string::npos);
    EXPECT_TRUE(line.ends_with("HTTP/1.1\" 200 -")) << line;
}

}  // namespace
}  // namespace vantrel::host
