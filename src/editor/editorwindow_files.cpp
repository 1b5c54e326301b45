// The song file and score import buttons: "保存编辑", "打开编辑文件",
// "导入记录乐谱". The file formats and the import live beside the song model
// (songfile.h, scoreimport.h); here are the dialogs and the display.
#include "editor/editorwindow.h"

#include "editor/scoreimport.h"
#include "editor/songfile.h"
#include "platform/dialogs.h"

using namespace midi;

namespace {

// The chosen path, or "" when the dialog was cancelled.
QString askFile(QWidget* parent, bool save, const QString& filter, int flags, const QString& folder) {
    plat::FileDialogRequest request;
    request.save = save;
    request.filter = filter;
    request.flags = flags;
    request.initDir = folder;
    const plat::FileDialogResult chosen = plat::dialogs().fileDialog(parent, request);
    return chosen.cancelled ? QString() : chosen.fileName;
}

}  // namespace

void EditorWindow::BCBJ_Click() {
    auto& song = editor::song();
    editor::prepareSongForSave(song);
    const QString path = askFile(this, true, QStringLiteral("乐谱编辑|*.lnk"), 2, DialogFolder);
    if (path.isEmpty()) return;
    EditorFileName = path;
    const editor::SongFileResult r = editor::writeSongFile(song, path);
    if (!r.ok) plat::msgBox(r.message);
}

void EditorWindow::DkBianji_Click() {
    // What was typed belongs to the song being left: committed now, it cannot
    // be written into the song that replaces it.
    CommitNoteBoxes();
    // The dialog comes first: a cancelled open leaves the song as it was.
    const QString path = askFile(this, false, QStringLiteral("编辑记录|*.lnk"), 16, DialogFolder);
    if (path.isEmpty()) return;
    EditorFileName = path;
    const editor::SongFileResult r = editor::openSongFile(editor::song(), path);
    if (!r.ok) {
        plat::msgBox(r.message);
        return;
    }
    if (!JPFL[r.meterIndex]->value()) JPFL[r.meterIndex]->setValue(true);
    ShowFirstBarOfNewSong();
}

void EditorWindow::DRYP_Click() {
    CommitNoteBoxes();
    const QString path = askFile(this, false, QStringLiteral("编辑记录txt|*.txt"), 16, DialogFolder);
    if (path.isEmpty()) return;
    EditorFileName = path;
    const editor::ScoreImportResult r = editor::importScoreFile(editor::song(), path, ImportNoteLength);
    if (!r.ok) {
        plat::msgBox(r.message);
        return;
    }
    G.ScoreText = r.scoreText;
    ShowFirstBarOfNewSong();
}

// A song that replaced the old one is shown from its first bar.
void EditorWindow::ShowFirstBarOfNewSong() {
    for (int i = 0; i <= 6; ++i) SetNoteBox(i, QString());
    HScroll1->setMax(EditorBarCount);
    if (HScroll1->value() != 0) HScroll1->setValue(0);
    else HScroll1_Change();
    PlayEndStep = editor::song().songEndStep();
}
