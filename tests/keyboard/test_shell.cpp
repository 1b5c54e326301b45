// The rest of the window shell: the web-page button's results, the clock
// with its time source and scrolling line, the wave volume.
#include "mainwindowfixture.h"

#include "platform/audioengine.h"
#include "platform/shell.h"

namespace {

class FakeShell : public plat::Shell {
public:
    FakeShell() { plat::setShell(this); }
    ~FakeShell() override { plat::setShell(nullptr); }
    intptr_t execute(const plat::ShellRequest& r) override {
        requests.push_back(r);
        return result;
    }
    std::vector<plat::ShellRequest> requests;
    intptr_t result = 42;
};

}  // namespace

TEST_F(Form1Test, WebPageButtonOpensTheAddressAndSaysSoOnlyForResultsOneToThirtyOne) {
    FakeShell shell;
    const struct { intptr_t result; bool message; } cases[] = {
        {42, false}, {32, false}, {0, false}, {1, true}, {31, true}, {0x10005, true}, {0x10020, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.result);
        dialogs.messages.clear();
        shell.result = c.result;
        form->Command2->click();
        ASSERT_FALSE(shell.requests.empty());
        EXPECT_EQ(dialogs.messages, c.message ? QStringList{QStringLiteral("打开网页出错，请检查网络连接！")} : QStringList{});
    }
}

TEST_F(Form1Test, ClockShowsItsTimeSourceAndTheLineScrollsRoundWholeAndWaveVolumeTakesTheLeftArgument) {
    QDateTime now(QDate(2011, 12, 30), QTime(23, 59, 59));
    form->Now = [&now] { return now; };
    const QString line = form->Label8->caption();
    form->Timer2_Timer();
    EXPECT_EQ(form->SjXs->caption(), QStringLiteral("2011-12-30 23-59-59"));
    EXPECT_EQ(form->Label8->caption(), line.mid(1) + line.left(1));
    now = now.addSecs(1);
    form->Timer2_Timer();
    EXPECT_EQ(form->SjXs->caption(), QStringLiteral("2011-12-31 00-00-00"));
    for (int i = 2; i < line.size(); ++i) form->Timer2_Timer();
    EXPECT_EQ(form->Label8->caption(), line);

    plat::AudioEngine& engine = plat::AudioEngine::instance();
    EXPECT_EQ(form->SetWaveVolume(0x40008000, 0x7FFF7FFF), 0);
    EXPECT_NEAR(engine.waveGainLeft(), 0x8000 / 65535.0, 1e-6);
    EXPECT_NEAR(engine.waveGainRight(), 0x4000 / 65535.0, 1e-6);
    form->SetWaveVolume(static_cast<int32_t>(0x90009000u), 0);
}
