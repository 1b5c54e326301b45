// The MIDI device layer: the short-message filter, the device table with its
// handles, error texts in GBK and the MIDI log.
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

TEST(ShortMessageFilter, DropsMalformedAndPassesWellFormedMessages) {
    struct Case { uint32_t message; bool ok; const char* what; };
    for (const Case& c : {
             Case{0xFFFFFFC0, false, "program -1 on channel 0"}, {0x00000000, false, "no status byte"},
             {0x0000FFC0, false, "program data byte 0xFF"}, {0x00803C90, false, "velocity 0x80"},
             {0x0040803C, false, "data where the status belongs"}, {0x00FF00E0, false, "bend high byte 0xFF"},
             {0x000000F0, false, "system exclusive"}, {0x000040F2, false, "song position"},
             {0x000000F7, false, "end of exclusive"}, {0x000000FF, false, "system reset"},
             {0x00403C90, true, "note on"}, {0x00003C80, true, "note off"}, {0x007F7FE0, true, "bend at the top"},
             {0x00FF05C0, true, "program: unused second byte"}, {0x00FF40D3, true, "pressure: likewise"},
             {0xAB403C90, true, "upper byte ignored"}, {0x000000F8, true, "clock"}, {0x000000FE, true, "sensing"},
         })
        EXPECT_EQ(isWellFormedShortMessage(c.message), c.ok) << std::hex << c.message << " " << c.what;
}

// A device that does not ask for raw messages: what a real port receives.
struct PortDevice : CaptureMidiDevice {
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
        EXPECT_NE(h, 0u);
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

TEST_F(DeviceTable, CapsByIdWithTheMapperAsMinusOneAndNamesCutWhole) {
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

    // 20 Chinese characters (40 GBK bytes) keep 15; 40 letters keep 31.
    setMidiDeviceTable(std::make_shared<CaptureMidiDevice>("一二三四五六七八九十一二三四五六七八九十"),
                       {std::make_shared<CaptureMidiDevice>(std::string(40, 'a'))});
    EXPECT_EQ(capsName(-1), utf8ToGbk("一二三四五六七八九十一二三四五"));
    EXPECT_EQ(capsName(0), std::string(31, 'a'));
}

TEST_F(DeviceTable, OpenCloseAndInvalidHandles) {
    MidiOutHandleValue h = 0x1234;
    EXPECT_EQ(midiOutOpen(&h, 2, 0, 0, 0), kMidiErrBadDeviceId);
    EXPECT_EQ(h, 0u) << "a failed open leaves no handle";
    EXPECT_EQ(midiOutOpen(nullptr, 0, 0, 0, 0), kMidiErrInvalidParam);

    h = open(0xFFFFFFFF);
    EXPECT_TRUE(mapper->isOpen);
    EXPECT_EQ(midiOutShortMsg(h, 0x00403C90), kMidiOk);
    EXPECT_EQ(midiOutClose(h), kMidiOk);
    EXPECT_EQ(midiOutClose(h), kMidiErrInvalidHandle) << "closing twice";
    EXPECT_EQ(midiOutShortMsg(h, 0x00403C90), kMidiErrInvalidHandle) << "a closed handle";
    EXPECT_EQ(mapper->closes, 1);
    for (MidiOutHandleValue bad : {MidiOutHandleValue(0), MidiOutHandleValue(0xBAD)})
        EXPECT_EQ(midiOutShortMsg(bad, 0x00403C90), kMidiErrInvalidHandle) << bad;
    EXPECT_EQ(midiOutClose(0), kMidiErrInvalidHandle);
    EXPECT_EQ(mapper->messages, std::vector<uint32_t>{0x00403C90});

    // The same device opened twice: independent handles.
    MidiOutHandleValue a = open(0), b = open(0);
    EXPECT_NE(a, b);
    EXPECT_EQ(midiOutClose(a), kMidiOk);
    EXPECT_EQ(midiOutShortMsg(b, 0x00403C90), kMidiOk) << "the other handle still works";
    EXPECT_EQ(midiOutShortMsg(a, 0x00403C90), kMidiErrInvalidHandle);
    EXPECT_EQ(first->messages.size(), 1u);

    // Changing the table closes what is open.
    resetMidiDeviceTable();
    EXPECT_FALSE(first->isOpen);
    EXPECT_EQ(first->closes, 2);
    EXPECT_EQ(midiOutShortMsg(b, 0x00403C90), kMidiErrInvalidHandle);
}

TEST_F(DeviceTable, DeviceFailuresAreReturned) {
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
    EXPECT_EQ(midiOutShortMsg(h, 0xFFFFFFC0), kMidiOk) << "a failed close leaves the handle open";
}

TEST_F(DeviceTable, DroppedMessagesNeverReachAPortButTheCaptureSeesThem) {
    MidiOutHandleValue toPort = open(1), toCapture = open(0xFFFFFFFF);
    const std::vector<uint32_t> sent = {0x00403C90, 0xFFFFFFC0, 0x00000000, 0x0000FFC0, 0x000000FF, 0x000005C0};
    for (uint32_t m : sent) {
        EXPECT_EQ(midiOutShortMsg(toPort, m), kMidiOk) << std::hex << m;
        EXPECT_EQ(midiOutShortMsg(toCapture, m), kMidiOk) << std::hex << m;
    }
    EXPECT_EQ(port->messages, (std::vector<uint32_t>{0x00403C90, 0x000005C0}));
    EXPECT_EQ(mapper->messages, sent);
    EXPECT_EQ(mapper->wellFormedMessages(), port->messages);
}

TEST_F(DeviceTable, DefaultTableHasTheSynthesizerAsMapperAndDeviceZero) {
    resetMidiDeviceTable();
    const std::string synthName = utf8ToGbk(synthDeviceName());
    ASSERT_LE(synthName.size(), 31u);
    EXPECT_EQ(capsName(0), synthName);
    // The device box lists both: the mapper under a name of its own.
    EXPECT_EQ(capsName(-1), utf8ToGbk(mapperDeviceName()));
    EXPECT_NE(capsName(-1), capsName(0));
    MidiOutHandleValue h = open(0xFFFFFFFF);
    EXPECT_TRUE(AudioEngine::instance().running()) << "opening the synthesizer starts the engine";
    EXPECT_EQ(midiOutShortMsg(h, 0x00003C80), kMidiOk) << "note off for a note that is not sounding";
    EXPECT_EQ(midiOutShortMsg(h, 0x00643C90), kMidiOk);
    EXPECT_EQ(midiOutClose(h), kMidiOk);
    AudioEngine::instance().stop();
}

// --- error texts -------------------------------------------------------------

std::string errorText(uint32_t code, uint32_t size = 256) {
    std::vector<char> buf(size + 1, 'x');
    EXPECT_EQ(midiOutGetErrorTextA(code, buf.data(), size), kMidiOk);
    EXPECT_EQ(buf[size], 'x') << "writes no further than asked";
    return buf.data();
}

bool isCleanGbk(const std::string& gbk) { return !fromGbk(QByteArray::fromStdString(gbk)).contains(QChar(0xFFFD)); }

TEST(MidiErrorText, EachCodeHasItsOwnChineseTextCutWithoutSplittingACharacter) {
    std::set<std::string> seen;
    for (uint32_t code : {kMidiOk, kMidiErrUnspecified, kMidiErrBadDeviceId, kMidiErrNotEnabled, kMidiErrAllocated,
                          kMidiErrInvalidHandle, kMidiErrNoDriver, kMidiErrNoMemory, kMidiErrInvalidParam,
                          kMidiErrNotReady, kMidiErrNoDevice}) {
        const std::string text = errorText(code);
        EXPECT_TRUE(isCleanGbk(text)) << code;
        EXPECT_TRUE(std::any_of(text.begin(), text.end(), [](char c) { return (c & 0x80) != 0; })) << code;
        EXPECT_TRUE(seen.insert(text).second) << "a text of its own for " << code;
    }
    const QString unknown = fromGbk(QByteArray::fromStdString(errorText(4711)));
    EXPECT_TRUE(unknown.contains(QString("未知")) && unknown.contains(QString("4711"))) << unknown.toStdString();

    const std::string full = errorText(kMidiErrInvalidHandle);
    for (uint32_t size = 1; size <= full.size() + 1; ++size) {
        const std::string cut = errorText(kMidiErrInvalidHandle, size);
        EXPECT_LE(cut.size(), size - 1);
        EXPECT_GE(cut.size() + 1, std::min<size_t>(size - 1, full.size())) << "at most one character short";
        EXPECT_EQ(full.compare(0, cut.size(), cut), 0) << size;
        EXPECT_TRUE(isCleanGbk(cut)) << size;
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
        const uint64_t t = std::stoull(m[1].str());
        EXPECT_GE(t, lastTime);
        EXPECT_LE(t, midiLogMicros());
        lastTime = t;
    }
}

}  // namespace
