// The main window: live keyboard and mouse playing, melody voices, tempo and
// key, rhythm grid and chord accompaniment, the score box and the shell
// around them. The class is split over several files by concern:
//   mainwindow_layout.cpp  controls and their design state
//   mainwindow_life.cpp    load, activation, settings file, device box, exit, pages
//   mainwindow_init.cpp    first-time initialisation (QDCSH)
//   mainwindow_play.cpp    computer-keyboard and mouse playing
//   mainwindow_clock.cpp   live accompaniment clock, accompaniment steps, drum accents
//   mainwindow_score.cpp   score player: token reader and its clock
//   mainwindow_scorebox.cpp  score box buttons and score files
//   mainwindow_voices.cpp  melody voices, tempo and key
//   mainwindow_rhythm.cpp  rhythm grid, audition and pattern files
//   mainwindow_chords.cpp  chord models, chord order and chord accompaniment
//   mainwindow_settings.cpp  key-settings page (F keys, pads, effect keys; vanto.ini)
//   mainwindow_recorder.cpp  wave recorder and player
//   mainwindow_shell.cpp   web-page button, wave volume
#pragma once

#include "midi/state.h"
#include "ui/controls.h"

#include <QDateTime>
#include <QPixmap>
#include <QWidget>
#include <array>
#include <functional>
#include <vector>

class KeyboardButton;
class KeyStrip;

class Form1 : public QWidget {
    Q_OBJECT
public:
    using i16 = int16_t;

    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    // Window life (load runs from the constructor's caller through Show()).
    void Show();              // shows the window: load on first show, then activation
    void Hide();
    void Unload();            // the window's unload (by exit button or close box)
    bool loaded() const { return loaded_; }

    // ---- Load, activation, device box, exit
    void Form_Load();
    void Form_Activate();
    void ComDevies_Click();
    void Command1_Click();
    void Form_Unload();
    void YXYZ();
    void Form_Click();
    void Xxk_Click(int index);
    void Jiezhou_Click(int index);
    void Timer2_Timer();
    void Option2_Click(int index);
    void Image3_Click();
    void BJCK_Click();

    // ---- First-time initialisation
    void QDCSH();

    // ---- Live playing
    void SFYXYZ_KeyDown(int keyCode, int shift);
    void SFYXYZ_Click();
    void SFYXYZ_GotFocus();
    void SFYXYZ_LostFocus();
    void Text3_Change();
    void Picture1_DragOver(int index);
    void Label1_MouseMove();
    // Key picture of an on-screen key: pressed or released in its own colour.
    void ShowKeyUp(int offset);
    void ShowKeyDown(int offset);
    // Note-offs of the melody note at an offset: channels 0, 1, 2 and the
    // octave below on channel 2.
    static void ReleaseMelodyNote(i16 offset);
    // The melody voices that have an instrument strike the note at an
    // offset; voice 2 doubles it an octave below.
    void StrikeMelody(i16 offset);
    // Which on-screen key lies under a point of the key strip (-1 none).
    static int KeyAt(int x, int y);

    // The take's last length and "TZ" written (not into an empty box), its
    // key shown up, the box copied to ScoreText: how the stop key ends a take.
    void CloseTake();

    // ---- Live accompaniment clock
    static constexpr i16 kIdleLimit = 99;  // ticks after the last key that close a take
    void Timer1_Timer();
    i16 DrumAccent() const;
    // The steps every accompaniment clock shares: the bar chord at a bar's
    // first tick, and one accompaniment step (chord tracks, then every
    // second step a drum step with its accent).
    void BarChord();
    void AccompanimentStep();

    // ---- Score player
    void YSCX();          // reads the next token of ScoreText and acts on it
    void Timer3_Timer();
    // Starts playing ScoreText from its first token (the play and open
    // buttons, once they have set ScoreText and the score box).
    void PlayScoreText();
    // Stops the score clock; a tick already running sends nothing more.
    void StopScoreClock();
    // Ends a play: the clock stopped, its note and the chord tracks silent,
    // the play button ready to start again, the score box editable.
    void StopScorePlay();
    // The score box is read-only while a play runs.
    void ScoreBoxFollowsPlay();
    // The accompaniment counters back at the start, as every start and stop
    // of a play (live or from the score) or of an audition leaves them.
    void ResetSteps();

    // ---- Score box and score files
    void Yuepu_MouseDown(int index);
    void Yuepu_Click(int index);
    void XINJIAN_Click();

    // ---- Melody voices, tempo and key
    void ComSounds_Click(int j);
    void ComSounds_Change(int j);
    void Zxlyl_Click(int j);
    void Zxlyl_Change(int j);
    void Check3_Click(int j);
    void SD_Click();
    void SD_LostFocus();
    void YD_Click();
    void YD_Change();
    // Instrument combination n (1..13) of the presets on the three voices.
    void SelectInstrumentCombination(int n);

    // ---- Rhythm grid, audition, pattern files
    void BZXS();
    void BZA_Click(int index);
    void BZB_Click(int index);
    void BZC_Click(int index);
    void LblInst_Click(int index);
    void VsbVol_Click();
    void ApplyRhythmVelocity();
    void Option1_Click(int index);
    void BzQd_Click();
    void BZDS_Timer();
    void Label11_MouseMove();
    void Jiezhou_MouseMove(int index);
    void SaveJZwj();
    void OpenJZwj();
    void File1_Click();
    void Cmdcill_Click(int index);
    // Velocity of a rhythm hit from the velocity box's number: rounded (halves
    // to even) and held to 0..127, so typed text cannot spill into the other
    // bytes of the message.
    static i16 RhythmVelocity(double typed);
    // The ready note-on of a rhythm hit (channel 9).
    static int32_t RhythmHitMessage(i16 key, i16 velocity);

    // ---- Chord models, order and accompaniment
    void CSHX();
    void Command3_Click();
    void HXCSH();
    void HXYPSB();
    void ZDHXSC();
    void Text4_LostFocus();
    void Text5_LostFocus();
    void Text6_GotFocus();
    void Text6_LostFocus();
    void Command4_Click();
    void BZHX();
    void BZHX2();
    void HX1K();
    void HX2K();
    void ZNHX();
    void Timer4_Timer();
    void Check6_Click();
    void HXYS_Timer();
    void HxYL_Click();
    void HxYL_Change();
    void Combo1_Click();
    void Combo3_Click();
    void xuanyue_Click();
    // The random source of the chord draws: a uniform number in [0, 1).
    // Tests replace it.
    std::function<double()> Rnd;

    // ---- Key-settings page
    void Option3_Click(int index);
    void YQSZ_Click(int index);
    void File2_Click();
    void Check1_Click();
    void SHUAXIN_Click();
    void BCSZ_Click();
    void ShowKeySettingsPage();  // what the page selector does for this page

    // ---- Wave recorder and player
    void Image1_Click(int index);
    void BcLY_Click();
    void Lyjsj_Timer();
    // Stops a recording or playback as the stop button does (before the
    // window hides for the music editor, where nothing could stop it).
    void StopRecorder();

    // ---- Shell
    void Command2_Click();
    int32_t SetWaveVolume(int32_t lVolume, int32_t rVolume);
    // The clock's time source. Tests replace it.
    std::function<QDateTime()> Now = [] { return QDateTime::currentDateTime(); };

    // ---- Controls (design names)
    // Shell
    std::array<ui::OptionButton*, 6> Xxk{};     // 3 is not used
    std::array<QWidget*, 6> Jiezhou{};          // pages; 3 is not used
    ui::Label* FJWZ = nullptr;                  // status line
    ui::Label* XSWB = nullptr;                  // hint line
    ui::Label* SjXs = nullptr;                  // date and time
    ui::Label* Label8 = nullptr;                // scrolling line
    ui::Label* Label3 = nullptr;                // line under the keyboard map
    ui::PictureBox* Picture2 = nullptr;         // keyboard map
    ui::CommandButton* Command1 = nullptr;      // "退出"
    ui::CommandButton* BJCK = nullptr;          // "编辑"
    ui::CommandButton* Command2 = nullptr;      // "效果欣赏"
    ui::Timer* Timer2 = nullptr;                // clock label
    // Playing
    KeyboardButton* SFYXYZ = nullptr;           // "键盘"
    KeyStrip* KeyRow = nullptr;                 // holds the 65 on-screen keys
    std::array<ui::PictureBox*, 65> Picture1{};
    ui::Label* Label1 = nullptr;                // mute pad
    ui::TextBox* Text3 = nullptr;               // score box
    std::array<ui::CommandButton*, 5> Yuepu{};  // score buttons
    ui::CommandButton* XINJIAN = nullptr;       // "新建"
    ui::Timer* Timer1 = nullptr;                // live accompaniment clock
    ui::Timer* Timer3 = nullptr;                // score player clock
    // Melody page
    std::array<ui::CheckBox*, 3> Check3{};
    std::array<ui::ComboBox*, 3> ComSounds{};
    std::array<ui::ComboBox*, 3> Zxlyl{};
    ui::ComboBox* SD = nullptr;
    ui::ComboBox* YD = nullptr;
    ui::ComboBox* ComDevies = nullptr;
    // Chord page
    ui::CheckBox* Check6 = nullptr;
    ui::ComboBox* Combo1 = nullptr;
    ui::ComboBox* Combo3 = nullptr;
    ui::ComboBox* HxYL = nullptr;
    ui::TextBox* Text4 = nullptr;
    ui::TextBox* Text5 = nullptr;
    ui::TextBox* Text2 = nullptr;
    ui::TextBox* Text6 = nullptr;
    ui::CheckBox* Check7 = nullptr;
    ui::CheckBox* Check4 = nullptr;
    ui::CheckBox* Check8 = nullptr;
    ui::CommandButton* Command3 = nullptr;
    ui::CommandButton* Command4 = nullptr;
    ui::Timer* HXYS = nullptr;
    ui::Timer* Timer4 = nullptr;
    // Rhythm page
    ui::FileListBox* File1 = nullptr;
    // Chord instrument of the rhythm page: a pick list, whose text changes only
    // with its choice, so it has a Click handler and needs no Change handler.
    ui::ComboBox* xuanyue = nullptr;
    ui::ComboBox* VsbVol = nullptr;
    std::array<ui::OptionButton*, 3> Option1{};
    std::array<ui::ComboBox*, 3> LblInst{};
    std::array<QWidget*, 3> PicTrack{};
    std::vector<ui::CheckBox*> BZA, BZB, BZC;   // element 0 at design; 1..16 made by QDCSH
    ui::CheckBox* BzQd = nullptr;
    ui::CheckBox* Check5 = nullptr;             // "自动同步"
    std::array<ui::CommandButton*, 2> Cmdcill{};
    ui::Label* Label11 = nullptr;
    ui::Timer* BZDS = nullptr;
    // Key-settings page (the parts the playing pages use)
    std::array<ui::ComboBox*, 4> YQSZ{};
    ui::CheckBox* Check2 = nullptr;             // loop the sound effect
    std::array<ui::OptionButton*, 28> Option3{};  // the key being set: F1..F12, pads 0..9, Ins..PageDown
    ui::FileListBox* File2 = nullptr;           // wave files of the sound-effect folder
    ui::CheckBox* Check1 = nullptr;             // mute: no previews
    ui::CommandButton* SHUAXIN = nullptr;       // "停止"
    ui::CommandButton* BCSZ = nullptr;          // "保存" (vanto.ini)
    // Wave recorder
    std::array<ui::PictureBox*, 3> Image1{};    // play, stop, record
    ui::CommandButton* BcLY = nullptr;          // "保存" (the recording)
    ui::Label* Label12 = nullptr;               // recorder clock
    ui::Timer* Lyjsj = nullptr;                 // recorder clock and end-of-file poll
    std::array<QPixmap, 6> RecorderButtonPictures;  // bitmaps 107..112
    // Help page
    std::array<ui::OptionButton*, 7> Option2{};
    ui::TextBox* Text1 = nullptr;

    // ---- Window fields
    bool WasActivated = false;
    bool MiniWindow = false;
    bool KeyMapShown = false;
    int32_t TextLen = 0;
    bool AutoPlayRunning = false;
    int32_t TokenTickCount = 0;   // ticks of Timer3 since the current note started
    int32_t ScorePos = 1;         // 1-based position of the next token in ScoreText
    int32_t ScoreLength = 0;      // length of ScoreText at the last read
    QString ScoreToken;           // the two characters being read
    i16 TokenTicks = 0;           // length of the current note or rest (the carried length)
    i16 ChordPos = 0;
    i16 AccompTick = 0;
    QString LastOpenedFile;
    QString SelectedRhythmFile;
    QString DialogFolder;  // start folder of the window's file dialogs
    bool IsRecording = false;
    bool IsPlayingBack = false;
    i16 RecorderMinutes = 0;
    i16 RecorderSeconds = 0;
    QString PlaybackFileCopy;  // the file being played
    // Chord models
    rt::FixedArray2<int32_t, 8, 65> ChordPatternGrid;
    rt::FixedArray<QString, 101> ChordModelLines;
    i16 ChordModelCount = 0;
    i16 ChordWorkIndex = 0;
    rt::FixedArray<QString, 7> ChordProgressions;
    QString ChordOrderBackup;
    rt::FixedArray<i16, 4> ChordTones;

    // Key pictures (bitmaps 102..105)
    QPixmap KeyWhiteUp, KeyWhiteDown, KeyBlackUp, KeyBlackDown;

    // The rows' step boxes by row number 0..2.
    std::vector<ui::CheckBox*>& StepRow(int row);

protected:
    void closeEvent(QCloseEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void hideEvent(QHideEvent* e) override;

private:
    void buildControls();
    void buildMelodyPage(QWidget* page);
    void buildChordPage(QWidget* page);
    void buildRhythmPage(QWidget* page);
    void buildHelpPage(QWidget* page);
    void buildSettingsPage(QWidget* page);
    void buildScoreArea();
    void wireHandlers();
    void ReadSettingsFile();
    void SettingsReadError();
    ui::CheckBox* NewStepBox(int row, int index);
    void buildRecorder();
    void ShowRecorderPicture(int button, int resourceId);
    void RecorderIdle(const QString& status);
    bool padPreviewed_ = false;  // the percussion list's handler already previewed the pad
    bool loaded_ = false;
    bool unloaded_ = false;
    uint32_t scorePlaySerial_ = 0;  // changes at every start and stop of a play
};
