// Mouse playing on the on-screen keys: the hit test against the keys as
// they are laid out, the drag over keys with the button held, the mute pad.
#include "form1fixture.h"

#include "keyboard/keyboardwidgets.h"

#include <QCoreApplication>
#include <QMouseEvent>

#include <algorithm>

using namespace midi;
using testing_support::hexList;

namespace {

class MouseTest : public Form1Test {
protected:
    void mouse(QWidget* target, QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons held) {
        QMouseEvent e(type, QPointF(p), QPointF(target->mapToGlobal(p)), button, held, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &e);
    }
    void press(QPoint p) { mouse(form->KeyRow, QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton); }
    void drag(QPoint p) { mouse(form->KeyRow, QEvent::MouseMove, p, Qt::NoButton, Qt::LeftButton); }
    void release(QPoint p) { mouse(form->KeyRow, QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton); }
    void hover(QPoint p) { mouse(form->KeyRow, QEvent::MouseMove, p, Qt::NoButton, Qt::NoButton); }
    qint64 picture(int k) const { return form->Picture1[k]->picture().cacheKey(); }
    static Msgs melody(const Msgs& m) {
        Msgs out;
        for (uint32_t v : m)
            if ((v & 0x0F) <= 2) out.push_back(v);
        return out;
    }
    // Channel 3 and 4 messages lie between the first n and the rest.
    static bool chordTrackOffsBetween(const Msgs& m, size_t first, uint32_t firstNoteOn) {
        size_t noteOn = std::find(m.begin(), m.end(), firstNoteOn) - m.begin();
        for (size_t i = 0; i < m.size(); ++i) {
            const int ch = m[i] & 0x0F;
            if ((ch == 3 || ch == 4) && (i < first || i > noteOn || (m[i] & 0xF0) != 0x80)) return false;
        }
        return true;
    }
    const QPoint key24{26 * 14 + 6, 100};   // third C: white
    const QPoint key25{26 * 14 + 20, 30};   // its C sharp
};

}  // namespace

TEST(KeyHitTest, WhiteAndBlackKeysOfTheFirstOctave) {
    EXPECT_EQ(Form1::KeyAt(15, 10), 1);
    EXPECT_EQ(Form1::KeyAt(15, 100), 0);
    EXPECT_EQ(Form1::KeyAt(13, 10), 0);
    EXPECT_EQ(Form1::KeyAt(14, 10), 1);
    EXPECT_EQ(Form1::KeyAt(31, 10), 1);
    EXPECT_EQ(Form1::KeyAt(32, 10), 2);
    EXPECT_EQ(Form1::KeyAt(15, 68), 1);
    EXPECT_EQ(Form1::KeyAt(15, 69), 0);
    EXPECT_EQ(Form1::KeyAt(26 * 5 + 2, 10), 8);    // G sharp reaches over A
    EXPECT_EQ(Form1::KeyAt(26 * 5 + 10, 10), 9);   // A between the two sharps
    EXPECT_EQ(Form1::KeyAt(26 * 5 + 21, 10), 10);  // A sharp
    EXPECT_EQ(Form1::KeyAt(26 * 5 + 21, 100), 9);
    EXPECT_EQ(Form1::KeyAt(181, 10), 11);  // B: no black key to its right
    EXPECT_EQ(Form1::KeyAt(182, 10), 12);
}

TEST(KeyHitTest, OutsideTheStripIsNoKey) {
    EXPECT_EQ(Form1::KeyAt(-1, 50), -1);
    EXPECT_EQ(Form1::KeyAt(10, -1), -1);
    EXPECT_EQ(Form1::KeyAt(10, 121), -1);
    EXPECT_EQ(Form1::KeyAt(988, 50), -1);
    EXPECT_EQ(Form1::KeyAt(987, 50), 64);
    EXPECT_EQ(Form1::KeyAt(987, 10), 64);  // no F sharp after the last E
    EXPECT_EQ(Form1::KeyAt(960, 10), 63);
}

TEST_F(MouseTest, HitTestAgreesWithTheDrawnKeys) {
    // Every key is found at the middle of what is visible of it.
    for (int k = 0; k <= 64; ++k) {
        const QRect r = form->Picture1[k]->geometry();
        const bool white = G.KeyIsWhite(k) == True;
        const QPoint p(r.center().x(), white ? 100 : r.center().y());
        EXPECT_EQ(Form1::KeyAt(p.x(), p.y()), k) << k;
        EXPECT_EQ(white ? 26 : 18, r.width()) << k;
    }
}

TEST_F(MouseTest, PressOnAKeyPlaysItAfterTheChordTrackOffs) {
    press(key24);
    const Msgs got = take();
    const Msgs expected = {
        msg(0x80, 36, 0), msg(0x81, 36, 0), msg(0x82, 36, 0), msg(0x82, 24, 0),
        msg(0xB0, 10, 64), msg(0x90, 60, 85), msg(0xB1, 10, 64), msg(0x91, 60, 70),
        msg(0xB2, 10, 88), msg(0x92, 60, 55), msg(0xB2, 10, 88), msg(0x92, 48, 55),
    };
    EXPECT_EQ(melody(got), expected) << hexList(got);
    EXPECT_TRUE(chordTrackOffsBetween(got, 4, msg(0x90, 60, 85))) << hexList(got);
    EXPECT_EQ(picture(24), form->KeyWhiteDown.cacheKey());
    EXPECT_EQ(G.LastNoteOffset, 24);
    // Mouse playing records nothing and leaves the clock alone.
    EXPECT_TRUE(form->Text3->text().isEmpty());
    EXPECT_FALSE(form->Timer1->enabled());
    // Every move within the key strikes it again.
    drag(key24 + QPoint(1, 5));
    const Msgs again = melody(take());
    ASSERT_EQ(again.size(), 12u);
    EXPECT_EQ(again[0], msg(0x80, 60, 0));
    EXPECT_EQ(again[5], msg(0x90, 60, 85));
    release(key24);
}

TEST_F(MouseTest, DraggingOntoABlackKeyPressesItAndReleasesTheWhiteOne) {
    press(key24);
    drag(key25);
    EXPECT_EQ(picture(25), form->KeyBlackDown.cacheKey());
    EXPECT_EQ(picture(24), form->KeyWhiteUp.cacheKey());
    EXPECT_EQ(G.LastNoteOffset, 25);
    const Msgs ons = only(take(), 0x91, 0x91);
    EXPECT_EQ(ons.back(), msg(0x91, 61, 70));
    release(key25);
}

TEST_F(MouseTest, NothingPlaysWithoutTheButtonOrOutsideTheKeys) {
    hover(key24);
    press(QPoint(995, 50));  // right of the last key
    drag(QPoint(10, -20));   // above the strip while held
    release(QPoint(10, -20));
    drag(key24);             // after the release
    EXPECT_TRUE(take().empty());
}

TEST_F(MouseTest, KeysDoNotPlayWhileTheKeyboardButtonLacksFocus) {
    form->SFYXYZ_LostFocus();
    press(key24);
    release(key24);
    EXPECT_TRUE(take().empty());
    form->SFYXYZ_GotFocus();
    press(key24);
    EXPECT_FALSE(take().empty());
    release(key24);
}

TEST_F(MouseTest, MutePadReleasesTheLastNoteEveryTime) {
    press(key25);
    release(key25);
    take();
    const Msgs offs = {msg(0x80, 61, 0), msg(0x81, 61, 0), msg(0x82, 61, 0), msg(0x82, 49, 0)};
    for (int pass = 0; pass < 2; ++pass) {
        mouse(form->Label1, QEvent::MouseMove, QPoint(100, 5), Qt::NoButton, Qt::NoButton);
        EXPECT_EQ(take(), offs);
        EXPECT_EQ(picture(25), form->KeyBlackUp.cacheKey());
        EXPECT_EQ(G.LastNoteOffset, 25);
    }
}
