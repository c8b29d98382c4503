// The OBEX engine against exact byte sequences: CONNECT, header writers with overflow, SETPATH
// navigation, PUT chunking and the folder-listing GET.
#include <gtest/gtest.h>

#include <cstring>

#include "support/fake_transport.h"
#include "support/largest_allocation.h"
#include "obex/obex_encoding.h"
#include "obex/obex_helpers.h"

using namespace obex;
using obextest::Bytes;
using obextest::FakeTransport;
using obextest::NameHeader;
using obextest::Response;

namespace {

const std::string kTarget = Bytes("6B01CB31410611D49A770050DA3F471F");

std::string ConnectAnswer(uint16_t size, const std::string& who) {
    std::string fields = Bytes("1000") + std::string{static_cast<char>(size >> 8), static_cast<char>(size & 0xFF)};
    std::string headers = Bytes("CB00000001") + Bytes("4A") +
                          std::string{0, static_cast<char>(who.size() + 3)} + who;
    return Response(0xA0, fields + headers);
}

class Engine : public ::testing::Test {
protected:
    void SetUp() override { engine.Attach(&transport); }
    void Connect(uint16_t size) {
        transport.responses.push_back(ConnectAnswer(size, kTarget));
        int session = 0;
        ASSERT_EQ(engine.Connect(&session, false), kOk);
        ASSERT_EQ(session, 1);
        transport.requests.clear();
    }
    FakeTransport transport;
    OBEXHelpers engine;
};

class MemoryStream : public IStream {
public:
    explicit MemoryStream(std::string data) : data_(std::move(data)) {}
    HRESULT Read(void* buffer, uint32_t count, uint32_t* read) override {
        std::size_t n = std::min<std::size_t>(count, data_.size() - pos_);
        std::memcpy(buffer, data_.data() + pos_, n);
        pos_ += n;
        *read = static_cast<uint32_t>(n);
        return kOk;
    }
    HRESULT Seek(int64_t move, int, uint64_t*) override {
        pos_ = static_cast<std::size_t>(move);
        return kOk;
    }
    HRESULT Stat(StreamStat* stat) override {
        stat->size = data_.size();
        return kOk;
    }

private:
    std::string data_;
    std::size_t pos_ = 0;
};

} // namespace

TEST_F(Engine, ConnectSendsTheFileSystemTargetAndAdoptsThePeerPacketSize) {
    transport.responses.push_back(ConnectAnswer(0x0400, kTarget));
    int session = 0;
    ASSERT_EQ(engine.Connect(&session, false), kOk);
    ASSERT_EQ(transport.requests.size(), 1u);
    EXPECT_EQ(transport.requests[0], Bytes("80 001A 10 00 4006 46 0013") + kTarget);
    EXPECT_EQ(engine.PacketSize(), 0x0400u);
    EXPECT_EQ(session, 1);
}

TEST_F(Engine, ConnectRefusesAWrongWhoAShortAnswerAndATinyPacketSize) {
    transport.responses.push_back(ConnectAnswer(0x0400, Bytes("F9EC7BC4953C11D2984E525400DC9E09")));
    int session = 0;
    EXPECT_EQ(engine.Connect(&session, false), kLinkFailure);
    transport.responses.push_back(Bytes("A0 0005 10 00"));
    EXPECT_EQ(engine.Connect(&session, false), kLinkFailure);
    transport.requests.clear();
    transport.responses.push_back(ConnectAnswer(254, kTarget));
    transport.Ok();
    EXPECT_EQ(engine.Connect(&session, false), kLinkFailure);
    ASSERT_EQ(transport.requests.size(), 2u);
    EXPECT_EQ(transport.requests[1], Bytes("81 0003")); // the refused session is closed again
    EXPECT_EQ(engine.PacketSize(), 255u);
}

TEST_F(Engine, IrmcConnectAcceptsAShortenedWho) {
    transport.responses.push_back(ConnectAnswer(0x0400, "IRMC"));
    int session = 0;
    ASSERT_EQ(engine.Connect(&session, true), kOk);
    EXPECT_EQ(session, 2);
    EXPECT_EQ(transport.requests[0].substr(7), Bytes("46 000C") + "IRMC-SYNC");
}

TEST_F(Engine, HeaderWritersEncodeBigEndian) {
    std::u16string name = u"ab";
    engine.BeginPacket();
    engine.PutName(&name, 2);
    engine.PutName(nullptr, 2);
    engine.Put4ByteHeader(kHiLength, 0x01020304);
    engine.PutTime(CalendarToOleDate(2024, 1, 2, 3, 4, 5), 2);
    engine.PutByteParameter(0x32, 0x1FF, 4);
    std::u16string arg = u"x";
    engine.PutWideParameter(0x31, &arg, 4);
    engine.PutActionParameters("copy", u"/s", u"/d", 4);
    transport.Ok();
    engine.Send(4, 1000);
    EXPECT_EQ(transport.requests[0].substr(3),
              Bytes("01 0007 0061 0062") + Bytes("01 0003") + Bytes("C3 01020304") + Bytes("44 0012") +
                  "20240102T030405" + Bytes("4C 0006 32 01 FF") + Bytes("4C 0009 31 04 0078 0000") +
                  Bytes("4C 0015 34 04") + "copy" + Bytes("35 04 002F 0073 36 04 002F 0064"));
    EXPECT_EQ(static_cast<uint8_t>(transport.requests[0][0]), 0x82); // 4 goes out as a final PUT
}

TEST_F(Engine, ANameThatOverflowsThePacketContinuesInTheNext) {
    // Before CONNECT the packet holds 255 bytes: 124 characters fit after the prefix and header.
    std::u16string name(127, u'n');
    engine.BeginPacket();
    transport.responses.push_back(Response(0x90, ""));
    ASSERT_EQ(engine.PutName(&name, 2), kOk);
    ASSERT_EQ(transport.requests.size(), 1u);
    const std::string& first = transport.requests[0];
    EXPECT_EQ(first.substr(0, 6), Bytes("02 00FE 01 00FB"));
    EXPECT_EQ(first.size(), 254u);
    transport.Ok();
    engine.Send(kOpPutFinal, 1000);
    EXPECT_EQ(transport.requests[1], Bytes("82 000C 01 0009 006E 006E 006E"));
}

TEST_F(Engine, SetPathClimbsOrReturnsToTheRootByCost) {
    Connect(0x0400);
    transport.Ok(3);
    ASSERT_EQ(engine.SetPath(1, u"\\a\\b\\c\\x", 3, false), kOk);
    EXPECT_EQ(engine.CurrentFolder(), u"\\a\\b\\c\\");
    ASSERT_EQ(transport.requests.size(), 3u);
    EXPECT_EQ(transport.requests[0], Bytes("85 000A 02 00") + NameHeader("a"));
    transport.requests.clear();
    engine.BeginPacket();

    // \a\b\c\ to \a\d: two climbs, then the request names d.
    transport.Ok(2);
    ASSERT_EQ(engine.SetPath(1, u"\\a\\d", 3, false), kOk);
    ASSERT_EQ(transport.requests.size(), 2u);
    EXPECT_EQ(transport.requests[0], Bytes("85 0005 03 00"));
    EXPECT_EQ(transport.requests[1], Bytes("85 0005 03 00"));
    EXPECT_EQ(engine.CurrentFolder(), u"\\a\\");
    transport.Ok();
    engine.Send(kOpGetFinal, 1000);
    EXPECT_EQ(transport.requests[2], Bytes("83 0008") + NameHeader("d"));
}

TEST_F(Engine, SetPathMergesThePendingClimbIntoTheNextFolder) {
    Connect(0x0400);
    transport.Ok(3);
    ASSERT_EQ(engine.SetPath(1, u"\\a\\b\\c\\x", 3, false), kOk);
    engine.BeginPacket();
    transport.requests.clear();
    transport.Ok(2);
    ASSERT_EQ(engine.SetPath(1, u"\\a\\e\\f", 2, false), kOk);
    ASSERT_EQ(transport.requests.size(), 2u);
    EXPECT_EQ(transport.requests[0], Bytes("85 0005 03 00"));
    EXPECT_EQ(transport.requests[1], Bytes("85 000A 03 00") + NameHeader("e"));
    EXPECT_EQ(engine.CurrentFolder(), u"\\a\\e\\");
}

TEST_F(Engine, SetPathInTheCurrentFolderSendsNothingAndDeepClimbsGoToTheRoot) {
    Connect(0x0400);
    ASSERT_EQ(engine.SetPath(1, u"\\f", 2, false), kOk);
    EXPECT_TRUE(transport.requests.empty());
    engine.BeginPacket();
    transport.Ok(5);
    ASSERT_EQ(engine.SetPath(1, u"\\a\\b\\c\\d\\e\\x", 3, false), kOk);
    engine.BeginPacket();
    transport.requests.clear();
    // Four levels up cost more than the root and one step down.
    transport.Ok(3);
    ASSERT_EQ(engine.SetPath(1, u"\\a\\z\\y", 3, false), kOk);
    ASSERT_EQ(transport.requests.size(), 3u);
    EXPECT_EQ(transport.requests[0], Bytes("85 0008 00 00 01 0003"));
    EXPECT_EQ(transport.requests[1], Bytes("85 000A 02 00") + NameHeader("a"));
    EXPECT_EQ(transport.requests[2], Bytes("85 000A 02 00") + NameHeader("z"));
    EXPECT_EQ(engine.CurrentFolder(), u"\\a\\z\\");
}

TEST_F(Engine, DrivePrefixesNeedMoreThanOneDrive) {
    Connect(0x0400);
    transport.Ok(1);
    ASSERT_EQ(engine.SetPath(1, u"A:\\x", 3, false), kOk);
    EXPECT_EQ(transport.requests[0], Bytes("85 000C 02 00") + NameHeader("A:"));
    transport.requests.clear();
    engine.BeginPacket();

    FakeTransport two;
    two.drives = 2;
    OBEXHelpers other;
    other.Attach(&two);
    two.Ok(2);
    ASSERT_EQ(other.SetPath(1, u"A:\\x", 3, false), kOk);
    ASSERT_EQ(two.requests.size(), 2u);
    EXPECT_EQ(two.requests[0], Bytes("85 000C 00 00") + NameHeader("A:"));
    EXPECT_EQ(two.requests[1], Bytes("85 0008 00 00 01 0003"));
    EXPECT_EQ(other.CurrentDrive(), u"A:");
}

TEST_F(Engine, OverlongAndSlashedPathsAreRefusedBeforeAnyPacket) {
    Connect(0x0400);
    EXPECT_EQ(engine.SetPath(1, u"\\" + std::u16string(127, u'p'), 3, false), kInvalidArg);
    EXPECT_EQ(engine.SetPath(1, u"\\a/b", 3, false), kInvalidArg);
    EXPECT_TRUE(transport.requests.empty());
}

TEST_F(Engine, PutBodyChunksByMultiplesOf512) {
    Connect(0x1000);
    auto put = [&](std::size_t size) {
        transport.requests.clear();
        engine.BeginPacket();
        std::u16string name = u"f";
        engine.PutName(&name, 2);
        engine.Put4ByteHeader(kHiLength, static_cast<uint32_t>(size));
        MemoryStream stream(std::string(size, 'x'));
        for (int i = 0; i < 4; ++i) transport.responses.push_back(Response(0x90, ""));
        transport.Ok();
        return engine.PutBody(static_cast<uint32_t>(size), stream, 1000);
    };
    // Prefix 3, Name 5, Length 5: 4083 bytes free, less the Body header: 4080, rounded to 3584.
    ASSERT_EQ(Succeeded(put(0)), true);
    ASSERT_EQ(transport.requests.size(), 1u);
    EXPECT_EQ(transport.requests[0], Bytes("82 0010") + NameHeader("f") + Bytes("C3 00000000 49 0003"));

    ASSERT_TRUE(Succeeded(put(3584)));
    ASSERT_EQ(transport.requests.size(), 1u);
    EXPECT_EQ(transport.requests[0].size(), 13u + 3 + 3584);

    ASSERT_TRUE(Succeeded(put(3585)));
    ASSERT_EQ(transport.requests.size(), 2u);
    EXPECT_EQ(transport.requests[0].substr(0, 3), Bytes("02 0E10"));
    EXPECT_EQ(transport.requests[0].substr(13, 3), Bytes("48 0E03"));
    EXPECT_EQ(transport.requests[1], Bytes("82 0007 49 0004 78"));
    transport.responses.clear();
}

TEST_F(Engine, AShortStreamAbortsThePut) {
    Connect(0x1000);
    engine.BeginPacket();
    MemoryStream stream("abc");
    transport.Ok();
    EXPECT_TRUE(Failed(engine.PutBody(10, stream, 1000)));
    ASSERT_EQ(transport.requests.size(), 1u);
    EXPECT_EQ(transport.requests[0], Bytes("FF 0003"));
}

TEST_F(Engine, FolderListingCollectsBodyAndEndOfBodyWithinTheAnnouncedLength) {
    Connect(0x0400);
    std::string xml =
        "<?xml version=\"1.0\"?><!DOCTYPE folder-listing SYSTEM \"obex-folder-listing.dtd\">"
        "<folder-listing version=\"1.0\"><file name=\"app.jad\" size=\"12\"/></folder-listing>";
    auto body = [](uint8_t hi, const std::string& data) {
        std::size_t n = data.size() + 3;
        return std::string{static_cast<char>(hi), static_cast<char>(n >> 8), static_cast<char>(n & 0xFF)} + data;
    };
    uint32_t n = static_cast<uint32_t>(xml.size());
    std::string length = Bytes("C3") + std::string{static_cast<char>(n >> 24), static_cast<char>(n >> 16),
                                                   static_cast<char>(n >> 8), static_cast<char>(n)};
    transport.responses.push_back(Response(0x90, length + body(0x48, xml.substr(0, 100))));
    transport.responses.push_back(Response(0xA0, body(0x49, xml.substr(100))));
    FileList list;
    ASSERT_EQ(engine.GetFolderListing(&list), kOk);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].name, u"app.jad");
    EXPECT_EQ(list[0].size, 12u);
    EXPECT_EQ(transport.requests[1], Bytes("83 0003"));

    // More data than announced is a broken link, not a longer listing.
    std::string small = Bytes("C3 00000010");
    transport.responses.push_back(Response(0x90, small + body(0x48, xml.substr(0, 10))));
    transport.responses.push_back(Response(0xA0, body(0x49, xml.substr(10, 20))));
    list.clear();
    EXPECT_EQ(engine.GetFolderListing(&list), kLinkFailure);
}

TEST_F(Engine, AFolderListingLengthIsAHintThatTakesNoMemoryOfItsOwn) {
    Connect(0x0400);
    const std::string xml =
        "<?xml version=\"1.0\"?><!DOCTYPE folder-listing SYSTEM \"obex-folder-listing.dtd\">"
        "<folder-listing version=\"1.0\"><file name=\"a.jar\" size=\"7\"/></folder-listing>";
    const std::string endOfBody =
        std::string{0x49, 0, static_cast<char>(xml.size() + 3)} + xml;
    // Near 4 GiB announced, a few hundred bytes sent: the listing is read as it is, and no
    // allocation is larger than a packet.
    for (const char* length : {"C3 FFFFFFFF", "C3 FFFFFF00", "C3 80000000"}) {
        transport.responses.push_back(Response(0xA0, Bytes(length) + endOfBody));
        FileList list;
        obextest::ResetLargestAllocation();
        ASSERT_EQ(engine.GetFolderListing(&list), kOk) << length;
        EXPECT_LE(obextest::LargestAllocation(), 0x10000u) << length;
        ASSERT_EQ(list.size(), 1u);
        EXPECT_EQ(list[0].name, u"a.jar");
    }
    // Less data than announced is fine; more is a broken link.
    transport.responses.push_back(Response(0xA0, Bytes("C3 00000005") + endOfBody));
    FileList list;
    EXPECT_EQ(engine.GetFolderListing(&list), kLinkFailure);
}

TEST_F(Engine, AResponseWhoseLengthFieldDisagreesIsALinkFailure) {
    Connect(0x0400);
    transport.responses.push_back(Bytes("A0 0004"));
    EXPECT_EQ(engine.Send(kOpGetFinal, 1000), kLinkFailure);
}

TEST_F(Engine, FindHeaderWalksByTheHeaderKinds) {
    Connect(0x0400);
    transport.responses.push_back(Response(0xA0, Bytes("CB 00000007 97 05 01 0005 0041 C3 00000102")));
    engine.Send(kOpGetFinal, 1000);
    std::size_t pos = 0;
    uint32_t value = 0;
    EXPECT_EQ(engine.FindHeader(kHiLength, &pos, &value), kOk);
    EXPECT_EQ(value, 0x102u);
    pos = 0;
    EXPECT_EQ(engine.FindHeader(kHiName, &pos), 2);
    EXPECT_EQ(pos, 13u);
    EXPECT_EQ(engine.FindHeader(kHiBody, nullptr), kFail);
    pos = 3;
    EXPECT_EQ(engine.FindHeader(0x99, &pos), kInvalidArg);
}

namespace {
class OneShot : public ICancelSignal {
public:
    bool raised = false;
    bool Take() override {
        bool was = raised;
        raised = false;
        return was;
    }
};
} // namespace

TEST(EngineCancel, ARaisedSignalTurnsTheNextRequestIntoAnAbortButNotADisconnect) {
    OneShot signal;
    FakeTransport transport;
    OBEXHelpers engine(&signal);
    engine.Attach(&transport);
    signal.raised = true;
    engine.BeginPacket();
    transport.Ok();
    EXPECT_EQ(engine.Send(kOpGetFinal, 1000), kCancelled);
    ASSERT_EQ(transport.requests.size(), 1u);
    EXPECT_EQ(transport.requests[0], Bytes("FF 0003"));
    signal.raised = true;
    transport.Ok();
    EXPECT_EQ(engine.Disconnect(), kOk);
    EXPECT_EQ(transport.requests[1], Bytes("81 0003"));
    EXPECT_TRUE(signal.raised); // a disconnect leaves the signal for the next request
}
