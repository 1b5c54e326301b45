// Typing any number into a volume or velocity box, key by key, holds the
// value to the MIDI range and shows no run-time error, in both windows.
#include "editorfixture.h"
#include "keyboard/mainwindowfixture.h"

#include <QLineEdit>
#include <functional>

using midi::G;

class NumberBoxes : public Form1Test {};

TEST_F(NumberBoxes, OutOfRangeTypingIsHeldAndRaisesNoError) {
    YYBJ editor;
    editor.Show();
    dialogs.messages.clear();
    struct Box {
        ui::ComboBox* box;
        std::function<int()> value;  // what the box sets
        int expected;                // after "99999"
    };
    const std::vector<Box> boxes = {
        {form->Zxlyl[0], [] { return G.PartVelocity(0); }, 127},
        {form->Zxlyl[2], [] { return G.PartVelocity(2); }, 127},
        {form->HxYL, [] { return G.PartVelocity(3); }, 127},
        {form->VsbVol, [] { return G.RhythmPattern(0, 0).Message >> 16; }, 127},
        {editor.YQYL[0], [] { return G.ChannelVelocity(0); }, 127},
        {editor.YQYL[11], [] { return G.ChannelVelocity(11); }, 127},
        {editor.DQSUDU, [] { return G.BeatInterval; }, 15000 / 99},  // "99" taken, no tempo past 255
    };
    for (const Box& b : boxes) {
        QLineEdit* edit = b.box->lineEdit();
        edit->selectAll();
        for (char c : std::string("99999")) edit->insert(QString(QChar::fromLatin1(c)));
        EXPECT_EQ(b.value(), b.expected) << b.box->objectName().toStdString() << b.box->text().toStdString();
    }
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join(u'\n').toStdString();
    form->Zxlyl[1]->setText(QStringLiteral("0"));
    EXPECT_EQ(G.PartVelocity(1), 1) << "a melody velocity of 0 would end its notes";
}
