// Status requests: validation and conversion to request codes; replies: the
// decoding of numbered fields, including replies that end inside a field.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "status/status_reply.h"
#include "tests/support/trace_capture.h"

namespace {

typedef std::vector<BYTE> Bytes;

Bytes bytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

BOOL convert(const Bytes& request, DWORD length, DWORD* code) {
  // Requests are read from a 128-byte command buffer, as the status thread keeps them.
  BYTE buffer[128] = {};
  std::copy(request.begin(), request.end(), buffer);
  return convertStatusString(nullptr, buffer, length, code);
}

TEST(StatusRequest, EveryValidRequestHasItsCodeAndName) {
  TraceCapture trace(DIAG_INFO | DIAG_ERRORS);
  const struct {
    char letter;
    DWORD code;
    const char* name;
  } kShort[] = {{'S', 0, "SHORT_STATUS"}, {'N', 1, "NORMAL_STATUS"}, {'E', 2, "EXTENDED_STATUS"}, {'C', 3, "COMPLETE_STATUS"}};
  for (const auto& entry : kShort) {
    DWORD code = 99;
    EXPECT_TRUE(convert({0x1B, 'I', static_cast<BYTE>(entry.letter)}, 3, &code));
    EXPECT_EQ(entry.code, code);
    EXPECT_TRUE(trace.contains(entry.name)) << entry.name;
  }
  for (BYTE field = 0; field <= 15; ++field) {
    DWORD code = 99;
    EXPECT_TRUE(convert({0x1B, 'I', 'A', field}, 4, &code));
    EXPECT_EQ(4u + field, code);
  }
  EXPECT_TRUE(trace.contains("FIELD_15"));
}

TEST(StatusRequest, PrintTicketIsAcceptedWithAnyLength) {
  TraceCapture trace(DIAG_INFO | DIAG_ERRORS);
  const Bytes request = {0x1B, 'I', 'A', 'c', 1, 2, 3, 4, 5, 6, 7};
  for (DWORD length : {0u, 2u, 4u, 5u, 11u, 200u}) {
    DWORD code = 0;
    EXPECT_TRUE(convert(request, length, &code)) << length;
    EXPECT_EQ(static_cast<DWORD>(PRINT_F0_TICKET), code);
  }
  EXPECT_TRUE(trace.contains("Print F0 Ticket"));
}

TEST(StatusRequest, MalformedRequestsFailWithTheirReason) {
  TraceCapture trace(DIAG_INFO | DIAG_ERRORS);
  DWORD code = 77;
  EXPECT_FALSE(convert({0x1B, 'I'}, 2, &code));
  EXPECT_FALSE(convert({0x1B, 'I', 'S', 0, 0}, 5, &code));
  EXPECT_EQ(2u, trace.count("Illegal status length"));

  EXPECT_FALSE(convert({0x1B, 'J', 'S'}, 3, &code));
  EXPECT_TRUE(trace.contains("Illegal status byte in first 2 bytes"));
  EXPECT_FALSE(convert({0x1B, 'I', 'X'}, 3, &code));
  EXPECT_TRUE(trace.contains("3 byte status string, not S,N,E or C"));
  EXPECT_FALSE(convert({0x1B, 'I', 'S'}, 4, &code));
  EXPECT_TRUE(trace.contains("4 byte status string, byte 2 not A"));
  EXPECT_FALSE(trace.contains("legal sequence"));

  // Field 16 passes the form checks and fails on the field number.
  trace.clear();
  EXPECT_FALSE(convert({0x1B, 'I', 'A', 0x10}, 4, &code));
  EXPECT_TRUE(trace.contains("legal sequence"));
  EXPECT_FALSE(trace.contains("FIELD_"));
  EXPECT_EQ(77u, code);
}

TEST(StatusRequest, CodeNamesCoverOnlyTheTable) {
  TraceCapture trace(DIAG_INFO | DIAG_ERRORS);
  traceStatusCode(nullptr, 26);
  traceStatusCode(nullptr, 27);
  traceStatusCode(nullptr, 28);
  traceStatusCode(nullptr, 40);
  EXPECT_TRUE(trace.contains("STATUS_Z"));
  EXPECT_TRUE(trace.contains("ID_STRING"));
  EXPECT_EQ(2u, trace.lines().size());
}

Bytes completeExample() {
  Bytes reply = bytes("C00");
  reply.push_back(0x00);
  reply.push_back(0x24);
  const Bytes rest = bytes("01000""0200001234""03045""04");
  reply.insert(reply.end(), rest.begin(), rest.end());
  reply.push_back(0x01);
  reply.push_back(0x2C);
  const Bytes version = bytes("0505V1.23");
  reply.insert(reply.end(), version.begin(), version.end());
  return reply;
}

TEST(StatusFields, CompleteStatusDecodesEveryField) {
  const Bytes reply = completeExample();
  STATUSFIELDS fields;
  ASSERT_TRUE(decodeStatusFields(reply.data(), static_cast<DWORD>(reply.size()), &fields));
  EXPECT_STREQ("C", fields.type);
  EXPECT_EQ(0x0024u, fields.bitFlags);
  EXPECT_STREQ("0x0024", fields.bitFlagsText);
  EXPECT_EQ(0, fields.errorCode);
  EXPECT_STREQ("000", fields.errorCodeText);
  EXPECT_EQ(1234, fields.ticketCount);
  EXPECT_STREQ("00001234", fields.ticketCountText);
  EXPECT_EQ(45, fields.headTempC);
  EXPECT_EQ(113, fields.headTempF);
  EXPECT_STREQ("045", fields.headTempText);
  EXPECT_EQ(300u, fields.formsLength);
  EXPECT_STREQ("  3.00 in.", fields.formsLengthText);
  EXPECT_STREQ("V1.23", fields.versionText);
  EXPECT_STREQ("V1.23", fields.versionPart1);
  EXPECT_STREQ("", fields.versionPart2);
}

TEST(StatusFields, UnknownTypeAndUnknownFieldsStopTheDecoding) {
  STATUSFIELDS fields;
  const Bytes x = bytes("X00ab");
  EXPECT_FALSE(decodeStatusFields(x.data(), static_cast<DWORD>(x.size()), &fields));
  EXPECT_STREQ("X", fields.type);
  EXPECT_EQ(0u, fields.bitFlags);

  Bytes reply = bytes("S00");
  reply.push_back(0x80);
  reply.push_back(0x01);
  const Bytes rest = bytes("07xyz03045");
  reply.insert(reply.end(), rest.begin(), rest.end());
  EXPECT_TRUE(decodeStatusFields(reply.data(), static_cast<DWORD>(reply.size()), &fields));
  EXPECT_EQ(0x8001u, fields.bitFlags);
  EXPECT_EQ(0, fields.headTempC);
}

TEST(StatusFields, FieldsRunningPastTheReplyEndTheDecoding) {
  STATUSFIELDS fields;
  // A version length that is not two digits, or that runs past the reply.
  for (const char* tail : {"05x5V1.23", "0599V1.23", "055", "05"}) {
    const Bytes reply = bytes(std::string("A03045") + tail);
    EXPECT_TRUE(decodeStatusFields(reply.data(), static_cast<DWORD>(reply.size()), &fields)) << tail;
    EXPECT_EQ(45, fields.headTempC) << tail;
    EXPECT_STREQ("", fields.versionText) << tail;
  }
  // Fields cut short by the end of the reply are not read.
  const Bytes cutTicket = bytes("A020000");
  EXPECT_TRUE(decodeStatusFields(cutTicket.data(), static_cast<DWORD>(cutTicket.size()), &fields));
  EXPECT_STREQ("", fields.ticketCountText);
  const Bytes cutFlags = bytes("S00\x80");
  EXPECT_TRUE(decodeStatusFields(cutFlags.data(), static_cast<DWORD>(cutFlags.size()), &fields));
  EXPECT_EQ(0u, fields.bitFlags);
  EXPECT_FALSE(decodeStatusFields(cutFlags.data(), 0, &fields));
}

TEST(StatusFields, VersionTextIsCutToItsRecordAndSplit) {
  STATUSFIELDS fields;
  const std::string text = "V2.345678901234XY" + std::string(60, 'z');  // 77 characters
  const Bytes reply = bytes("A0577" + text + "04");
  ASSERT_TRUE(decodeStatusFields(reply.data(), static_cast<DWORD>(reply.size()), &fields));
  EXPECT_EQ(text.substr(0, 63), std::string(fields.versionText));
  EXPECT_STREQ("V2.34", fields.versionPart1);
  EXPECT_STREQ("56789012", fields.versionPart2);
  EXPECT_STREQ("34", fields.versionPart3);
  const Bytes roll = {'A', '0', '4', 0, 0};
  ASSERT_TRUE(decodeStatusFields(roll.data(), static_cast<DWORD>(roll.size()), &fields));
  EXPECT_STREQ("roll", fields.formsLengthText);
}

}  // namespace
