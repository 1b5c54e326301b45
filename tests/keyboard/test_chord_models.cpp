// Chord pattern models, their parse and derivation, and the chord order.
#include "form1fixture.h"

#include <QFile>

using namespace midi;

namespace {

class ChordModels : public Form1Test {
protected:
    // The draws of the random source, in order.
    void draws(std::vector<double> values) {
        seq = std::move(values);
        form->Rnd = [this] { return seq.at(next++); };
        next = 0;
    }
    void writeModels(const QStringList& lines) const {
        folder.write(QStringLiteral("HxJzMx.txt"), plat::toGbk(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")));
    }
    QByteArray models() const { return folder.read(QStringLiteral("HxJzMx.txt")); }
    void setBoxes(const QString& everyBar, const QString& everyTwoBars) {
        form->Text4->setText(everyBar);
        form->Text5->setText(everyTwoBars);
        form->HXYPSB();
        form->ZDHXSC();
    }
    std::vector<int> row(int chord, int first, int count) const {
        std::vector<int> out;
        for (int k = first; k < first + count; ++k) out.push_back(form->ChordPatternGrid(chord, k));
        return out;
    }
    static QString line(const QString& head) { return head.leftJustified(32, u'-'); }

    std::vector<double> seq;
    size_t next = 0;
};

TEST_F(ChordModels, MissingModelFileIsCreatedFromTheDefaults) {
    EXPECT_EQ(models(), plat::toGbk(plat::LoadResString(509)) + "\r\n");
    EXPECT_EQ(plat::splitLines(plat::fromGbk(models())).size(), 15);
    EXPECT_EQ(form->Text4->text(), QStringLiteral("CC--WG--KC--WG--CE--WG--LB--WG--"));
    EXPECT_EQ(form->Text2->text(), form->Text4->text());
    EXPECT_EQ(form->Text5->text(), QStringLiteral("LG--WC----------LG--WC----------"));
    EXPECT_EQ(form->Text6->text(), QStringLiteral("145"));  // draw 0 counts as order 1
    EXPECT_EQ(G.ChordCount, 3);
    EXPECT_EQ(G.ChordSequence(2), 4);
    EXPECT_EQ(form->ChordPatternGrid(1, 0), 65);
    EXPECT_EQ(form->ChordPatternGrid(1, 8), 255);  // "CE" is no token
}

TEST_F(ChordModels, ParseAndDerivation) {
    setBoxes(QStringLiteral("KE--MGCCDMXZCEkcLCWGHEMCLDLBWFHA"), QString());
    EXPECT_EQ(row(1, 0, 16), (std::vector<int>{28, 255, 55, 65, 66, 254, 255, 255, 0, 19, 40, 48, 2, 11, 17, 45}));
    EXPECT_EQ(row(1, 16, 16), std::vector<int>(16, 255));
    for (int chord = 2; chord <= 6; ++chord) {
        static const int cg[7] = {0, 0, 2, 4, 5, 7, 9};
        static const int e[7] = {0, 0, 1, 3, 5, 7, 8};
        EXPECT_EQ(form->ChordPatternGrid(chord, 0), 28 + e[chord]);  // KE: 29, 31, 33, 35, 36
        EXPECT_EQ(form->ChordPatternGrid(chord, 8), 0 + cg[chord]);
        EXPECT_EQ(form->ChordPatternGrid(chord, 9), 19 + cg[chord]);
        EXPECT_EQ(form->ChordPatternGrid(chord, 10), 40 + e[chord]);
        EXPECT_EQ(form->ChordPatternGrid(chord, 3), 64 + chord);
        // Copied unchanged: top octave, D/F/A/B tones, other chords, rest, hold.
        for (int k : {1, 2, 4, 5, 6, 11, 12, 13, 14, 15})
            EXPECT_EQ(form->ChordPatternGrid(chord, k), form->ChordPatternGrid(1, k)) << chord << "/" << k;
    }

    // Texts are joined as they are: a short every-bar text moves the other's cells.
    setBoxes(QStringLiteral("LCLELGWCWEWGKCKEKGHC"), QStringLiteral("MGXZ"));
    EXPECT_EQ(row(1, 9, 4), (std::vector<int>{36, 55, 254, 255}));
    setBoxes(QStringLiteral("LCL"), QStringLiteral("CXZ"));
    EXPECT_EQ(row(1, 0, 4), (std::vector<int>{0, 0, 254, 255}));
}

TEST_F(ChordModels, LeavingAPatternBoxNormalisesIt) {
    form->Text4->setText(QStringLiteral("kc wg"));
    form->Text4_LostFocus();
    EXPECT_EQ(form->Text4->text(), line(QStringLiteral("KC-WG")));
    EXPECT_EQ(form->Text2->text(), form->Text4->text());
    form->Text5->setText(QStringLiteral("LC") + QString(29, u'-') + u' ');
    form->Text5_LostFocus();
    EXPECT_EQ(form->Text5->text(), line(QStringLiteral("LC")));
}

TEST_F(ChordModels, RandomDrawsTakeLinesAndOrdersFromTheSource) {
    const QStringList lines = {line("LC"), line("WC"), line("KC"), line("HC")};
    writeModels(lines);
    G.ChordIndex = 3;
    form->ChordPos = 3;
    draws({0.75, 0.375, 0.875});  // 4.5 -> 4, 1.5 -> 2, 3.5 -> 4: halves to even
    form->Command3->click();
    EXPECT_EQ(form->Text6->text(), QStringLiteral("125"));
    EXPECT_EQ(G.ChordCount, 3);
    EXPECT_EQ(G.ChordSequence(3), 5);
    EXPECT_EQ(G.ChordIndex, 1);
    EXPECT_EQ(form->ChordPos, 1);
    EXPECT_EQ(form->ChordModelCount, 4);
    EXPECT_EQ(form->Text4->text(), lines[1]);
    EXPECT_EQ(form->Text2->text(), lines[1]);
    EXPECT_EQ(form->Text5->text(), lines[3]);
    EXPECT_EQ(form->ChordPatternGrid(1, 0), 12);  // parsed at once

    draws({0.999, 0.1, 0.0});
    form->Check7->setValue(1);
    form->Check4->setValue(1);
    form->Command3->click();
    EXPECT_EQ(form->Text6->text(), QStringLiteral("1365"));
    EXPECT_EQ(form->Text4->text(), lines[1]);
    EXPECT_EQ(form->Text5->text(), lines[3]);

    folder.write(QStringLiteral("HxJzMx.txt"), QByteArray());
    form->Check7->setValue(0);
    form->Check4->setValue(0);
    draws({0.0, 0.5, 0.5});
    form->Command3->click();
    EXPECT_EQ(form->Text4->text(), QString());
    EXPECT_EQ(form->Text5->text(), QString());
}

TEST_F(ChordModels, ChordOrderEntry) {
    G.ChordIndex = 2;
    form->Text6_GotFocus();
    form->Text6->setText(QStringLiteral("1a3"));
    form->Text6_LostFocus();
    EXPECT_EQ(form->Text6->text(), QStringLiteral("145"));
    EXPECT_EQ(G.ChordIndex, 2);
    form->Text6->setText(QStringLiteral("7"));
    form->Text6_LostFocus();
    EXPECT_EQ(form->Text6->text(), QStringLiteral("145"));
    EXPECT_EQ(G.ChordCount, 3);

    form->Text4->setText(QStringLiteral("XZ"));
    form->Text6->setText(QStringLiteral("3621"));
    form->Text6_LostFocus();
    EXPECT_EQ(G.ChordCount, 4);
    EXPECT_EQ(G.ChordSequence(1), 3);
    EXPECT_EQ(G.ChordSequence(4), 1);
    EXPECT_EQ(G.ChordIndex, 1);
    EXPECT_EQ(form->ChordPos, 1);
    EXPECT_EQ(form->ChordPatternGrid(3, 0), 254);

    form->Text6->setText(QString());
    form->Text6_LostFocus();
    EXPECT_EQ(G.ChordCount, 0);
}

TEST_F(ChordModels, SaveAppendsOnlyPatternsNotInTheFile) {
    const QByteArray start = models();
    form->Text4->setText(plat::splitLines(plat::fromGbk(start)).first());
    form->Text5->setText(line("MG"));
    form->Command4->click();
    EXPECT_EQ(models(), start + line("MG").toLatin1() + "\r\n");
    form->Command4->click();
    EXPECT_EQ(models(), start + line("MG").toLatin1() + "\r\n");

    form->Text4->setText(line("HG"));
    form->Text5->setText(line("HG"));
    form->Command4->click();
    EXPECT_TRUE(models().endsWith(line("HG").toLatin1() + "\r\n" + line("HG").toLatin1() + "\r\n"));

    // A last line without a line end is not joined to the new one.
    folder.write(QStringLiteral("HxJzMx.txt"), "AAAA");
    form->Command4->click();
    EXPECT_EQ(models(), "AAAA\r\n" + line("HG").toLatin1() + "\r\n" + line("HG").toLatin1() + "\r\n");

    QFile::remove(folder.file(QStringLiteral("HxJzMx.txt")));
    form->Command4->click();
    EXPECT_FALSE(QFile::exists(folder.file(QStringLiteral("HxJzMx.txt"))));
}

// 120 model lines: the table holds 100, the duplicate check sees them all.
class ChordModelsLong : public ChordModels {
protected:
    void PrepareFolder() override {
        QStringList lines;
        for (int i = 1; i <= 120; ++i) lines << line(QStringLiteral("L%1").arg(i));
        writeModels(lines);
    }
};

TEST_F(ChordModelsLong, OnlyTheFirstHundredLinesAreRead) {
    EXPECT_EQ(dialogs.ends, 0);
    EXPECT_FALSE(ui::programEndRequested());
    EXPECT_EQ(form->ChordModelCount, 100);

    draws({0.0, 0.999, 0.999});  // 99.9 -> line 100
    form->Command3->click();
    EXPECT_EQ(form->Text4->text(), line("L100"));

    const QByteArray before = models();
    form->Text4->setText(line("L110"));
    form->Text5->setText(line("L999"));
    form->Command4->click();
    EXPECT_EQ(models(), before + line("L999").toLatin1() + "\r\n");
    EXPECT_EQ(form->ChordModelCount, 100);
}

}  // namespace
