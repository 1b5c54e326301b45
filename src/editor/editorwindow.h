// The music editor window: a song of editor bars, each with seven melodic
// tracks typed as two-letter cells and five percussion rows ticked step by
// step, per-bar mix settings, and playback of one bar or the whole song.
// The song itself lives in the song model (songmodel.h); this window shows
// and edits it. The class is split over several files by concern:
//   editorwindow_layout.cpp  controls, life cycle (load, activation, unload), help
//   editorwindow_grid.cpp    percussion step grid and meter
//   editorwindow_bars.cpp    note boxes, bar navigation, insert, clear, bar count
//   editorwindow_mix.cpp     bar settings line and mix controls
//   editorwindow_play.cpp    playback of a bar or the song
//   editorwindow_files.cpp   song file and score import buttons
//   editorwindow_recorder.cpp  the recorder: play, stop, record, save a take
#pragma once

#include "editor/songmodel.h"
#include "midi/state.h"
#include "ui/controls.h"

#include <QWidget>
#include <array>
#include <vector>

// The music editor window (the form the other windows know as YYBJ).
class EditorWindow : public QWidget {
    Q_OBJECT
public:
    using i16 = int16_t;

    explicit EditorWindow(QWidget* parent = nullptr);
    ~EditorWindow() override;

    // ---- Life cycle
    void Show();         // load on the first showing, then the activation (once per showing)
    void Unload();       // closes the window (close box or "退出窗口")
    bool loaded() const { return loaded_; }
    void Form_Load();    // first showing: design meter 2/4, one step column, recorder quality "好音质", dialog folder
    void Form_Activate();  // each showing: the start-up defaults (first time), device list, an empty song, expression 120, no vibrato
    void BJQD();           // start-up defaults: note box colours, step columns, instrument lists and choices, volumes 70, key C, tempo, programs of tracks 0..6
    void Form_Unload();    // closing: stops the play and the recorder, leaves the channels as the main window expects, shows it again
    void TUICHU_Click();   // "退出窗口": closes the editor, back to the main window
    void BZWJ_Click();     // "帮  助": the editor's help in a message box

    // ---- Percussion grid and meter
    void JZXSGC();         // makes step columns 1..BarLastStep of the five percussion rows, coloured by groups of four steps
    void RemoveColumns();  // removes the step columns after the first
    void DJY_Click(int row, int index);  // step box of percussion row 0..4 (DJY1..DJY5) at a step: the bar's hit on or off
    void JPFL_Click(int index);          // meter "2/4", "3/4", "4/4": steps per bar, window layout, step columns, bar count held to the new limit

    // ---- Bar editing and navigation
    void YF1_LostFocus(int index);       // note box of melodic track index left: its text becomes the bar's cells (upper case, padded with "-")
    // Before anything changes the bar the note boxes show (or the song they
    // belong to): each box typed into since it was last shown or committed
    // is committed into the current bar as leaving it would. The focus need
    // not have moved: the bar scroll bar, for one, never takes it.
    void CommitNoteBoxes();
    void HScroll1_Change();              // bar scroll bar: commits the boxes typed into, then shows that bar (its stored settings, note boxes and step boxes)
    void ShowBarCells();                 // note boxes and step boxes from the song's cells at the current meter
    void CHARU_Click();                  // "插入": goes on to a fresh bar after the shown one
    void QinKong_Click();                // "清空": empties the shown bar
    void ZDXJZS_Click();                 // the bar-count "设置": asks for the number of bars of the song
    void SYYPSB();  // pitch code of the cell NoteToken, into G.EditorNoteSemitone

    // ---- Bar settings and mix controls
    void BCBXJ_Click() { BCXJ(); }  // the bar's "保存": stores the shown bar's settings
    void BCXJ();                    // stores the shown bar's instruments, volumes, key, tempo, vibrato, crescendo and depth as its settings line
    void CXTSB();                   // applies the shown bar's stored instruments, volumes, key, tempo, vibrato, crescendo and depth
    void Check1_Click();            // "颤音" / "渐强弱": the bar's switches stored, vibrato and expression sent on channel 0
    void ComDevies_Click();         // device box: opens the chosen MIDI output and gives tracks 0..6 their instruments again
    void DQSUDU_Change();           // the "速度" box chosen or typed: a tempo of 50..255 sets the step length
    void DQSUDU_LostFocus();        // the "速度" box left: a tempo outside 50..255 gives way to the tempo in force
    void DQYD_Click();              // the "音调" box: the key (BaseNote)
    void HScroll3_Change();         // crescendo depth scroll bar: the rate, the starting expression and the caption "深度(n)"
    void SYYQ_Click(int index);     // instrument box of track index: program change (tracks 0..6) or the row's drum sound in the shown bar (7..11)
    void YQYL_Change(int index);    // volume box of track index (chosen or typed): the track's velocity, expression sent
    // A volume as a note-on carries it: the box's number rounded, 0..127.
    static i16 VolumeOf(const QString& text);
    // The bar's first position, or -1 when the bar does not lie within the
    // tables (such bars cannot be edited).
    long long BarStart(int32_t bar) const;

    // ---- Song file and import buttons
    void BCBJ_Click();  // "保存编辑": saves the song as a *.lnk file
    void DkBianji_Click();  // "打开编辑文件": opens a *.lnk song and shows its first bar
    void DRYP_Click();      // "导入记录乐谱": turns a recorded score file into a new song

    // ---- Playback
    void ST1_Click();       // "试听本节效果": starts or stops the play of the shown bar
    void ST2_Click();       // "从开始处启动" ("停止当前演奏" while on): starts or stops the play of the whole song
    void YYDS_Timer();      // play clock tick: one step, and the end of the play when its count runs out
    bool YYDS_Step();  // one step under the play's error trap
    void YYSB();       // one play step: crescendo and vibrato, the end of the play, the bar's settings and accents, then XJFS
    void XJFS();       // sounds the step at RhythmStep: the drum step and each melodic track's note, chord or rest; then the next step
    void ConvertSong();  // before a play: every cell's pitch code and every drum cell's hit from the song and the instrument boxes
    void StopPlay(bool fromSongBox);  // the stop path of ST1 / ST2
    // Note-offs of notes 0..64 above BaseNote on channels 0..6, and of every
    // note still remembered as struck on them.
    void SilenceTracks();
    // The play buttons ready to start from the beginning, the clock off.
    void ShowPlayEnded();

    // ---- Recorder
    void LUYINJI_Click(int index);  // recorder options "播放", "停止", "录音", "保存录音"
    void Lyjsj_Timer();             // recorder clock, every second: "当前: m:s", and the end of a playback or take that stopped by itself
    void yinzi_Click();  // quality box "CD音质", "好音质", "普通音质" (also its Change): bits and rate of the next take
    void StopRecorder();  // closing the editor stops what it recorded or played

    // ---- Controls (design names)
    QWidget* Picture1 = nullptr;                  // grid area: note boxes and step boxes
    QWidget* Picture3 = nullptr;                  // volume boxes
    std::array<ui::TextBox*, 7> YF1{};            // note boxes of tracks 0..6
    std::array<std::vector<ui::CheckBox*>, 5> DJY;  // DJY1..DJY5: step boxes of percussion rows 0..4
    std::array<ui::OptionButton*, 3> JPFL{};      // meter "2/4", "3/4", "4/4"
    ui::Label* JZLX = nullptr;                    // "节奏类型"
    std::array<ui::ComboBox*, 12> SYYQ{};         // instrument (tracks 0..6) or drum sound (7..11)
    std::array<ui::ComboBox*, 12> YQYL{};         // volume of each track
    std::array<ui::Label*, 12> TrackLabels{};     // Label1(0..9), Label6, Label8
    ui::ComboBox* DQSUDU = nullptr;               // tempo "速度", 50..255 beats per minute
    ui::ComboBox* DQYD = nullptr;                 // key "音调" C .. B
    ui::ScrollBar* HScroll3 = nullptr;            // crescendo depth -20..20
    ui::Label* Label7 = nullptr;                  // depth caption "深度(-20_20)", then "深度(n)"
    std::array<ui::CheckBox*, 2> Check1{};        // "颤音", "渐强弱"
    ui::ComboBox* ComDevies = nullptr;            // MIDI output devices
    ui::CommandButton* BCBXJ = nullptr;           // "保存" (the bar's settings)
    ui::ScrollBar* HScroll1 = nullptr;            // bar scroll bar
    ui::TextBox* XJZS = nullptr;                  // the number of the bar shown
    ui::Label* XJXSS = nullptr;                   // "实际小节数是(x-y)小节"
    ui::CommandButton* CHARU = nullptr;           // "插入"
    ui::CommandButton* QinKong = nullptr;         // "清空"
    ui::CommandButton* ZDXJZS = nullptr;          // "设置" (bar count)
    ui::OptionButton* ST1 = nullptr;              // "试听本节效果": play the shown bar
    ui::CheckBox* ST2 = nullptr;                  // "从开始处启动": play the song
    ui::Timer* YYDS = nullptr;                    // play clock, one tick per step
    ui::CommandButton* DkBianji = nullptr;        // "打开编辑文件"
    ui::CommandButton* BCBJ = nullptr;            // "保存编辑"
    ui::CommandButton* DRYP = nullptr;            // "导入记录乐谱"
    ui::CommandButton* BZWJ = nullptr;            // "帮  助"
    ui::CommandButton* TUICHU = nullptr;          // "退出窗口"
    ui::Label* Label9 = nullptr;                  // notation note
    std::array<ui::OptionButton*, 4> LUYINJI{};   // recorder: "播放", "停止", "录音", "保存录音"
    ui::Label* LYSJ = nullptr;                    // recorder clock "当前: m:s"
    ui::ComboBox* yinzi = nullptr;                // recording quality "CD音质", "好音质", "普通音质"
    ui::Timer* Lyjsj = nullptr;                   // recorder clock and end-of-file poll, 1000 ms

    // ---- Window fields
    // Meter and bar count of the song the window edits (editor::song()).
    i16& BarLastStep;
    int32_t& EditorBarCount;
    int32_t CurrentBar = 0;  // the bar shown (and, during a play, the bar playing)
    i16 LoadedLastStep = 0;  // last step column that exists
    bool EditorActivated = false;  // the first activation has run (start-up defaults done)
    int32_t PlayEndStep = 0;       // last step position of the play
    i16 ExpressionLevel = 0;       // expression of channels 0..4, moved by the crescendo
    i16 CrescendoRate = 0;         // crescendo depth: expression change per step (negative: diminuendo)
    i16 AccentLevel = 0;           // expression of channels 5, 6 and 9 at this step (weak steps softer)
    i16 LastPlayedBar = 0;         // bar of the step sounded last: its settings are applied once
    rt::FixedArray<i16, 17> TrackSoundingNote;  // code last sounded per melodic track
    QString NoteToken;                          // the cell SYYPSB converts
    QString EditorFileName;                     // the file chosen last in a dialog of this window
    QString RecBitsPerSample;                   // of the next take, from the quality box
    QString RecSampleRate;                      // of the next take, from the quality box
    i16 RecMinutes = 0;  // recorder clock
    i16 RecSeconds = 0;
    // A take is being recorded (from record until stop, save or its end):
    // play and a second record would close it unsaved.
    bool Recording = false;
    QString DialogFolder;  // start folder of the window's file dialog
    int32_t ImportNoteLength = 0;  // note length carried from one imported token (and import) to the next
    // The MIDI notes actually struck on each melodic track and not yet
    // released: a later key change must not leave them sounding.
    std::array<std::vector<i16>, 7> StruckNotes;
    // Vibrato was switched on during this showing: reset it when leaving.
    bool VibratoUsed = false;

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void buildControls();
    void wireHandlers();
    ui::CheckBox* NewStepBox(int row, int index);
    void ReleaseTrack(int t);
    void ApplyMeterLayout(int index);
    void ShowBarCount();
    void SetNoteBox(int k, const QString& text);  // the program's text in a note box: nothing typed left to commit
    void ShowFirstBarOfNewSong();
    void buildRecorder(int top);
    void RecordTake();
    void PlayFile();
    void SaveTake();
    void UnselectRecorderOptions();
    void ResetRecorderClock();
    bool loaded_ = false;
    bool activatedThisShow_ = false;
    bool unloading_ = false;
    // Note boxes typed into since the program last set their text.
    std::array<bool, 7> noteBoxTyped_{};
};
