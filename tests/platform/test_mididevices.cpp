// The MIDI device layer: the short-message filter, the device table with its handles, error texts in GBK and the MIDI
// log.
#include "platform/audioengine.h"
#include "platform/midiout.h"
#include "platform/textcodec.h"

#include <QtWidgets>
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <regex>
#include <set>

using namespace plat;

namespace {

struct PortDevice : CaptureMidiDevice {  // a real port: no raw messages
    PortDevice() : CaptureMidiDevice("Port") {}
    bool wantsRawMessages() const override { return false; }
};

class DeviceTable : public ::testing::Test {
protected:
    std::shared_ptr<CaptureMidiDevice> mapper = std::make_shared<CaptureMidiDevice>("映射器");
    std::shared_ptr<CaptureMidiDevice> first = std::make_shared<CaptureMidiDevice>("第一");
    std::shared_ptr<PortDevice> port = std::make_shared<PortDevice>();

    void SetUp() override { setMidiDeviceTable(mapper, {first, port}); }
    void TearDown() override { resetMidiDeviceTable(); }

    MidiOutHandleValue open(uint32_t id) {
        MidiOutHandleValue h = 0;
        EXPECT_EQ(midiOutOpen(&h, id, 0, 0, 0), kMidiOk) << id;
        return h;
    }
    static std::string capsName(intptr_t id) {
        MidiOutCaps caps;
        std::memset(&caps, 0x55, sizeof caps);
        EXPECT_EQ(midiOutGetDevCapsA(id, &caps, sizeof caps), kMidiOk) << id;
        EXPECT_NE(std::memchr(caps.productName, 0, sizeof caps.productName), nullptr) << id;
        return caps.productName;
    }
};

}  // namespace

// Malformed messages never reach a port; the capture of the program's own log sees everything.
TEST_F(DeviceTable, MalformedMessagesNeverReachAPort) {
    const std::pair<uint32_t, bool> cases[] = {
        {0xFFFFFFC0, false}, {0x00000000, false}, {0x0000FFC0, false}, {0x00803C90, false}, {0x0040803C, false},
        {0x00FF00E0, false}, {0x000000F0, false}, {0x000040F2, false}, {0x000000F7, false}, {0x000000FF, false},
        {0x00403C90, true},  {0x00003C80, true},  {0x007F7FE0, true},  {0x00FF05C0, true},  {0x00FF40D3, true},
        {0xAB403C90, true},  {0x000000F8, true},  {0x000000FE, true}};
    MidiOutHandleValue toPort = open(1), toCapture = open(0xFFFFFFFF);
    std::vector<uint32_t> sent, passed;
    for (const auto& [m, ok] : cases) {
        EXPECT_EQ(midiOutShortMsg(toPort, m), kMidiOk) << std::hex << m;
        midiOutShortMsg(toCapture, m);
        sent.push_back(m);
        if (ok) passed.push_back(m);
    }
    EXPECT_EQ(port->messages, passed);
    EXPECT_EQ(mapper->messages, sent);
}

TEST_F(DeviceTable, CapsOpenCloseAndInvalidHandles) {
    EXPECT_EQ(midiOutGetNumDevs(), 2u);
    EXPECT_EQ(capsName(-1) + capsName(0xFFFFFFFF) + capsName(1), utf8ToGbk("映射器映射器Port"));
    MidiOutCaps caps{};
    for (intptr_t bad : {2, -2}) EXPECT_EQ(midiOutGetDevCapsA(bad, &caps, sizeof caps), kMidiErrBadDeviceId);
    EXPECT_EQ(midiOutGetDevCapsA(0, nullptr, sizeof caps), kMidiErrInvalidParam);
    MidiOutHandleValue h = 0x1234;
    EXPECT_EQ(midiOutOpen(&h, 2, 0, 0, 0), kMidiErrBadDeviceId);
    EXPECT_EQ(h, 0u) << "a failed open leaves no handle";

    MidiOutHandleValue a = open(0), b = open(0);
    EXPECT_NE(a, b);
    EXPECT_EQ(midiOutClose(a), kMidiOk);
    EXPECT_EQ(midiOutClose(a), kMidiErrInvalidHandle) << "closing twice";
    EXPECT_EQ(midiOutShortMsg(a, 0x00403C90), kMidiErrInvalidHandle);
    EXPECT_EQ(midiOutShortMsg(0xBAD, 0x00403C90), kMidiErrInvalidHandle);
    EXPECT_EQ(midiOutShortMsg(b, 0x00403C90), kMidiOk) << "the other handle still works";
    EXPECT_EQ(first->messages.size(), 1u);

    // Device failures are returned; a failed close leaves the handle open.
    first->failSendWith = kMidiErrNotReady;
    EXPECT_EQ(midiOutShortMsg(b, 0x00403C90), kMidiErrNotReady);
    EXPECT_EQ(midiOutShortMsg(b, 0xFFFFFFC0), kMidiOk) << "a dropped message cannot fail";
    first->failCloseWith = kMidiErrUnspecified;
    EXPECT_EQ(midiOutClose(b), kMidiErrUnspecified);
    EXPECT_EQ(midiOutShortMsg(b, 0xFFFFFFC0), kMidiOk);
    first->failCloseWith = kMidiOk;
    resetMidiDeviceTable();  // changing the table closes what is open
    EXPECT_FALSE(first->isOpen);
    EXPECT_EQ(midiOutShortMsg(b, 0x00403C90), kMidiErrInvalidHandle);
    first->failOpenWith = kMidiErrAllocated;
    setMidiDeviceTable(mapper, {first});
    EXPECT_EQ(midiOutOpen(&h, 0, 0, 0, 0), kMidiErrAllocated);
    EXPECT_EQ(h, 0u);

    // 20 Chinese characters (40 GBK bytes) keep 15; 40 letters keep 31.
    setMidiDeviceTable(std::make_shared<CaptureMidiDevice>("一二三四五六七八九十一二三四五六七八九十"),
                       {std::make_shared<CaptureMidiDevice>(std::string(40, 'a'))});
    EXPECT_EQ(capsName(-1), utf8ToGbk("一二三四五六七八九十一二三四五"));
    EXPECT_EQ(capsName(0), std::string(31, 'a'));

    // The default table: the synthesizer, started when opened, under two names.
    resetMidiDeviceTable();
    EXPECT_EQ(capsName(0), utf8ToGbk(synthDeviceName()));
    EXPECT_EQ(capsName(-1), utf8ToGbk(mapperDeviceName()));
    EXPECT_NE(capsName(-1), capsName(0));
    h = open(0xFFFFFFFF);
    EXPECT_TRUE(AudioEngine::instance().running());
    EXPECT_EQ(midiOutShortMsg(h, 0x00643C90) + midiOutClose(h), kMidiOk);
    AudioEngine::instance().stop();
}

// Each code has its own Chinese text, cut without splitting a character.
TEST(MidiErrorText, EachCodeHasItsOwnChineseTextCutWithoutSplittingACharacter) {
    const auto text = [](uint32_t code, uint32_t size = 256) {
        std::vector<char> buf(size + 1, 'x');
        EXPECT_EQ(midiOutGetErrorTextA(code, buf.data(), size), kMidiOk);
        EXPECT_EQ(buf[size], 'x') << "writes no further than asked";
        return std::string(buf.data());
    };
    const auto clean = [](const std::string& gbk) { return !fromGbk(QByteArray::fromStdString(gbk)).contains(QChar(0xFFFD)); };
    std::set<std::string> seen;
    for (uint32_t code : std::initializer_list<uint32_t>{kMidiOk, kMidiErrUnspecified, kMidiErrBadDeviceId, kMidiErrNotEnabled, kMidiErrAllocated,
                          kMidiErrInvalidHandle, kMidiErrNoDriver, kMidiErrNoMemory, kMidiErrInvalidParam,
                          kMidiErrNotReady, kMidiErrNoDevice, 4711u})
        EXPECT_TRUE(seen.insert(text(code)).second && clean(text(code))) << code;
    EXPECT_TRUE(fromGbk(QByteArray::fromStdString(text(4711))).contains(QStringLiteral("4711")));
    const std::string full = text(kMidiErrInvalidHandle);
    for (uint32_t size = 1; size <= full.size() + 1; ++size) {
        const std::string cut = text(kMidiErrInvalidHandle, size);
        EXPECT_GE(cut.size() + 1, std::min<size_t>(size - 1, full.size())) << "at most one character short";
        EXPECT_TRUE(full.compare(0, cut.size(), cut) == 0 && clean(cut)) << size;
    }
    EXPECT_EQ(midiOutGetErrorTextA(kMidiErrNoDevice, nullptr, 10), kMidiErrInvalidParam);
}

// Every call is one timed hex line appended, dropped messages too.
TEST(MidiLog, EveryCallIsOneTimedHexLineAppended) {
    QTemporaryDir dir;
    const std::string logPath = dir.filePath("midi.log").toStdString();
    std::ofstream(logPath) << "earlier line\n";
    auto capture = std::make_shared<CaptureMidiDevice>();
    setMidiDeviceTable(capture, {capture});
    MidiOutHandleValue h = 0;
    ASSERT_EQ(midiOutOpen(&h, 0, 0, 0, 0), kMidiOk);
    setMidiLogPath(logPath);
    midiOutShortMsg(h, 0x00403C90);
    midiOutShortMsg(h, 0xFFFFFFC0);  // dropped
    midiOutShortMsg(0, 0x0000007B);  // no device
    setMidiLogPath("");
    midiOutShortMsg(h, 0x00003C80);
    resetMidiDeviceTable();
    std::ifstream in(logPath);
    std::string all, line;
    uint64_t last = 0;
    const std::regex format(R"((\d+) ([0-9A-F]{8}))");
    for (std::getline(in, line); std::getline(in, line);) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, format)) << line;
        EXPECT_GE(std::stoull(m[1].str()), last);
        last = std::stoull(m[1].str());
        all += m[2].str() + " ";
    }
    EXPECT_EQ(all, "00403C90 FFFFFFC0 0000007B ");
}
