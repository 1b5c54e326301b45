#include "platform/audioengine.h"
#include "platform/midiout.h"
#include "platform/textcodec.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <regex>
#include <set>

using namespace plat;

namespace {

TEST(ShortMessageFilter, DropsMalformedMessages) {
    for (uint32_t bad : {
             0xFFFFFFC0u,  // program -1 on channel 0
             0x00000000u,  // no status byte
             0x0000FFC0u,  // program data byte 0xFF
             0x00803C90u,  // note on, velocity 0x80
             0x0040803Cu,  // data where the status belongs
             0x00FF00E0u,  // pitch bend high byte 0xFF
             0x000000FFu,  // system reset
             0x000000F0u,  // system exclusive start
             0x000040F2u,  // song position
             0x000000F7u,
         })
        EXPECT_FALSE(isWellFormedShortMessage(bad)) << std::hex << bad;
}

TEST(ShortMessageFilter, PassesWellFormedMessages) {
    for (uint32_t good : {
             0x00403C90u,  // note on
             0x00003C80u,  // note off
             0x007F7FE0u,  // pitch bend at the top
             0x00FF05C0u,  // program change: the unused second data byte does not matter
             0x00FF40D3u,  // channel pressure: likewise
             0xAB403C90u,  // the upper byte is ignored
             0x000000F8u,  // clock
             0x000000FEu,  // active sensing
         })
        EXPECT_TRUE(isWellFormedShortMessage(good)) << std::hex << good;
}

// A device that does not ask for raw messages: what a real port receives.
class PortDevice : public MidiOutDevice {
public:
    std::string name() const override { return "Port"; }
    uint32_t open() override { return kMidiOk; }
    uint32_t close() override { return kMidiOk; }
    uint32_t send(uint32_t m) override {
        received.push_back(m);
        return kMidiOk;
    }
    std::vector<uint32_t> received;
};

class DeviceTableTest : public ::testing::Test {
protected:
    std::shared_ptr<CaptureMidiDevice> mapper = std::make_shared<CaptureMidiDevice>("映射器");
    std::shared_ptr<CaptureMidiDevice> first = std::make_shared<CaptureMidiDevice>("第一");
    std::shared_ptr<PortDevice> port = std::make_shared<PortDevice>();

    void SetUp() override { setMidiDeviceTable(mapper, {first, port}); }
    void TearDown() override { resetMidiDeviceTable(); }

    MidiOutHandleValue open(uint32_t id) {
        MidiOutHandleValue h = 0;
        EXPECT_EQ(midiOutOpen(&h, id, 0, 0, 0), kMidiOk) << id;
        EXPECT_NE(h, 0u);
        return h;
    }
    std::string capsName(intptr_t id) {
        MidiOutCaps caps;
        std::memset(&caps, 0x55, sizeof caps);
        EXPECT_EQ(midiOutGetDevCapsA(id, &caps, sizeof caps), kMidiOk);
        EXPECT_EQ(std::memchr(caps.productName, 0, sizeof caps.productName) != nullptr, true);
        return caps.productName;
    }
};

TEST_F(DeviceTableTest, CapsByIdWithTheMapperAsMinusOne) {
    EXPECT_EQ(midiOutGetNumDevs(), 2u);
    EXPECT_EQ(capsName(-1), utf8ToGbk("映射器"));
    EXPECT_EQ(capsName(0xFFFFFFFF), utf8ToGbk("映射器")) << "the mapper id as an unsigned 32-bit value";
    EXPECT_EQ(capsName(0), utf8ToGbk("第一"));
    EXPECT_EQ(capsName(1), "Port");
    MidiOutCaps caps{};
    EXPECT_EQ(midiOutGetDevCapsA(2, &caps, sizeof caps), kMidiErrBadDeviceId);
    EXPECT_EQ(midiOutGetDevCapsA(-2, &caps, sizeof caps), kMidiErrBadDeviceId);
    EXPECT_EQ(midiOutGetDevCapsA(0, nullptr, sizeof caps), kMidiErrInvalidParam);
    EXPECT_EQ(midiOutGetDevCapsA(0, &caps, 0), kMidiErrInvalidParam);
}

TEST_F(DeviceTableTest, LongNameIsCutOnACharacterBoundary) {
    // 20 Chinese characters: 40 GBK bytes, cut to 15 characters (30 bytes).
    auto wordy = std::make_shared<CaptureMidiDevice>("一二三四五六七八九十一二三四五六七八九十");
    auto ascii = std::make_shared<CaptureMidiDevice>(std::string(40, 'a'));
    setMidiDeviceTable(wordy, {ascii});
    std::string name = capsName(-1);
    EXPECT_EQ(name, utf8ToGbk("一二三四五六七八九十一二三四五"));
    EXPECT_EQ(capsName(0), std::string(31, 'a'));
}

TEST_F(DeviceTableTest, OpenCloseAndInvalidHandles) {
    MidiOutHandleValue h = 0x1234;
    EXPECT_EQ(midiOutOpen(&h, 2, 0, 0, 0), kMidiErrBadDeviceId);
    EXPECT_EQ(h, 0u) << "a failed open leaves no handle";
    EXPECT_EQ(midiOutOpen(nullptr, 0, 0, 0, 0), kMidiErrInvalidParam);

    h = open(0xFFFFFFFF);
    EXPECT_TRUE(mapper->isOpen);
    EXPECT_EQ(midiOutShortMsg(h, 0x00403C90), kMidiOk);
    EXPECT_EQ(mapper->messages, std::vector<uint32_t>{0x00403C90});
    EXPECT_EQ(midiOutClose(h), kMidiOk);
    EXPECT_EQ(mapper->closes, 1);
    EXPECT_EQ(midiOutClose(h), kMidiErrInvalidHandle) << "closing twice";
    EXPECT_EQ(midiOutShortMsg(h, 0x00403C90), kMidiErrInvalidHandle) << "a closed handle";
    EXPECT_EQ(mapper->closes, 1);

    EXPECT_EQ(midiOutClose(0), kMidiErrInvalidHandle);
    EXPECT_EQ(midiOutShortMsg(0, 0x00403C90), kMidiErrInvalidHandle);
    EXPECT_EQ(midiOutShortMsg(0xBAD, 0x00403C90), kMidiErrInvalidHandle);
    EXPECT_EQ(mapper->messages.size(), 1u);
}

TEST_F(DeviceTableTest, SameDeviceOpenTwiceGivesIndependentHandles) {
    MidiOutHandleValue a = open(0);
    MidiOutHandleValue b = open(0);
    EXPECT_NE(a, b);
    EXPECT_EQ(first->opens, 2);
    EXPECT_EQ(midiOutClose(a), kMidiOk);
    EXPECT_EQ(midiOutShortMsg(b, 0x00403C90), kMidiOk) << "the other handle still works";
    EXPECT_EQ(midiOutShortMsg(a, 0x00403C90), kMidiErrInvalidHandle);
    EXPECT_EQ(first->messages.size(), 1u);
}

TEST_F(DeviceTableTest, DeviceFailuresAreReturned) {
    first->failOpenWith = kMidiErrAllocated;
    MidiOutHandleValue h = 99;
    EXPECT_EQ(midiOutOpen(&h, 0, 0, 0, 0), kMidiErrAllocated);
    EXPECT_EQ(h, 0u);

    first->failOpenWith = kMidiOk;
    h = open(0);
    first->failSendWith = kMidiErrNotReady;
    EXPECT_EQ(midiOutShortMsg(h, 0x00403C90), kMidiErrNotReady);
    EXPECT_EQ(midiOutShortMsg(h, 0xFFFFFFC0), kMidiOk) << "a dropped message cannot fail";
    first->failCloseWith = kMidiErrUnspecified;
    EXPECT_EQ(midiOutClose(h), kMidiErrUnspecified);
    first->failSendWith = kMidiOk;
    EXPECT_EQ(midiOutShortMsg(h, 0x00403C90), kMidiOk) << "a failed close leaves the handle open";
    first->failCloseWith = kMidiOk;
    EXPECT_EQ(midiOutClose(h), kMidiOk);
}

TEST_F(DeviceTableTest, DroppedMessagesNeverReachAPortButTheCaptureSeesThem) {
    MidiOutHandleValue toPort = open(1);
    MidiOutHandleValue toCapture = open(0xFFFFFFFF);
    const std::vector<uint32_t> sent = {0x00403C90, 0xFFFFFFC0, 0x00000000, 0x0000FFC0, 0x000000FF, 0x000005C0};
    for (uint32_t m : sent) {
        EXPECT_EQ(midiOutShortMsg(toPort, m), kMidiOk) << std::hex << m;
        EXPECT_EQ(midiOutShortMsg(toCapture, m), kMidiOk) << std::hex << m;
    }
    EXPECT_EQ(port->received, (std::vector<uint32_t>{0x00403C90, 0x000005C0}));
    EXPECT_EQ(mapper->messages, sent);
    EXPECT_EQ(mapper->wellFormedMessages(), port->received);
}

TEST_F(DeviceTableTest, ChangingTheTableClosesOpenHandles) {
    MidiOutHandleValue h = open(0);
    resetMidiDeviceTable();
    EXPECT_EQ(first->closes, 1);
    EXPECT_FALSE(first->isOpen);
    EXPECT_EQ(midiOutShortMsg(h, 0x00403C90), kMidiErrInvalidHandle);
}

TEST(DefaultDeviceTable, SynthesizerIsTheMapperAndDeviceZero) {
    resetMidiDeviceTable();
    ASSERT_GE(midiOutGetNumDevs(), 1u);
    const std::string synthName = utf8ToGbk(synthDeviceName());
    ASSERT_LE(synthName.size(), 31u);
    for (intptr_t id : {intptr_t(-1), intptr_t(0)}) {
        MidiOutCaps caps{};
        ASSERT_EQ(midiOutGetDevCapsA(id, &caps, sizeof caps), kMidiOk);
        EXPECT_EQ(std::string(caps.productName), synthName) << id;
    }
    MidiOutHandleValue h = 0;
    ASSERT_EQ(midiOutOpen(&h, 0xFFFFFFFF, 0, 0, 0), kMidiOk);
    EXPECT_TRUE(AudioEngine::instance().running()) << "opening the synthesizer starts the engine";
    EXPECT_EQ(midiOutShortMsg(h, 0x00003C80), kMidiOk) << "note off for a note that is not sounding";
    EXPECT_EQ(midiOutShortMsg(h, 0x00643C90), kMidiOk);
    EXPECT_EQ(midiOutClose(h), kMidiOk);
    EXPECT_FALSE(AudioEngine::instance().soundFontPath().empty());
    AudioEngine::instance().stop();
}

// --- error texts -------------------------------------------------------------

std::string errorText(uint32_t code, uint32_t size = 256) {
    std::vector<char> buf(size + 1, 'x');
    EXPECT_EQ(midiOutGetErrorTextA(code, buf.data(), size), kMidiOk);
    EXPECT_EQ(buf[size], 'x') << "writes no further than asked";
    return buf.data();
}

bool decodesCleanly(const std::string& gbk) {
    return !fromGbk(QByteArray::fromStdString(gbk)).contains(QChar(0xFFFD));
}

TEST(MidiErrorText, EveryCodeHasItsOwnChineseText) {
    const uint32_t codes[] = {kMidiOk, kMidiErrUnspecified, kMidiErrBadDeviceId, kMidiErrNotEnabled,
                              kMidiErrAllocated, kMidiErrInvalidHandle, kMidiErrNoDriver, kMidiErrNoMemory,
                              kMidiErrInvalidParam, kMidiErrNotReady, kMidiErrNoDevice};
    std::set<std::string> seen;
    for (uint32_t code : codes) {
        std::string text = errorText(code);
        EXPECT_TRUE(decodesCleanly(text)) << code;
        EXPECT_TRUE(std::any_of(text.begin(), text.end(), [](char c) { return (c & 0x80) != 0; }))
            << "Chinese text for " << code;
        EXPECT_TRUE(seen.insert(text).second) << "a text of its own for " << code;
    }
    QString unknown = fromGbk(QByteArray::fromStdString(errorText(4711)));
    EXPECT_TRUE(unknown.contains(QString("未知"))) << unknown.toStdString();
    EXPECT_TRUE(unknown.contains(QString("4711")));
}

TEST(MidiErrorText, CutsToTheBufferWithoutSplittingACharacter) {
    const std::string full = errorText(kMidiErrInvalidHandle);
    for (uint32_t size = 1; size <= full.size() + 1; ++size) {
        std::string cut = errorText(kMidiErrInvalidHandle, size);
        EXPECT_LE(cut.size(), size - 1);
        EXPECT_GE(cut.size() + 1, std::min<size_t>(size - 1, full.size())) << "at most one character short";
        EXPECT_EQ(full.compare(0, cut.size(), cut), 0) << size;
        EXPECT_TRUE(decodesCleanly(cut)) << size;
    }
    char c = 'x';
    EXPECT_EQ(midiOutGetErrorTextA(kMidiErrNoDevice, nullptr, 10), kMidiErrInvalidParam);
    EXPECT_EQ(midiOutGetErrorTextA(kMidiErrNoDevice, &c, 0), kMidiErrInvalidParam);
    EXPECT_EQ(c, 'x');
}

// --- MIDI log ----------------------------------------------------------------

TEST(MidiLog, EveryCallIsOneTimedHexLine) {
    QTemporaryDir dir;
    const std::string logPath = dir.filePath("midi.log").toStdString();
    std::ofstream(logPath) << "earlier line\n";
    auto capture = std::make_shared<CaptureMidiDevice>();
    setMidiDeviceTable(capture, {capture});
    MidiOutHandleValue h = 0;
    ASSERT_EQ(midiOutOpen(&h, 0, 0, 0, 0), kMidiOk);

    setMidiLogPath(logPath);
    midiOutShortMsg(h, 0x00403C90);
    midiOutShortMsg(h, 0xFFFFFFC0);  // dropped, still logged
    midiOutShortMsg(0, 0x0000007B);  // no device, still logged
    setMidiLogPath("");
    midiOutShortMsg(h, 0x00003C80);  // after the log was turned off
    resetMidiDeviceTable();

    std::ifstream in(logPath);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "earlier line") << "the log is appended to";
    const std::regex format(R"((\d+) ([0-9A-F]{8}))");
    const char* values[] = {"00403C90", "FFFFFFC0", "0000007B"};
    uint64_t lastTime = 0;
    for (int i = 0; i < 3; ++i) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(lines[i + 1], m, format)) << lines[i + 1];
        EXPECT_EQ(m[2].str(), values[i]);
        uint64_t t = std::stoull(m[1].str());
        EXPECT_GE(t, lastTime);
        EXPECT_LE(t, midiLogMicros());
        lastTime = t;
    }
}

}  // namespace
