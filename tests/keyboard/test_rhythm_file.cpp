// Rhythm pattern files: the 77-character line, the list, save and delete.
#include "form1fixture.h"

#include <QFile>

using namespace midi;

namespace {

const QString kBadFile = QStringLiteral("打开节奏文件出错，请检查！");

// The 49 step marks with the given columns ticked in rows A, B and C.
QString marks(std::initializer_list<int> a, std::initializer_list<int> b, std::initializer_list<int> c) {
    QString m = QString(16, u'-') + QString(16, u'-') + QString(17, u'-');
    for (int i : a) m[i] = u'*';
    for (int i : b) m[16 + i] = u'*';
    for (int i : c) m[32 + i] = u'*';
    return m;
}

class RhythmFile : public Form1Test {
protected:
    QString record(const QString& name) const { return folder.file(QStringLiteral("演奏记录/") + name); }
    void writeRecord(const QString& name, const QString& line) const {
        folder.write(QStringLiteral("演奏记录/") + name, plat::toGbk(line) + "\r\n");
    }
    void save(const QString& path) {
        dialogs.fileAnswers.push_back(path);
        form->Cmdcill[1]->click();
    }
    // Shows the list and clicks the entry of that name.
    void load(const QString& name) {
        form->Label11_MouseMove();
        for (int i = 0; i < form->File1->listCount(); ++i)
            if (form->File1->list(i) == name) return form->File1->setListIndex(i);
        ADD_FAILURE() << "not listed: " << name.toStdString();
    }
    // What a refused load must leave alone.
    QString gridState() const {
        QString s = QString::number(form->VsbVol->listIndex()) + u'/' + QString::number(G.RhythmLastStep) + u'/';
        for (int r = 0; r < 3; ++r) s += QString::number(form->LblInst[r]->listIndex()) + u'/';
        for (auto* row : {&form->BZA, &form->BZB, &form->BZC})
            for (auto* box : *row) s += QString::number(box->value());
        for (int r = 0; r < 5; ++r)
            for (int c = 0; c < 16; ++c)
                s += QStringLiteral(",%1:%2").arg(G.RhythmPattern(r, c).Message).arg(G.RhythmPattern(r, c).Enabled);
        return s;
    }
};

TEST_F(RhythmFile, SaveWritesTheFixedLayout) {
    form->Option1[2]->setValue(true);
    form->LblInst[0]->setListIndex(1);
    form->LblInst[1]->setListIndex(3);
    form->LblInst[2]->setListIndex(7);
    form->BZA[0]->setValue(1);
    form->BZC[16]->setValue(1);
    save(record(QStringLiteral("abcd.bin")));

    ASSERT_EQ(dialogs.fileRequests.size(), 1);
    const plat::FileDialogRequest& r = dialogs.fileRequests[0];
    EXPECT_TRUE(r.save);
    EXPECT_EQ(r.filter, QStringLiteral("节奏bin|*.bin"));
    EXPECT_EQ(r.flags, 2);
    EXPECT_EQ(r.initDir, folder.path() + QStringLiteral("演奏记录/"));
    EXPECT_EQ(form->LastOpenedFile, record(QStringLiteral("abcd.bin")));
    EXPECT_EQ(folder.read(QStringLiteral("演奏记录/abcd.bin")),
              QByteArray("050201030700*") + QByteArray(47, '-') + "*abcd.bin        \r\n");

    // Long titles are cut to 16 characters; Chinese ones count by character.
    save(record(QStringLiteral("0123456789abcdefXYZ.bin")));
    EXPECT_TRUE(folder.read(QStringLiteral("演奏记录/0123456789abcdefXYZ.bin")).endsWith("*0123456789abcdef\r\n"));
    save(record(QStringLiteral("华尔兹节奏.bin")));
    const QByteArray gbk = folder.read(QStringLiteral("演奏记录/华尔兹节奏.bin"));
    EXPECT_TRUE(gbk.endsWith(plat::toGbk(QStringLiteral("*华尔兹节奏.bin       \r\n"))));
    EXPECT_EQ(plat::fromGbk(gbk).size(), 79);
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(RhythmFile, SaveWithoutASelectionOrAFileKeepsTheLayout) {
    form->LblInst[2]->setListIndex(-1);
    form->VsbVol->setText(QStringLiteral("97"));  // typed: the nearest entry, "100"
    save(record(QStringLiteral("x.bin")));
    EXPECT_TRUE(folder.read(QStringLiteral("演奏记录/x.bin")).startsWith("050000000000"));

    // Cancel and a failed write both end silently.
    const QString before = form->LastOpenedFile;
    form->Cmdcill[1]->click();
    EXPECT_EQ(form->LastOpenedFile, before);
    save(folder.file(QStringLiteral("没有这个文件夹/y.bin")));
    EXPECT_FALSE(QFile::exists(folder.file(QStringLiteral("没有这个文件夹/y.bin"))));
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(RhythmFile, LoadAppliesEveryFieldAndSilencesTheEditorRows) {
    G.RhythmPattern(3, 5).Enabled = True;
    G.RhythmPattern(4, 12).Enabled = True;
    writeRecord(QStringLiteral("三拍.bin"), QStringLiteral("03010A2E0000") + marks({0, 13}, {}, {16}) + QStringLiteral("三拍.bin"));
    load(QStringLiteral("三拍.bin"));

    EXPECT_EQ(form->Label11->caption(), QStringLiteral("1★三拍.bin"));
    EXPECT_TRUE(form->File1->isHidden());
    EXPECT_EQ(form->VsbVol->text(), QStringLiteral("80"));
    EXPECT_TRUE(form->Option1[1]->value());
    EXPECT_EQ(G.RhythmLastStep, 11);
    EXPECT_EQ(form->LblInst[0]->listIndex(), 10);
    EXPECT_EQ(form->LblInst[1]->listIndex(), 46);
    EXPECT_TRUE(form->BZA[13]->isHidden());
    EXPECT_EQ(form->BZA[13]->value(), 1);  // hidden columns still take their marks
    EXPECT_EQ(form->BZC[16]->value(), 1);
    EXPECT_EQ(G.RhythmPattern(0, 0).Message, 0x99 + 45 * 256 + 80 * 65536);
    EXPECT_EQ(G.RhythmPattern(1, 11).Message, 0x99 + 81 * 256 + 80 * 65536);
    EXPECT_EQ(G.RhythmPattern(0, 0).Enabled, True);
    EXPECT_EQ(G.RhythmPattern(0, 1).Enabled, False);
    EXPECT_EQ(G.RhythmPattern(3, 5).Enabled, False);
    EXPECT_EQ(G.RhythmPattern(4, 12).Enabled, True);  // beyond the 3/4 bar

    // What the program saves it reads back the same.
    save(record(QStringLiteral("copy.bin")));
    form->Option1[0]->setValue(true);
    form->LblInst[0]->setListIndex(2);
    form->BZA[0]->setValue(0);
    load(QStringLiteral("copy.bin"));
    EXPECT_EQ(form->LblInst[0]->listIndex(), 10);
    EXPECT_EQ(G.RhythmLastStep, 11);
    EXPECT_EQ(form->BZA[0]->value(), 1);
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(RhythmFile, BadTextIsReportedAndLeavesTheGridAlone) {
    writeRecord(QStringLiteral("good.bin"), QStringLiteral("020201020300") + marks({1}, {2}, {3}));
    load(QStringLiteral("good.bin"));  // 61 characters and a line end: no name at all
    ASSERT_EQ(dialogs.messages, QStringList{kBadFile});
    dialogs.messages.clear();

    const QString tail = marks({}, {}, {}) + u'x';
    G.RhythmFileText = QStringLiteral("020201020300") + tail;  // 62: accepted
    form->OpenJZwj();
    ASSERT_TRUE(dialogs.messages.isEmpty());
    const QString state = gridState();

    const QString bad[] = {QStringLiteral("020201020300") + marks({}, {}, {}),  // 61
                           QStringLiteral("080201020300") + tail,  // velocity position 8
                           QStringLiteral("020301020300") + tail,  // meter 3
                           QStringLiteral("02022F020300") + tail,  // row sound 47
                           QStringLiteral("02-101020300") + tail,  // meter -1
                           QStringLiteral("0202FF020300") + tail};  // row sound 255
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
    ASSERT_EQ(form->File1->list(0), QStringLiteral("gone.bin"));
    form->File1->setListIndex(0);
    EXPECT_EQ(dialogs.messages, QStringList{kBadFile});
    EXPECT_EQ(gridState(), state);
    EXPECT_EQ(form->Label11->caption(), QStringLiteral("1★gone.bin"));  // named before the read
    EXPECT_TRUE(form->File1->isHidden());
}

// The velocity is applied before the meter: in a grid at 4/4, a 3/4 file's
// velocity still reaches steps 12..15 when the row sounds stay as they are.
TEST_F(RhythmFile, LoadAppliesTheVelocityBeforeTheMeter) {
    form->Option1[2]->setValue(true);
    for (int r = 0; r < 3; ++r) form->LblInst[r]->setListIndex(r + 1);
    G.RhythmFileText = QStringLiteral("010101020300") + marks({}, {}, {}) + QStringLiteral("w.bin");
    form->OpenJZwj();
    ASSERT_TRUE(dialogs.messages.isEmpty());
    EXPECT_EQ(G.RhythmLastStep, 11);
    for (int s : {11, 12, 15}) {
        EXPECT_EQ(G.RhythmPattern(2, s).Message, 0x99 + 38 * 256 + 60 * 65536) << s;
        EXPECT_EQ(G.RhythmPattern(2, s).Volume, 60) << s;
    }
}

// Fields are read by their leading number, as the reader always has: text
// that is no number reads as 0, blanks are skipped.
TEST_F(RhythmFile, FieldsReadByTheirLeadingNumber) {
    form->VsbVol->setListIndex(4);
    form->LblInst[1]->setListIndex(5);
    G.RhythmFileText = QStringLiteral("ZZ 11GG10a00") + marks({2}, {}, {}) + QStringLiteral("n.bin");
    form->OpenJZwj();
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_EQ(form->VsbVol->listIndex(), 0);  // "ZZ"
    EXPECT_TRUE(form->Option1[1]->value());  // " 1"
    EXPECT_EQ(form->LblInst[0]->listIndex(), 1);  // "1G"
    EXPECT_EQ(form->LblInst[1]->listIndex(), 0);  // "G1"
    EXPECT_EQ(form->LblInst[2]->listIndex(), 10);  // "0a"
    EXPECT_EQ(G.RhythmPattern(0, 2).Message, 0x99 + 36 * 256 + 50 * 65536);
    EXPECT_EQ(G.RhythmPattern(0, 2).Enabled, True);
}

// A list click reads the first field of the first line: up to a comma or the
// line end (CR, LF or CR LF), whatever the size of the file. The delete
// button's reload reads the whole text.
TEST_F(RhythmFile, ListClickReadsTheFirstField) {
    const QString pattern = QStringLiteral("060201030700") + marks({1}, {}, {}) + QStringLiteral("big.bin");
    folder.write(QStringLiteral("演奏记录/big.bin"),
                 plat::toGbk(pattern) + "\r\n" + QByteArray(40000, 'x') + "\r\n");
    load(QStringLiteral("big.bin"));
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_EQ(form->VsbVol->listIndex(), 6);
    EXPECT_EQ(G.RhythmFileText, pattern);

    folder.write(QStringLiteral("演奏记录/cr.bin"), "040001030700" + QByteArray(49, '-') + "cr.bin\rjunk\r");
    load(QStringLiteral("cr.bin"));
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_EQ(form->VsbVol->listIndex(), 4);
    EXPECT_EQ(G.RhythmFileText.size(), 67);

    // A name that starts with a comma leaves 61 characters to a list click.
    form->VsbVol->setListIndex(2);
    save(record(QStringLiteral(",c.bin")));
    load(QStringLiteral(",c.bin"));
    EXPECT_EQ(dialogs.messages, QStringList{kBadFile});
    EXPECT_EQ(G.RhythmFileText.size(), 61);
    EXPECT_EQ(form->Label11->caption(), QStringLiteral("1★,c.bin"));
    dialogs.messages.clear();
    form->VsbVol->setListIndex(0);
    form->File1->refresh();
    form->Cmdcill[0]->click();  // nothing selected: the first file again, whole
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_EQ(form->Label11->caption(), QStringLiteral(",c.bin"));
    EXPECT_EQ(form->VsbVol->listIndex(), 2);
}

TEST_F(RhythmFile, DeleteRemovesTheSelectedFileAndLoadsTheFirst) {
    writeRecord(QStringLiteral("a.bin"), QStringLiteral("000001020300") + marks({}, {}, {}) + QStringLiteral("a.bin"));
    writeRecord(QStringLiteral("B.bin"), QStringLiteral("070201020300") + marks({}, {}, {}) + QStringLiteral("B.bin"));
    load(QStringLiteral("B.bin"));
    EXPECT_EQ(form->Label11->caption(), QStringLiteral("2★B.bin"));
    EXPECT_EQ(form->VsbVol->listIndex(), 7);

    form->Cmdcill[0]->click();
    EXPECT_FALSE(QFile::exists(record(QStringLiteral("B.bin"))));
    EXPECT_EQ(form->SelectedRhythmFile, record(QStringLiteral("B.bin")));
    EXPECT_EQ(form->Label11->caption(), QStringLiteral("a.bin"));
    EXPECT_EQ(form->VsbVol->listIndex(), 0);

    // Nothing selected: nothing deleted, the first file loaded again.
    form->VsbVol->setListIndex(4);
    form->File1->refresh();
    form->Cmdcill[0]->click();
    EXPECT_TRUE(QFile::exists(record(QStringLiteral("a.bin"))));
    EXPECT_EQ(form->VsbVol->listIndex(), 0);
    EXPECT_TRUE(dialogs.messages.isEmpty());

    // A selected file that is gone by the click stops the delete with an
    // error: no refresh, no reload.
    writeRecord(QStringLiteral("c.bin"), QStringLiteral("030201020300") + marks({}, {}, {}) + QStringLiteral("c.bin"));
    form->File1->refresh();
    form->File1->setCurrentRow(1);
    ASSERT_EQ(form->File1->fileName(), QStringLiteral("c.bin"));
    QFile::remove(record(QStringLiteral("c.bin")));
    form->VsbVol->setListIndex(4);
    EXPECT_THROW(form->Cmdcill[0]->click(), ui::RuntimeError);
    EXPECT_EQ(form->File1->listCount(), 2);
    EXPECT_EQ(form->VsbVol->listIndex(), 4);
    EXPECT_EQ(form->Label11->caption(), QStringLiteral("a.bin"));
}

// A first file with a field outside its list is reported; the start goes on.
class RhythmFileAtStart : public Form1Test {
protected:
    void PrepareFolder() override {
        folder.write(QStringLiteral("演奏记录/a.bin"), QByteArray("090201020300") + QByteArray(49, '-') + "a.bin\r\n");
    }
};

TEST_F(RhythmFileAtStart, BadFirstFileDoesNotEndTheProgram) {
    EXPECT_EQ(dialogs.ends, 0);
    EXPECT_FALSE(ui::programEndRequested());
    EXPECT_TRUE(form->WasActivated);
    EXPECT_EQ(form->VsbVol->listIndex(), 5);
    EXPECT_EQ(form->LblInst[0]->listIndex(), -1);
    EXPECT_EQ(form->Text6->text(), QStringLiteral("145"));  // the chord set-up ran
}

}  // namespace
