// The rhythm page: the grid, the rhythm audition, the pattern files.
#include "mainwindowfixture.h"

#include "keyboard/keyboardwidgets.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMouseEvent>

using namespace midi;

namespace {
int32_t hit(int key, int velocity) { return 0x99 + key * 256 + velocity * 65536; }

class RhythmGrid : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        G.BeatInterval = 16000;
        form->Timer4->setInterval(65535);
    }
};

TEST_F(RhythmGrid, SoundAndVelocityRebuildExactlyTheirCells) {
    form->LblInst[1]->setListIndex(3);
    for (int s = 0; s <= 15; ++s) EXPECT_EQ(G.RhythmPattern(1, s).Message, hit(38, 100)) << s;
    EXPECT_EQ(G.RhythmPattern(1, 16).Message, 0);

    // In 3/4 columns 12..15 hide, keeping their ticks; the velocity reaches steps 0..11, the row sound all 16.
    form->BZC[13]->setValue(1);
    form->Option1[1]->setValue(true);
    EXPECT_TRUE(form->BZC[13]->isHidden());
    EXPECT_FALSE(form->BZA[11]->isHidden());
    form->VsbVol->setListIndex(1);  // "60"
    EXPECT_EQ(std::tuple(G.RhythmPattern(2, 11).Message, G.RhythmPattern(2, 11).Volume, G.RhythmPattern(2, 12).Message),
              std::tuple(hit(34, 60), 60, hit(34, 100)));
    form->LblInst[2]->setListIndex(7);
    EXPECT_EQ(G.RhythmPattern(2, 15).Message, hit(42, 60));
    EXPECT_EQ(G.RhythmPattern(2, 15).Volume, 100);  // the row sound leaves Volume alone

    form->Option1[2]->setValue(true);
    EXPECT_FALSE(form->BZC[13]->isHidden());
    EXPECT_EQ(G.RhythmPattern(2, 13).Enabled, True);

    // A step box sets only its own cell.
    form->BZA[3]->setValue(1);
    EXPECT_EQ(std::tuple(G.RhythmPattern(0, 3).Enabled, G.RhythmPattern(0, 2).Enabled, G.RhythmPattern(1, 3).Enabled),
              std::tuple(True, False, False));
}

TEST_F(RhythmGrid, TypedVelocityIsRoundedAndHeldToTheMidiRange) {
    form->LblInst[0]->setListIndex(1);
    const std::pair<const char*, int> cases[] = {{"90.5", 90}, {"91.5", 92}, {"127.6", 127},
                                                 {"99999999", 127}, {"-5", 0}, {"abc", 0}};
    for (const auto& [text, velocity] : cases) {
        form->VsbVol->setText(QString::fromLatin1(text));
        EXPECT_EQ(G.RhythmPattern(0, 5).Message, hit(36, velocity)) << text;
    }
}

TEST_F(RhythmGrid, AuditionAccentsFollowTheMeter) {
    for (auto& row : {form->BZA, form->BZB, form->BZC})
        for (int c = 0; c <= 15; ++c) row[c]->setValue(1);
    for (int meter = 0; meter <= 2; ++meter) {
        SCOPED_TRACE(meter);
        form->Option1[meter]->setValue(true);
        form->BzQd->setValue(1);
        take();
        const int ticks = 2 * (G.RhythmLastStep + 1);
        std::vector<int> accents;
        for (int t = 0; t < ticks; ++t) {
            form->BZDS->tick();
            const Msgs m = take();
            EXPECT_EQ(only(m, 0x99, 0x99).size(), t % 2 == 0 ? 3u : 0u) << "tick " << t;
            for (uint32_t v : m)
                if ((v & 0xFFFF) == 0x0BB9) accents.push_back(static_cast<int>(v >> 16));
        }
        EXPECT_EQ(accents, accentsOfMeter(meter));
        form->BzQd->setValue(0);
    }
}

const QString kBadFile = QStringLiteral("打开节奏文件出错，请检查！");

// The 49 step marks with the given columns ticked in rows A, B and C.
QString marks(std::initializer_list<int> a, std::initializer_list<int> b, std::initializer_list<int> c) {
    QString m = QString(16, u'-') + QString(16, u'-') + QString(17, u'-');
    for (int i : a) m[i] = u'*';
    for (int i : b) m[16 + i] = u'*';
    for (int i : c) m[32 + i] = u'*';
    return m;
}

class RhythmFile : public MainWindowTest {
protected:
    void writeRecord(const QString& name, const QString& line) const {
        folder.write(QStringLiteral("演奏记录/") + name, plat::toGbk(line) + "\r\n");
    }
    void save(const QString& path) {
        dialogs.fileAnswers.push_back(path);
        form->Cmdcill[1]->click();
    }
    void load(const QString& name) {
        form->Label11_MouseMove();
        for (int i = 0; i < form->File1->listCount(); ++i)
            if (form->File1->list(i) == name) return form->File1->setListIndex(i);
        ADD_FAILURE() << "not listed: " << name.toStdString();
    }
    QString gridState() const {
        QString s = QStringLiteral("%1/%2/").arg(form->VsbVol->listIndex()).arg(G.RhythmLastStep);
        for (auto* box : form->LblInst) s += QString::number(box->listIndex()) + u'/';
        for (auto* row : {&form->BZA, &form->BZB, &form->BZC})
            for (auto* box : *row) s += QString::number(box->value());
        for (int r = 0; r < 5; ++r)
            for (int c = 0; c < 16; ++c)
                s += QStringLiteral(",%1:%2").arg(G.RhythmPattern(r, c).Message).arg(G.RhythmPattern(r, c).Enabled);
        return s;
    }
};

TEST_F(RhythmFile, SaveWritesTheFixedLayoutOrNothing) {
    form->Option1[2]->setValue(true);
    for (int r = 0, sounds[] = {1, 3, 7}; r < 3; ++r) form->LblInst[r]->setListIndex(sounds[r]);
    form->BZA[0]->setValue(1);
    form->BZC[16]->setValue(1);
    save(record(QStringLiteral("abcd.bin")));
    ASSERT_EQ(dialogs.fileRequests.size(), 1);
    EXPECT_EQ(dialogs.fileRequests[0].initDir, folder.path() + QStringLiteral("演奏记录/"));
    EXPECT_EQ(folder.read(QStringLiteral("演奏记录/abcd.bin")),
              QByteArray("050201030700*") + QByteArray(47, '-') + "*abcd.bin        \r\n");

    // No sound selected writes "00".
    form->LblInst[2]->setListIndex(-1);
    form->VsbVol->setText(QStringLiteral("97"));  // typed: the nearest entry, "100"
    save(record(QStringLiteral("x.bin")));
    EXPECT_TRUE(folder.read(QStringLiteral("演奏记录/x.bin")).startsWith("050201030000"));

    // Cancel ends silently; a failed write writes nothing and is said.
    form->Cmdcill[1]->click();
    save(folder.file(QStringLiteral("没有这个文件夹/y.bin")));
    EXPECT_FALSE(QFile::exists(folder.file(QStringLiteral("没有这个文件夹/y.bin"))));
    EXPECT_EQ(QDir(folder.file(QStringLiteral("演奏记录"))).entryList(QDir::Files).size(), 2);
    EXPECT_EQ(dialogs.messages.size(), 1);
}

TEST_F(RhythmFile, LoadAppliesEveryFieldAndSilencesTheEditorRows) {
    G.RhythmPattern(3, 5).Enabled = G.RhythmPattern(4, 5).Enabled = G.RhythmPattern(4, 12).Enabled = True;
    writeRecord(QStringLiteral("三拍.bin"), QStringLiteral("03010A2E0000") + marks({0, 13}, {}, {16}) + QStringLiteral("三拍.bin"));
    load(QStringLiteral("三拍.bin"));
    EXPECT_EQ(std::tuple(form->Label11->caption(), form->VsbVol->text(), G.RhythmLastStep,
                         form->LblInst[0]->listIndex(), form->LblInst[1]->listIndex()),
              std::tuple(QStringLiteral("1★三拍.bin"), QStringLiteral("80"), 11, 10, 46));
    EXPECT_TRUE(form->BZA[13]->isHidden());
    EXPECT_EQ(form->BZA[13]->value(), 1);  // hidden columns still take their marks
    EXPECT_EQ(std::tuple(G.RhythmPattern(0, 0).Message, G.RhythmPattern(1, 11).Message, G.RhythmPattern(0, 0).Enabled,
                         G.RhythmPattern(3, 5).Enabled + G.RhythmPattern(4, 5).Enabled),
              std::tuple(hit(45, 80), hit(81, 80), True, 0));
    EXPECT_EQ(G.RhythmPattern(4, 12).Enabled, True);  // beyond the 3/4 bar

    // Saved again it is the same line under the new title.
    save(record(QStringLiteral("copy.bin")));
    EXPECT_EQ(folder.read(QStringLiteral("演奏记录/copy.bin")),
              plat::toGbk(QStringLiteral("03010A2E0000") + marks({0, 13}, {}, {16}) + QStringLiteral("copy.bin        \r\n")));
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(RhythmFile, BadTextIsReportedAndLeavesTheGridAlone) {
    const QString tail = marks({}, {}, {}) + u'x';
    G.RhythmFileText = QStringLiteral("020201020300") + tail;  // 62: accepted
    form->OpenJZwj();
    ASSERT_TRUE(dialogs.messages.isEmpty());
    const QString state = gridState();

    const QString bad[] = {QStringLiteral("020201020300") + marks({}, {}, {}),  // 61
                           QStringLiteral("080201020300") + tail,  // velocity position 8
                           QStringLiteral("020301020300") + tail,  // meter 3
                           QStringLiteral("02022F020300") + tail};  // row sound 47
    for (const QString& text : bad) {
        G.RhythmFileText = text;
        form->OpenJZwj();
        EXPECT_EQ(dialogs.messages, QStringList{kBadFile}) << text.toStdString();
        EXPECT_EQ(gridState(), state) << text.toStdString();
        dialogs.messages.clear();
    }

    // A listed file that is gone by the click.
    writeRecord(QStringLiteral("gone.bin"), QStringLiteral("050201030700") + tail);
    form->Label11_MouseMove();
    QFile::remove(record(QStringLiteral("gone.bin")));
    form->File1->setListIndex(0);
    EXPECT_EQ(dialogs.messages, QStringList{kBadFile});
    EXPECT_EQ(gridState(), state);
    EXPECT_TRUE(form->File1->isHidden());
}

// Fields read by their leading number (none: 0, blanks skipped); the velocity
// is applied before the meter, so a 3/4 file's velocity reaches steps 12..15.
TEST_F(RhythmFile, FieldsReadByTheirLeadingNumberVelocityBeforeMeter) {
    form->Option1[2]->setValue(true);
    form->VsbVol->setListIndex(4);
    form->LblInst[1]->setListIndex(0);  // as the file has it: no row-sound rebuild
    G.RhythmFileText = QStringLiteral("ZZ 11GG10a00") + marks({2}, {}, {}) + QStringLiteral("n.bin");
    form->OpenJZwj();
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_EQ(form->VsbVol->listIndex(), 0);       // "ZZ"
    EXPECT_EQ(G.RhythmLastStep, 11);               // " 1"
    EXPECT_EQ(form->LblInst[0]->listIndex(), 1);   // "1G"
    EXPECT_EQ(form->LblInst[1]->listIndex(), 0);   // "G1"
    EXPECT_EQ(form->LblInst[2]->listIndex(), 10);  // "0a"
    EXPECT_EQ(G.RhythmPattern(0, 2).Message, hit(36, 50));
    EXPECT_EQ(G.RhythmPattern(0, 2).Enabled, True);
    EXPECT_EQ(G.RhythmPattern(1, 15).Message, hit(35, 50));  // beyond the 3/4 bar
}

// A list click reads the first line up to a comma or line end, whatever the file's size.
TEST_F(RhythmFile, ListClickReadsTheFirstField) {
    const QString pattern = QStringLiteral("060201030700") + marks({1}, {}, {}) + QStringLiteral("big.bin");
    folder.write(QStringLiteral("演奏记录/big.bin"), plat::toGbk(pattern) + "\r\n" + QByteArray(40000, 'x') + "\r\n");
    load(QStringLiteral("big.bin"));
    EXPECT_EQ(form->VsbVol->listIndex(), 6);
    EXPECT_EQ(G.RhythmFileText, pattern);

    folder.write(QStringLiteral("演奏记录/cr.bin"), "040001030700" + QByteArray(49, '-') + "cr.bin\rjunk\r");
    load(QStringLiteral("cr.bin"));
    EXPECT_EQ(G.RhythmFileText.size(), 67);
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

// A click hides the list while it has the focus: the keyboard goes back to
// the player, also after a file that cannot be read. Names are listed
// whatever their case.
TEST_F(RhythmFile, ListClickGivesTheKeyboardBack) {
    for (const char* name : {"A.BIN", "gone.bin"})
        writeRecord(QString::fromLatin1(name), QStringLiteral("050201030700") + marks({0}, {}, {}) + QStringLiteral("A.BIN"));
    QApplication::setActiveWindow(form.get());
    form->Xxk[2]->setValue(true);
    for (const auto& [name, readable] : {std::pair{"A.BIN", true}, {"gone.bin", false}}) {
        dialogs.messages.clear();
        form->Label11_MouseMove();
        form->File1->setFocus(Qt::MouseFocusReason);
        ASSERT_TRUE(form->File1->hasFocus()) << name;
        const int row = form->File1->list(0) == QString::fromLatin1(name) ? 0 : 1;
        if (!readable) QFile::remove(record(QString::fromLatin1(name)));  // gone by the click
        form->File1->setListIndex(row);
        EXPECT_EQ(dialogs.messages, readable ? QStringList() : QStringList{kBadFile}) << name;
        EXPECT_TRUE(form->File1->isHidden()) << name;
        EXPECT_TRUE(form->SFYXYZ->hasFocus()) << name;
    }
    EXPECT_EQ(form->Option1[2]->value(), true);
}

// A typed velocity is saved as the entry nearest to the velocity it plays at (the lower of two as near) and reopens
// as that entry.
TEST_F(RhythmFile, ATypedVelocityReopensAsTheNearestEntry) {
    const struct { const char *typed, *field, *reopened; } cases[] = {
        {"abc", "00", "50"}, {"1", "00", "50"},  {"54.5", "00", "50"},  {"55", "00", "50"},  {"55.5", "01", "60"},
        {"56", "01", "60"},  {"97", "05", "100"}, {"115", "06", "110"}, {"300", "07", "120"}};
    for (const auto& c : cases) {
        form->VsbVol->setText(QString::fromLatin1(c.typed));
        save(record(QStringLiteral("v.bin")));
        EXPECT_EQ(folder.read(QStringLiteral("演奏记录/v.bin")).left(2).toStdString(), c.field) << c.typed;
        form->VsbVol->setListIndex(3);  // "80", none of the answers
        load(QStringLiteral("v.bin"));
        EXPECT_EQ(form->VsbVol->text().toStdString(), c.reopened) << c.typed;
    }
}

TEST_F(RhythmFile, DeleteRemovesTheSelectedFileAndLoadsTheFirst) {
    writeRecord(QStringLiteral("a.bin"), QStringLiteral("000001020300") + marks({}, {}, {}) + QStringLiteral("a.bin"));
    writeRecord(QStringLiteral("B.bin"), QStringLiteral("070201020300") + marks({}, {}, {}) + QStringLiteral("B.bin"));
    load(QStringLiteral("B.bin"));
    EXPECT_EQ(form->VsbVol->listIndex(), 7);
    form->Cmdcill[0]->click();
    EXPECT_FALSE(QFile::exists(record(QStringLiteral("B.bin"))));
    EXPECT_EQ(form->Label11->caption(), QStringLiteral("a.bin"));
    EXPECT_EQ(form->VsbVol->listIndex(), 0);
}

}  // namespace
