#include "sim/tftp/tftp_packet.h"

#include <gtest/gtest.h>

#include <string>

namespace kestrix::sim {
namespace {

std::span<const std::uint8_t> bytesOf(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::string request(char opcode, const std::string& rest) {
    return std::string{'\0', opcode} + rest;
}

struct RequestCase {
    std::string datagram;
    const char* fileName; // nullptr: refused with ERROR 4 and the text below
    const char* refusal;
};

class TftpRequestTest : public testing::TestWithParam<RequestCase> {};

TEST_P(TftpRequestTest, ParsesOrRefuses) {
    const RequestCase& sample = GetParam();
    auto result = parseTftpRequest(bytesOf(sample.datagram));
    if (sample.fileName != nullptr) {
        ASSERT_TRUE(std::holds_alternative<TransferRequest>(result)) << std::get<RequestRefusal>(result).text;
        EXPECT_EQ(std::get<TransferRequest>(result).fileName, sample.fileName);
    } else {
        ASSERT_TRUE(std::holds_alternative<RequestRefusal>(result));
        EXPECT_EQ(std::get<RequestRefusal>(result).code, TftpErrorCode::IllegalOperation);
        EXPECT_EQ(std::get<RequestRefusal>(result).text, sample.refusal);
    }
}

// The fields, each followed by a zero byte.
std::string fields(std::initializer_list<std::string> texts) {
    std::string joined;
    for (const auto& text : texts)
        joined += text + '\0';
    return joined;
}

const std::string kLongestName(kTftpMaximumRequestSize - 2 - 7, 'n'); // fills the packet exactly

const RequestCase kRequests[] = {
    {request(1, fields({"talmo.cfg", "octet"})), "talmo.cfg", nullptr},
    {request(2, fields({"x", "OCTET"})), "x", nullptr},
    // RFC 2347 options after the mode are ignored, even a cut-off one.
    {request(1, fields({"x", "octet", "tsize", "0", "blksize"}) + "14"), "x", nullptr},
    {request(1, fields({kLongestName, "octet"})), kLongestName.c_str(), nullptr},
    {request(1, fields({kLongestName + "n", "octet"})), nullptr, "Request too long"},
    {request(1, fields({"x", "netascii"})), nullptr, "Only octet mode is served"},
    {request(1, fields({"x", "mail"})), nullptr, "Only octet mode is served"},
    {request(1, fields({"x"}) + "octet"), nullptr, "Malformed request: no transfer mode"},
    {request(1, fields({"x"})), nullptr, "Malformed request: no transfer mode"},
    {request(1, "talmo.cfg"), nullptr, "Malformed request: no file name"},
    {request(1, fields({"", "octet"})), nullptr, "Malformed request: no file name"},
    {request(1, ""), nullptr, "Malformed request: no file name"},
    {std::string(1, '\0'), nullptr, "Illegal TFTP operation"},
    {request(3, fields({"x", "octet"})), nullptr, "Illegal TFTP operation"},
    {request(9, fields({"x", "octet"})), nullptr, "Illegal TFTP operation"},
};
INSTANTIATE_TEST_SUITE_P(Requests, TftpRequestTest, testing::ValuesIn(kRequests));

TEST(TftpPacket, CutsAnOverlongErrorTextAndKeepsItsZeroByte) {
    auto error = TftpPacket::error(TftpErrorCode::Undefined, std::string(1000, 'e'));
    ASSERT_EQ(error.bytes().size(), kTftpPacketSize);
    EXPECT_EQ(error.bytes().back(), 0);
}

TEST(TftpPacket, ReadsAReceivedErrorMessageWithinTheDatagram) {
    EXPECT_EQ(tftpErrorMessage(bytesOf(std::string("\0\5\0\0abc", 7))), "abc"); // no zero byte
    EXPECT_EQ(tftpErrorMessage(bytesOf(std::string("\0\5\0\0a\nb\0c", 9))), "a?b");
    EXPECT_EQ(tftpErrorMessage(bytesOf(std::string("\0\5", 2))), "");
    EXPECT_FALSE(readTftpHeader(bytesOf(std::string("\0\4\0", 3))));
}

} // namespace
} // namespace kestrix::sim
