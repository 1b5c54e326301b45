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

class YYBJ : public QWidget {
    Q_OBJECT
public:
    using i16 = int16_t;

    explicit YYBJ(QWidget* parent = nullptr);
    ~YYBJ() override;

    // ---- Life cycle
    void Show();         // load on the first showing, then the activation (once per showing)
    void Unload();       // closes the window (close box or "退出窗口")
    bool loaded() const { return loaded_; }
    void Form_Load();
    void Form_Activate();
    void BJQD();
    void Form_Unload();
    void TUICHU_Click();
    void BZWJ_Click();

    // ---- Percussion grid and meter
    void JZXSGC();
    void RemoveColumns();
    void DJY_Click(int row, int index);  // row 0..4 (DJY1..DJY5), step index
    void JPFL_Click(int index);

    // ---- Bar editing and navigation
    void YF1_LostFocus(int index);
    void HScroll1_Change();
    void ShowBarCells();  // note boxes and step boxes from the song's cells
    void CHARU_Click();
    void QinKong_Click();
    void ZDXJZS_Click();
    void SYYPSB();  // NoteToken -> G.EditorNoteSemitone

    // ---- Bar settings and mix controls
    void BCBXJ_Click() { BCXJ(); }
    void BCXJ();
    void CXTSB();
    void Check1_Click();
    void ComDevies_Click();
    void DQSUDU_Change();
    void DQSUDU_LostFocus();
    void DQYD_Click();
    void HScroll3_Change();
    void SYYQ_Click(int index);
    void YQYL_Change(int index);
    // A volume as a note-on carries it: the box's number rounded, 0..127.
    static i16 VolumeOf(const QString& text);
    // The bar's first position, or -1 when the bar does not lie within the
    // tables (such bars cannot be edited).
    long long BarStart(int32_t bar) const;

    // ---- Song file and import buttons
    void BCBJ_Click();
    void DkBianji_Click();
    void DRYP_Click();

    // ---- Playback
    void ST1_Click();
    void ST2_Click();
    void YYDS_Timer();
    bool YYDS_Step();  // one step under the play's error trap
    void YYSB();
    void XJFS();
    void STBXJYY();
    void ConvertSong();
    void StopPlay(bool fromSongBox);  // the stop path of ST1 / ST2
    // Note-offs of notes 0..64 above BaseNote on channels 0..6, and of every
    // note still remembered as struck on them.
    void SilenceTracks();
    // The play buttons ready to start from the beginning, the clock off.
    void ShowPlayEnded();

    // ---- Recorder
    void LUYINJI_Click(int index);  // 0 play, 1 stop, 2 record, 3 save
    void Lyjsj_Timer();
    void yinzi_Click();  // also the box's Change
    void StopRecorder();  // closing the editor stops what it recorded or played

    // ---- Controls (design names)
    QWidget* Picture1 = nullptr;                  // grid area: note boxes and step boxes
    QWidget* Picture3 = nullptr;                  // volume boxes
    std::array<ui::TextBox*, 7> YF1{};            // note boxes of tracks 0..6
    std::array<std::vector<ui::CheckBox*>, 5> DJY;  // DJY1..DJY5: step boxes of percussion rows 0..4
    std::array<ui::OptionButton*, 3> JPFL{};      // meter 2/4, 3/4, 4/4
    ui::Label* JZLX = nullptr;                    // "节奏类型"
    std::array<ui::ComboBox*, 12> SYYQ{};         // instrument (tracks 0..6) or drum sound (7..11)
    std::array<ui::ComboBox*, 12> YQYL{};         // volume of each track
    std::array<ui::Label*, 12> TrackLabels{};     // Label1(0..9), Label6, Label8
    ui::ComboBox* DQSUDU = nullptr;               // tempo
    ui::ComboBox* DQYD = nullptr;                 // key
    ui::ScrollBar* HScroll3 = nullptr;            // crescendo depth -20..20
    ui::Label* Label7 = nullptr;                  // depth caption
    std::array<ui::CheckBox*, 2> Check1{};        // "颤音", "渐强弱"
    ui::ComboBox* ComDevies = nullptr;            // MIDI output devices
    ui::CommandButton* BCBXJ = nullptr;           // "保存" (the bar's settings)
    ui::ScrollBar* HScroll1 = nullptr;            // bar scroll bar
    ui::TextBox* XJZS = nullptr;                  // current bar number
    ui::Label* XJXSS = nullptr;                   // "实际小节数是(x-y)小节"
    ui::CommandButton* CHARU = nullptr;           // "插入"
    ui::CommandButton* QinKong = nullptr;         // "清空"
    ui::CommandButton* ZDXJZS = nullptr;          // "设置" (bar count)
    ui::OptionButton* ST1 = nullptr;              // play the current bar
    ui::CheckBox* ST2 = nullptr;                  // play the song
    ui::Timer* YYDS = nullptr;                    // play clock, one tick per step
    ui::CommandButton* DkBianji = nullptr;        // "打开编辑文件"
    ui::CommandButton* BCBJ = nullptr;            // "保存编辑"
    ui::CommandButton* DRYP = nullptr;            // "导入记录乐谱"
    ui::CommandButton* BZWJ = nullptr;            // help
    ui::CommandButton* TUICHU = nullptr;          // "退出窗口"
    ui::Label* Label9 = nullptr;                  // notation note
    std::array<ui::OptionButton*, 4> LUYINJI{};   // recorder: "播放", "停止", "录音", "保存录音"
    ui::Label* LYSJ = nullptr;                    // recorder clock "当前: m:s"
    ui::ComboBox* yinzi = nullptr;                // recording quality
    ui::Timer* Lyjsj = nullptr;                   // recorder clock and end-of-file poll, 1000 ms

    // ---- Window fields
    // Meter and bar count of the song the window edits (editor::song()).
    i16& BarLastStep;
    int32_t& EditorBarCount;
    int32_t CurrentBar = 0;
    i16 LoadedLastStep = 0;
    bool EditorActivated = false;
    int32_t PlayEndStep = 0;
    i16 ExpressionLevel = 0;
    i16 CrescendoRate = 0;
    i16 AccentLevel = 0;
    i16 LastPlayedBar = 0;
    rt::FixedArray<i16, 17> TrackSoundingNote;  // code last sounded per melodic track
    QString NoteToken;
    QString EditorFileName;
    QString RecBitsPerSample;
    QString RecSampleRate;
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
};
