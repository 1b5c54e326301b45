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

// The main window (the form the other windows know as Form1).
class MainWindow : public QWidget {
    Q_OBJECT
public:
    using i16 = int16_t;

    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Window life (load runs from the constructor's caller through Show()).
    void Show();              // shows the window: load on first show, then activation
    void Hide();              // hides the window (the music editor or the score entry window takes over)
    void Unload();            // the window's unload (by exit button or close box)
    bool loaded() const { return loaded_; }

    // ---- Load, activation, device box, exit
    void Form_Load();  // first showing: program folder, wave volume, device list (its first device opened), channel pans
    void Form_Activate();  // each showing: reads vanto.ini, puts ScoreText in the score box, first-time set-up, keyboard focus and clock
    void ComDevies_Click();  // the "设  备" box: opens the chosen MIDI output and gives the three voices their instruments again
    void Command1_Click();   // "退出": closes the device and the window; the goodbye window ends the program
    void Form_Unload();      // closes the device and the recorder, stops every clock, hides, shows the goodbye window
    void YXYZ();             // gives the keyboard back: "键盘" and "编辑" enabled, "键盘" takes the focus
    void Form_Click();       // a click on the window's background: shrinks it to the mini window or restores it
    void Xxk_Click(int index);  // page selector "旋 律", "和 弦", "节 奏", "帮 助", "设 置": shows the page and its status and hint lines
    void Jiezhou_Click(int index);  // a click on a page's background: the keyboard goes back to the player
    void Timer2_Timer();            // clock label, every second: date and time, the keyboard and "编辑" enabled, the scrolling line moves on
    void Option2_Click(int index);  // help topics "软件简介" .. "录音重放": shows the topic's text
    void Image3_Click();            // a click on the keyboard map ("点击图片查看键盘分布"): enlarges it over the window or puts it back
    void BJCK_Click();              // "编辑": stops auditions, score play and clocks, opens the music editor and hides this window

    // ---- First-time initialisation
    void QDCSH();                   // first activation only: step boxes, key pictures, instrument and percussion lists, default voices, key, tempo, first rhythm file, chords

    // ---- Live playing
    void SFYXYZ_KeyDown(int keyCode, int shift);  // a key pressed on "键盘": note, stop, rest, F keys, drum pads, chord and sound effects, accompaniment start/halt
    void SFYXYZ_Click();                          // "键盘" clicked: playing allowed again ("现在允许演奏。。。"), focus and step counters reset
    void SFYXYZ_GotFocus();                       // "键盘" takes the focus: the on-screen keys and the mute pad come alive
    void SFYXYZ_LostFocus();                      // "键盘" loses the focus: the on-screen keys go dead and the mute pad hides
    void Text3_Change();                          // the score box changed: remembers its length (where the next token goes) and hides the rhythm file list
    void Picture1_DragOver(int index);            // the mouse dragged over an on-screen key: the old note stops, this one plays
    void Label1_MouseMove();                      // the pointer over the mute pad "消    音    板": the note under the mouse stops
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
    void Timer1_Timer();  // live accompaniment clock tick: chord tracks, bar chord and drum steps with auto-sync, note length, idle end of a take
    i16 DrumAccent() const;  // expression sent before a drum step, by the drum step and the meter
    // The steps every accompaniment clock shares: the bar chord at a bar's
    // first tick, and one accompaniment step (chord tracks, then every
    // second step a drum step with its accent).
    void CountNoteTick();  // the live clock's count of the note's ticks, at each tick's deadline
    void BarChord();
    void AccompanimentStep();

    // ---- Score player
    void YSCX();          // reads the next token of ScoreText and acts on it
    void Timer3_Timer();  // score player clock tick: strikes the token's note, drives the accompaniment, reads the next token when the length is over
    void EndScorePlay();  // a play's end at its stop token
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
    void Yuepu_MouseDown(int index);  // a press on "试听": the score play falls silent at once, before the click decides
    void Yuepu_Click(int index);      // score buttons "试听" (play or stop), "删除", "打开", "清空", "保存"
    void XINJIAN_Click();             // "新建": keeps the score box in ScoreText, opens the score entry window and hides this one

    // ---- Melody voices, tempo and key
    void ComSounds_Click(int j);      // instrument box of voice j ("乐器1" .. "乐器3") chosen: its program, or for the silent entry its note stops
    void ComSounds_Change(int j);     // instrument box of voice j typed in: the voice's program
    void Zxlyl_Click(int j);          // velocity box of voice j (tip "演奏音量") chosen: the voice's velocity, keyboard back to the player
    void Zxlyl_Change(int j);         // velocity box of voice j typed in: the voice's velocity
    // A melody or chord velocity from its box's text: rounded (halves to even)
    // and held to 1..127 (0 would end notes, more is no MIDI velocity).
    static i16 TypedVelocity(const QString& text);
    void Check3_Click(int j);         // "颤音" of voice j: modulation, portamento, sostenuto and reverb on or off on its channel
    void SD_Click();                  // the "速度" box chosen: tick length (an eighth of a beat) and the clocks' intervals
    void SD_LostFocus();              // the "速度" box left: a typed tempo 40..140 is taken, anything else shows the tempo in force
    void YD_Click();                  // the "音调" box chosen: the key (BaseNote); notes of the old key are released first
    void YD_Change();                 // the "音调" box typed in: a typed key is not taken, the box shows "C" again
    // Instrument combination n (1..13) of the presets on the three voices.
    void SelectInstrumentCombination(int n);

    // ---- Rhythm grid, audition, pattern files
    void BZXS();  // shows the step columns the meter uses and colours them beat by beat
    void BZA_Click(int index);  // step box of rhythm row 1 ticked or cleared: that step's hit on or off
    void BZB_Click(int index);  // step box of rhythm row 2 ticked or cleared: that step's hit on or off
    void BZC_Click(int index);  // step box of rhythm row 3 ticked or cleared: that step's hit on or off
    void LblInst_Click(int index);  // sound box of rhythm row index: the row's percussion key for its 16 steps
    void VsbVol_Click();            // the rhythm page's "音量" box (chosen or typed): the velocity of the three rows
    void ApplyRhythmVelocity();     // the velocity box's number into rows 0..2 of the rhythm pattern, each row with its sound
    void Option1_Click(int index);  // meter "2/4", "3/4", "4/4": the rhythm's last step (15 or 11) and the columns shown
    void BzQd_Click();              // the rhythm page's "启动" ("停止" while on): starts or stops the rhythm audition
    void BZDS_Timer();              // rhythm audition clock tick: bar chord, chord tracks and drum steps
    void Label11_MouseMove();       // the pointer over "节奏文件": shows the rhythm file list
    void Jiezhou_MouseMove(int index);  // the pointer over a page's background: the rhythm page hides its file list
    void SaveJZwj();                    // writes the rhythm grid as a pattern file to LastOpenedFile
    void OpenJZwj();                    // loads the pattern in RhythmFileText into the grid and the rhythm rows (a bad file changes nothing)
    void File1_Click();                 // rhythm file list clicked: loads the chosen pattern file
    void Cmdcill_Click(int index);      // the rhythm page's "删 除" (deletes the chosen file, loads the first) and "保 存" (saves the grid as a file)
    // Velocity of a rhythm hit from the velocity box's number: rounded (halves
    // to even) and held to 0..127, so typed text cannot spill into the other
    // bytes of the message.
    static i16 RhythmVelocity(double typed);
    // The ready note-on of a rhythm hit (channel 9).
    static int32_t RhythmHitMessage(i16 key, i16 velocity);

    // ---- Chord models, order and accompaniment
    void CSHX();  // draws a chord order and chord patterns at random and prepares the pattern rows of all six chords
    void Command3_Click();  // "生成随机节奏": a new random chord order and patterns
    void HXCSH();           // fills the pattern boxes at random from the model library HxJzMx.txt (created on the first run)
    void HXYPSB();          // reads the "每小节" and "每两小节" boxes into the pattern row of chord 1
    void ZDHXSC();          // derives the pattern rows of chords 2..6 from that of chord 1
    void Text4_LostFocus();  // the "每小节" box left: filled to 32 cells, copied to "当前模板"
    void Text5_LostFocus();  // the "每两小节" box left: filled to 32 cells
    void Text6_GotFocus();   // the "和弦顺序" box entered: remembers the order, to restore a bad one
    void Text6_LostFocus();  // the "和弦顺序" box left: digits 1..6 become the chord order, anything else is undone
    void Command4_Click();   // the chord page's "保 存": adds the two pattern boxes to HxJzMx.txt unless already there
    void BZHX();             // chord track 1, one step: cells 0..15 of the current chord's pattern on channel 3
    void BZHX2();            // chord track 2, one step: cells 16..31 of the current chord's pattern on channels 3 and 4
    void HX1K();             // silences chord track 1 (channel 3)
    void HX2K();             // silences chord track 2 (channels 3 and 4)
    void ZNHX();             // bar start: silences channel 5, then with "小节和弦" and "自动同步" sounds the bar's triad there and starts its fade
    void Timer4_Timer();     // fade clock of channel 5: lowers its expression step by step, then silences it
    void Check6_Click();     // the chord page's "启 动" ("停止" while on): starts or stops the chord audition
    void HXYS_Timer();       // chord audition clock tick: one step of both chord tracks; stops by itself when the order is done
    void EndChordAudition();  // the audition's own stop when the order is done
    void HxYL_Click();       // the chord page's "音量" box chosen: the chord velocity, keyboard back to the player
    void HxYL_Change();      // the chord page's "音量" box typed in: the chord velocity, held to 1..127
    void Combo1_Click();     // "伴奏2" instrument box: the program of channels 4 and 5
    void Combo3_Click();     // "伴奏1" instrument box: the program of channel 3; the rhythm page's "和弦乐器" follows
    void xuanyue_Click();    // "和弦乐器" box of the rhythm page: programs of channels 3 and 4; "伴奏1" and "伴奏2" follow
    // The random source of the chord draws: a uniform number in [0, 1).
    // Tests replace it.
    std::function<double()> Rnd;

    // ---- Key-settings page
    void Option3_Click(int index);  // key-settings keys "F1" .. "F12", "0" .. "9", "Ins" .. "Pdo": shows that key's setting; a pad or an effect is previewed
    void YQSZ_Click(int index);     // key-settings instrument lists (0..2) and percussion list (3): stores the choice for the selected key
    void File2_Click();             // key-settings sound-effect file list: previews the file and stores it for the selected effect key
    void Check1_Click();            // "静音设置" / "有声设置": the box's caption follows its state
    void SHUAXIN_Click();           // the key-settings "停止": stops the sound effect and clears the key options (all but "End" and "Pdo")
    void BCSZ_Click();              // the key-settings "保存": writes the presets, pads and effect names to vanto.ini
    void ShowKeySettingsPage();  // what the page selector does for this page

    // ---- Wave recorder and player
    void Image1_Click(int index);  // recorder picture buttons: play (asks a wav or mp3 file), stop, record
    void BcLY_Click();             // the recorder's "保存": saves the take as a wave file
    void Lyjsj_Timer();            // recorder clock, every second: the clock label, and the end of a playback or take that stopped by itself
    // Stops a recording or playback as the stop button does (before the
    // window hides for the music editor, where nothing could stop it).
    void StopRecorder();

    // ---- Shell
    void Command2_Click();  // "效果欣赏": opens the program's web page in the browser
    // Sets the wave output volume (lVolume packed: low word left, high word right;
    // rVolume unused); returns 0. Nothing in the window calls it: the load sets
    // the volume itself. It stays as the window's volume call for outside callers.
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
    ui::Label* Label8 = nullptr;                // scrolling line (moved on by Timer2)
    ui::Label* Label3 = nullptr;                // line under the keyboard map
    ui::PictureBox* Picture2 = nullptr;         // keyboard map
    ui::CommandButton* Command1 = nullptr;      // "退出"
    ui::CommandButton* BJCK = nullptr;          // "编辑"
    ui::CommandButton* Command2 = nullptr;      // "效果欣赏"
    ui::Timer* Timer2 = nullptr;                // clock label, 1000 ms
    // Playing
    KeyboardButton* SFYXYZ = nullptr;           // "键盘"
    KeyStrip* KeyRow = nullptr;                 // holds the 65 on-screen keys
    std::array<ui::PictureBox*, 65> Picture1{};  // the 65 on-screen key pictures (offsets 0..64 above BaseNote)
    ui::Label* Label1 = nullptr;                // mute pad "消    音    板"
    ui::TextBox* Text3 = nullptr;               // score box
    std::array<ui::CommandButton*, 5> Yuepu{};  // score buttons "试听", "删除", "打开", "清空", "保存"
    ui::CommandButton* XINJIAN = nullptr;       // "新建"
    ui::Timer* Timer1 = nullptr;                // live accompaniment clock
    ui::Timer* Timer3 = nullptr;                // score player clock
    // Melody page
    std::array<ui::CheckBox*, 3> Check3{};      // "颤音" of each voice
    std::array<ui::ComboBox*, 3> ComSounds{};   // instrument of each voice ("乐器1" .. "乐器3"); entry 0 is silent
    std::array<ui::ComboBox*, 3> Zxlyl{};       // velocity of each voice
    ui::ComboBox* SD = nullptr;                 // tempo "速度", beats per minute
    ui::ComboBox* YD = nullptr;                 // key "音调" C .. B
    ui::ComboBox* ComDevies = nullptr;          // MIDI output device "设  备"
    // Chord page
    ui::CheckBox* Check6 = nullptr;             // "启 动": chord audition
    ui::ComboBox* Combo1 = nullptr;             // "伴奏2": instrument of channels 4 and 5
    ui::ComboBox* Combo3 = nullptr;             // "伴奏1": instrument of channel 3
    ui::ComboBox* HxYL = nullptr;               // chord velocity "音量"
    ui::TextBox* Text4 = nullptr;               // "每小节": pattern cells 0..15 of chord 1 (chord track 1)
    ui::TextBox* Text5 = nullptr;               // "每两小节": pattern cells 16..31 of chord 1 (chord track 2)
    ui::TextBox* Text2 = nullptr;               // "当前模板": the every-bar pattern in use (read only)
    ui::TextBox* Text6 = nullptr;               // "和弦顺序": the chord order, digits 1..6
    ui::CheckBox* Check7 = nullptr;             // "锁定音符" of "每小节": the random draw leaves Text4 alone
    ui::CheckBox* Check4 = nullptr;             // "锁定音符" of "每两小节": the random draw leaves Text5 alone
    ui::CheckBox* Check8 = nullptr;             // "小节和弦": a triad at every bar start
    ui::CommandButton* Command3 = nullptr;      // "生成随机节奏"
    ui::CommandButton* Command4 = nullptr;      // "保 存" (the chord patterns)
    ui::Timer* HXYS = nullptr;                  // chord audition clock
    ui::Timer* Timer4 = nullptr;                // fade clock of channel 5, 80 ms
    // Rhythm page
    ui::FileListBox* File1 = nullptr;           // rhythm files (*.bin) of "演奏记录", shown from "节奏文件"
    // Chord instrument "和弦乐器" of the rhythm page: a pick list, whose text changes only
    // with its choice, so it has a Click handler and needs no Change handler.
    ui::ComboBox* xuanyue = nullptr;
    ui::ComboBox* VsbVol = nullptr;             // rhythm velocity "音量"
    std::array<ui::OptionButton*, 3> Option1{};  // meter "2/4", "3/4", "4/4"
    std::array<ui::ComboBox*, 3> LblInst{};      // percussion sound of each rhythm row
    std::array<QWidget*, 3> PicTrack{};          // strips holding each row's step boxes
    std::vector<ui::CheckBox*> BZA, BZB, BZC;   // element 0 at design; 1..16 made by QDCSH
    ui::CheckBox* BzQd = nullptr;               // "启动": rhythm audition
    ui::CheckBox* Check5 = nullptr;             // "自动同步"
    std::array<ui::CommandButton*, 2> Cmdcill{};  // "删 除", "保 存" (rhythm files)
    ui::Label* Label11 = nullptr;                 // "节奏文件", then the number and name of the file loaded
    ui::Timer* BZDS = nullptr;                    // rhythm audition clock
    // Key-settings page (the parts the playing pages use)
    std::array<ui::ComboBox*, 4> YQSZ{};          // instruments of the three voices (0..2) or percussion sound (3) of the key being set
    ui::CheckBox* Check2 = nullptr;             // "循环播放": loop the sound effect
    std::array<ui::OptionButton*, 28> Option3{};  // the key being set: "F1".."F12", pads "0".."9", "Ins".."Pdo"
    ui::FileListBox* File2 = nullptr;           // wave files of the sound-effect folder
    ui::CheckBox* Check1 = nullptr;             // "静音设置" ("有声设置" when ticked): no previews
    ui::CommandButton* SHUAXIN = nullptr;       // "停止"
    ui::CommandButton* BCSZ = nullptr;          // "保存" (vanto.ini)
    // Wave recorder
    std::array<ui::PictureBox*, 3> Image1{};    // recorder "录音机" picture buttons: play, stop, record
    ui::CommandButton* BcLY = nullptr;          // "保存" (the recording)
    ui::Label* Label12 = nullptr;               // recorder clock "00:00"
    ui::Timer* Lyjsj = nullptr;                 // recorder clock and end-of-file poll
    std::array<QPixmap, 6> RecorderButtonPictures;  // bitmaps 107..112
    // Help page
    std::array<ui::OptionButton*, 7> Option2{};     // help topics "软件简介" .. "录音重放"
    ui::TextBox* Text1 = nullptr;                   // help text of the chosen topic

    // ---- Window fields
    bool WasActivated = false;                      // the first activation has run (QDCSH done)
    bool SettingsNotKept = false;                   // vanto.ini unreadable and not replaceable: defaults this run
    bool MiniWindow = false;                        // shrunk by a background click
    bool KeyMapShown = false;                       // the keyboard map is enlarged
    int32_t TextLen = 0;                            // length of the score box text: where the next recorded token goes
    bool AutoPlayRunning = false;                   // a score play runs
    int32_t TokenTickCount = 0;   // ticks of Timer3 since the current note started
    int32_t ScorePos = 1;         // 1-based position of the next token in ScoreText
    int32_t ScoreLength = 0;      // length of ScoreText at the last read
    QString ScoreToken;           // the two characters being read
    i16 TokenTicks = 0;           // length of the current note or rest (the carried length)
    i16 ChordPos = 0;             // 1-based position in the chord order of the next bar chord
    i16 AccompTick = 0;           // tick within the accompaniment's bar (0: the bar chord's tick)
    QString LastOpenedFile;       // the file chosen last in a dialog of this window ("删除" removes it)
    QString SelectedRhythmFile;   // the rhythm file "删 除" removes
    QString DialogFolder;  // start folder of the window's file dialogs
    bool IsRecording = false;  // the recorder records a take
    bool IsPlayingBack = false;  // the recorder plays a file
    i16 RecorderMinutes = 0;     // recorder clock
    i16 RecorderSeconds = 0;
    // Chord models
    rt::FixedArray2<int32_t, 8, 65> ChordPatternGrid;  // pitch codes of the 32 pattern cells of chords 1..6
    rt::FixedArray<QString, 101> ChordModelLines;      // lines 1..100 of the model library
    i16 ChordModelCount = 0;                           // model lines read
    i16 ChordWorkIndex = 0;                            // next line of ChordModelLines to fill
    rt::FixedArray<QString, 7> ChordProgressions;      // the six built-in chord orders, 1..6
    QString ChordOrderBackup;                          // the chord order before editing "和弦顺序"
    rt::FixedArray<i16, 4> ChordTones;                 // offsets 1..3 of the bar triad last chosen

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
    void ActivateWithSettings();
    ui::CheckBox* NewStepBox(int row, int index);
    void buildRecorder();
    void ShowRecorderPicture(int button, int resourceId);
    void RecorderIdle(const QString& status);
    bool loaded_ = false;
    bool unloaded_ = false;
    uint32_t scorePlaySerial_ = 0;  // changes at every start and stop of a play
};
