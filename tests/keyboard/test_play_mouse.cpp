// Mouse playing on the on-screen keys: the hit test against the keys as
// they are laid out, the drag over keys with the button held, the focus that
// arms the keys, the mute pad.
#include "mainwindowfixture.h"

#include "keyboard/keyboardwidgets.h"

#include <QApplication>
#include <QMouseEvent>

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
    const QPoint key24{26 * 14 + 6, 100};  // third C: white
    const QPoint key25{26 * 14 + 20, 30};  // its C sharp
};

}  // namespace

TEST_F(MouseTest, HitTestAgreesWithTheDrawnKeysUpToTheirEdges) {
    // Every key is found at the middle of what is visible of it.
    for (int k = 0; k <= 64; ++k) {
        const QRect r = form->Picture1[k]->geometry();
        const bool white = G.KeyIsWhite(k) == True;
        EXPECT_EQ(Form1::KeyAt(r.center().x(), white ? 100 : r.center().y()), k) << k;
        EXPECT_EQ(white ? 26 : 18, r.width()) << k;
    }
    const int edges[][3] = {
        {13, 10, 0},    {14, 10, 1},    {31, 10, 1},  {32, 10, 2},   // C sharp's edges
        {15, 68, 1},    {15, 69, 0},    {15, 100, 0},                // below the black keys
        {132, 10, 8},   {140, 10, 9},   {151, 10, 10}, {151, 100, 9}, // G sharp over A, A, A sharp
        {181, 10, 11},  {182, 10, 12},                               // B: no black key to its right
        {987, 10, 64},  {960, 10, 63},                               // no F sharp after the last E
        {-1, 50, -1},   {10, -1, -1},   {10, 121, -1}, {988, 50, -1}};
    for (const auto& c : edges) EXPECT_EQ(Form1::KeyAt(c[0], c[1]), c[2]) << c[0] << "," << c[1];
}

TEST_F(MouseTest, PressOnAKeyPlaysItAfterTheChordTrackOffs) {
    press(key24);
    const Msgs got = take();
    EXPECT_EQ(melody(got), firstStrikeOfMiddleC()) << hexList(got);
    EXPECT_EQ(picture(24), form->KeyWhiteDown.cacheKey());
    // Mouse playing records nothing and leaves the clock alone.
    EXPECT_TRUE(form->Text3->text().isEmpty());
    EXPECT_FALSE(form->Timer1->enabled());
    // Every move within the key strikes it again.
    drag(key24 + QPoint(1, 5));
    EXPECT_EQ(only(take(), 0x90, 0x90), Msgs{msg(0x90, 60, 85)});
    release(key24);
}

TEST_F(MouseTest, DragSequenceMovesFromKeyToKeyOnlyWhileTheButtonIsHeld) {
    mouse(form->KeyRow, QEvent::MouseMove, key24, Qt::NoButton, Qt::NoButton);  // hovering
    EXPECT_TRUE(take().empty());
    press(key24);
    drag(key25);
    EXPECT_EQ(picture(25), form->KeyBlackDown.cacheKey());
    EXPECT_EQ(picture(24), form->KeyWhiteUp.cacheKey());
    EXPECT_EQ(only(take(), 0x91, 0x91).back(), msg(0x91, 61, 70));
    drag(QPoint(10, -20));  // above the strip while held
    release(QPoint(10, -20));
    drag(key24);  // after the release
    press(QPoint(995, 50));  // right of the last key
    EXPECT_TRUE(take().empty());

    // A note key then releases the black key in its own colour.
    key(kH);
    EXPECT_EQ(picture(25), form->KeyBlackUp.cacheKey());
    EXPECT_EQ(picture(26), form->KeyWhiteDown.cacheKey());
    EXPECT_EQ(melody(take())[0], msg(0x80, 61, 0));
}

TEST_F(MouseTest, KeysPlayOnlyWhileTheKeyboardButtonHasTheFocus) {
    QApplication::setActiveWindow(form.get());
    form->SFYXYZ->setFocus(Qt::OtherFocusReason);
    form->Text3->focusEditor();
    EXPECT_FALSE(form->Picture1[64]->isEnabled());
    EXPECT_TRUE(form->Label1->isHidden());
    press(key24);
    release(key24);
    EXPECT_TRUE(take().empty());

    form->SFYXYZ->setFocus(Qt::TabFocusReason);
    EXPECT_FALSE(form->Label1->isHidden());
    press(key24);
    EXPECT_FALSE(take().empty());
    release(key24);
}

TEST_F(MouseTest, MutePadReleasesTheLastNoteEveryTime) {
    press(key25);
    release(key25);
    take();
    for (int pass = 0; pass < 2; ++pass) {
        mouse(form->Label1, QEvent::MouseMove, QPoint(100, 5), Qt::NoButton, Qt::NoButton);
        EXPECT_EQ(take(), (Msgs{msg(0x80, 61, 0), msg(0x81, 61, 0), msg(0x82, 61, 0), msg(0x82, 49, 0)}));
        EXPECT_EQ(picture(25), form->KeyBlackUp.cacheKey());
    }
}
